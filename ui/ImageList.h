#pragma once
// The shared images of the job lists: eight images, 24 x 16 pixels, cut
// from one strip. Index = active + 2 x withSubdirs + 4 x (has excluded dirs).
#include <QIcon>

#include "app/Records.h"

namespace kalvero {

constexpr int kImageListWidth = 24;
constexpr int kImageListHeight = 16;

// Registers the program's resources (images, icon, sound); safe to call again.
void initResources();
// Image `index` (0..7); an empty icon for any other index.
QIcon sharedImage(int index);
int imageIndexOf(const DirPair& pair);

}  // namespace kalvero
