#include "platform/Sha256.h"

#include <openssl/evp.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/Files.h"
#include "platform/SysCall.h"

namespace kalvero::platform {

struct Sha256::Context {
  EVP_MD_CTX* md = nullptr;
};

namespace {
// An init with EVP_sha256() looks the method up in the providers again (with
// their locks) for every file; fetched once, it is used as it is.
const EVP_MD* Method() {
  static EVP_MD* const fetched = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  return fetched ? fetched : EVP_sha256();
}

void Begin(EVP_MD_CTX* md) {
  if (EVP_DigestInit_ex(md, Method(), nullptr) != 1) std::abort();
}
}  // namespace

Sha256::Sha256() : ctx_(std::make_unique<Context>()) {
  ctx_->md = EVP_MD_CTX_new();
  if (!ctx_->md) std::abort();
  Begin(ctx_->md);
}

Sha256::~Sha256() { EVP_MD_CTX_free(ctx_->md); }

void Sha256::update(const void* data, std::size_t n) {
  if (n != 0) EVP_DigestUpdate(ctx_->md, data, n);
}

Sha256Digest Sha256::finish() {
  Sha256Digest digest{};
  unsigned int length = 0;
  EVP_DigestFinal_ex(ctx_->md, digest.data(), &length);
  Begin(ctx_->md);
  return digest;
}

void AppendSha256Hex(const Sha256Digest& digest, std::string& out) {
  static const char kDigits[] = "0123456789abcdef";
  for (const std::uint8_t byte : digest) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
  }
}

std::string Sha256Hex(const Sha256Digest& digest) {
  std::string hex;
  hex.reserve(64);
  AppendSha256Hex(digest, hex);
  return hex;
}

namespace {
// The value of each hex digit, -1 for any other character.
constexpr std::array<signed char, 256> kHexValues = [] {
  std::array<signed char, 256> v{};
  for (std::size_t c = 0; c < 256; ++c) v[c] = -1;
  for (int d = 0; d < 10; ++d) v['0' + d] = static_cast<signed char>(d);
  for (int d = 0; d < 6; ++d) {
    v['a' + d] = static_cast<signed char>(10 + d);
    v['A' + d] = static_cast<signed char>(10 + d);
  }
  return v;
}();
}  // namespace

bool ParseSha256Hex(std::string_view hex, Sha256Digest* digest) {
  if (hex.size() != 64) return false;
  for (std::size_t i = 0; i < 32; ++i) {
    const int hi = kHexValues[static_cast<unsigned char>(hex[2 * i])];
    const int lo = kHexValues[static_cast<unsigned char>(hex[2 * i + 1])];
    if (hi < 0 || lo < 0) return false;
    (*digest)[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  return true;
}

bool Sha256OfDescriptor(int fd, Sha256Digest* digest, int* err,
                        const std::atomic<bool>* cancel, std::atomic<std::uint64_t>* bytesDone) {
  constexpr std::size_t kChunk = 256 * 1024;
  thread_local std::vector<unsigned char> buffer(kChunk);
  Sha256 sha;
  for (;;) {
    if (cancel && cancel->load(std::memory_order_relaxed)) {
      if (err) *err = ECANCELED;
      return false;
    }
    const ssize_t n = sys::read(fd, buffer.data(), buffer.size());
    if (n < 0) {
      if (err) *err = errno;
      return false;
    }
    if (n == 0) break;
    sha.update(buffer.data(), static_cast<std::size_t>(n));
    if (bytesDone) bytesDone->fetch_add(static_cast<std::uint64_t>(n), std::memory_order_relaxed);
  }
  *digest = sha.finish();
  return true;
}

bool Sha256OfFile(const std::string& path, Sha256Digest* digest, int* err,
                  const std::atomic<bool>* cancel, std::atomic<std::uint64_t>* bytesDone) {
  InputFile file;
  if (!file.openSource(path, err)) return false;
  return Sha256OfDescriptor(file.descriptor(), digest, err, cancel, bytesDone);
}

}  // namespace kalvero::platform
