#pragma once
// zlib's allocation functions of the layer (tracked per archive object).
#include <zlib.h>

namespace kalvero {

struct ZlibAccess {
  static voidpf alloc(voidpf opaque, uInt items, uInt size);
  static void release(voidpf opaque, voidpf address);
};

}  // namespace kalvero
