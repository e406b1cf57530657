#include "ui/ImageList.h"

#include <QPixmap>
#include <vector>

// The resources live in a static library: they must be registered by hand.
static void registerResources() { Q_INIT_RESOURCE(kalvero); }

namespace kalvero {

void initResources() {
  static const bool done = [] {
    registerResources();
    return true;
  }();
  (void)done;
}

namespace {
const std::vector<QIcon>& images() {
  initResources();
  static const std::vector<QIcon> list = [] {
    std::vector<QIcon> out;
    const QPixmap strip(QStringLiteral(":/kalvero/images/joblist.png"));
    for (int x = 0; x + kImageListWidth <= strip.width(); x += kImageListWidth)
      out.emplace_back(strip.copy(x, 0, kImageListWidth, kImageListHeight));
    return out;
  }();
  return list;
}
}  // namespace

QIcon sharedImage(int index) {
  const auto& list = images();
  if (index < 0 || index >= static_cast<int>(list.size())) return {};
  return list[static_cast<size_t>(index)];
}

int imageIndexOf(const DirPair& pair) {
  return (pair.active ? 1 : 0) + 2 * (pair.withSubdirs ? 1 : 0) + 4 * (pair.excluded.empty() ? 0 : 1);
}

}  // namespace kalvero
