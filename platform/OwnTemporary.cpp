#include "platform/OwnTemporary.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <random>

#include <fmt/format.h>

#include "platform/KeyedHash.h"
#include "platform/TempFiles.h"
#include "platform/UserDirs.h"

namespace kalvero::platform {
namespace {

constexpr const char* kMarker = ".kalvero-";
constexpr std::size_t kMarkerSize = 9;
constexpr std::size_t kRandomSize = 8;
constexpr std::size_t kTagSize = 16;  // random part and hash part
// Leaves room for ".", the marker and the tag within the 255 bytes of a name.
constexpr std::size_t kMaxNamePart = 200;
constexpr const char* kKeyFileName = "temporary-names.key";
constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kCharCount = sizeof kChars - 1;

struct UserKey {
  HashKey key;
  std::string file;
};

bool parseKey(const char* text, std::size_t n, HashKey& key) {
  if (n < 32) return false;
  std::uint64_t parts[2] = {0, 0};
  for (std::size_t i = 0; i < 32; ++i) {
    const char c = text[i];
    const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (v < 0) return false;
    parts[i / 16] = (parts[i / 16] << 4) | static_cast<std::uint64_t>(v);
  }
  key = {parts[0], parts[1]};
  return true;
}

// The key file must be the user's own regular file; anything else is not read.
bool readKey(const std::string& path, HashKey& key) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  char text[64];
  ssize_t n = -1;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) n = ::read(fd, text, sizeof text);
  ::close(fd);
  return n > 0 && parseKey(text, static_cast<std::size_t>(n), key);
}

HashKey randomKey() {
  HashKey key;
  std::uint64_t words[2] = {0, 0};
  if (::getrandom(words, sizeof words, 0) != static_cast<ssize_t>(sizeof words)) {
    std::random_device rd;
    words[0] = (static_cast<std::uint64_t>(rd()) << 32) ^ rd();
    words[1] = (static_cast<std::uint64_t>(rd()) << 32) ^ rd();
  }
  key = {words[0], words[1]};
  return key;
}

// Written under a name of its own and linked into place: two programs
// starting at once both end with the one key that got there first.
bool storeKey(const std::string& dir, HashKey& key) {
  const std::string path = dir + kKeyFileName;
  if (readKey(path, key)) return true;
  const HashKey fresh = randomKey();
  const std::string text = fmt::format("{:016x}{:016x}\n", fresh.k0, fresh.k1);
  const std::string temp = dir + fmt::format(".key-{}-{:x}", ::getpid(), fresh.k0 & 0xffffff);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
  ::close(fd);
  if (written && ::link(temp.c_str(), path.c_str()) != 0 && errno != EEXIST) {
    ::unlink(temp.c_str());
    return false;
  }
  ::unlink(temp.c_str());
  return readKey(path, key);
}

const UserKey& userKey() {
  static UserKey key;
  static std::once_flag once;
  std::call_once(once, [] {
    for (const std::string& dir : {userStateDirectory(), userRuntimeDirectory()}) {
      if (!dir.empty() && storeKey(dir, key.key)) {
        key.file = dir + kKeyFileName;
        return;
      }
    }
    key.key = randomKey();
  });
  return key;
}

std::string hashPart(std::string_view nameBeforeHash) {
  std::uint64_t h = keyedHash(userKey().key, nameBeforeHash);
  std::string out(kTagSize - kRandomSize, 'A');
  for (char& c : out) {
    c = kChars[h % kCharCount];
    h /= kCharCount;
  }
  return out;
}

// A cut inside a multibyte character would leave a broken name.
void cutName(std::string& name) {
  if (name.size() <= kMaxNamePart) return;
  std::size_t n = kMaxNamePart;
  while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  name.resize(n);
}

}  // namespace

std::string ownTemporaryBeside(const std::string& target) {
  const auto slash = target.rfind('/');
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  cutName(name);
  thread_local std::mt19937_64 random{std::random_device{}() ^ (static_cast<std::uint64_t>(::getpid()) << 32)};
  std::string out = "." + name + kMarker;
  for (std::size_t i = 0; i < kRandomSize; ++i) out += kChars[random() % kCharCount];
  out += hashPart(out);
  return (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + out;
}

bool isProgramTemporaryName(const std::string& fileName) {
  const std::size_t n = fileName.size();
  if (n < 1 + kMarkerSize + kTagSize || fileName[0] != '.') return false;
  if (fileName.compare(n - kTagSize - kMarkerSize, kMarkerSize, kMarker) != 0) return false;
  const std::string_view before(fileName.data(), n - (kTagSize - kRandomSize));
  return fileName.compare(before.size(), std::string::npos, hashPart(before)) == 0;
}

bool isOwnTemporaryOf(const std::string& fileName, const std::string& target) {
  const auto slash = target.rfind('/');
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  cutName(name);
  const std::string prefix = "." + name + kMarker;
  return fileName.size() == prefix.size() + kTagSize && fileName.compare(0, prefix.size(), prefix) == 0 &&
         isProgramTemporaryName(fileName);
}

std::string ownTemporaryKeyFile() { return userKey().file; }

}  // namespace kalvero::platform
