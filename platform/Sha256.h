#pragma once
// SHA-256 through OpenSSL's libcrypto (which uses the processor's SHA
// instructions where it has them): the digests of the checksum lists.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kalvero::platform {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(const void* data, std::size_t n);
  // The digest of everything given since construction or the last finish;
  // the object starts again afterwards.
  Sha256Digest finish();

 private:
  struct Context;
  std::unique_ptr<Context> ctx_;
};

// 64 lower-case hex digits, as sha256sum writes them.
std::string Sha256Hex(const Sha256Digest& digest);
// The same appended to out (no string of its own).
void AppendSha256Hex(const Sha256Digest& digest, std::string& out);
// Reads 64 hex digits (either case); false for anything else.
bool ParseSha256Hex(std::string_view hex, Sha256Digest* digest);

// Hashes an open file from its current position to its end. False with *err
// (errno) on a read failure, or with *err = ECANCELED when *cancel was set.
// *bytesDone grows as it reads, for a progress another thread shows.
bool Sha256OfDescriptor(int fd, Sha256Digest* digest, int* err,
                        const std::atomic<bool>* cancel = nullptr,
                        std::atomic<std::uint64_t>* bytesDone = nullptr);
// Opens a regular file as a tree's file is opened (never a link, FIFO or
// device, never waiting for a writer) and hashes it.
bool Sha256OfFile(const std::string& path, Sha256Digest* digest, int* err,
                  const std::atomic<bool>* cancel = nullptr,
                  std::atomic<std::uint64_t>* bytesDone = nullptr);

}  // namespace kalvero::platform
