#pragma once
// A short keyed hash (SipHash-2-4): whoever lacks the key cannot make a value
// that passes, which is what tells the program's own temporary names apart.
#include <cstdint>
#include <string_view>

namespace kalvero::platform {

struct HashKey {
  std::uint64_t k0 = 0, k1 = 0;
};

std::uint64_t keyedHash(const HashKey& key, std::string_view data);

}  // namespace kalvero::platform
