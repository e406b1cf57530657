#pragma once
// Entry names on disk: the file system's bytes. Bit 11 (UTF-8) is set only
// for a non-ASCII name that is valid UTF-8; a name that is not (Linux allows
// any bytes) is stored as it is without the flag, from a Unix host, so that
// readers neither refuse the archive nor convert the name. Names without
// bit 11 from other hosts are read as CP437.
#include <cstdint>
#include <string>

namespace kalvero::zipnames {

constexpr std::uint16_t kUtf8Flag = 0x0800;

// True when the name has a byte outside ASCII.
bool needsUtf8Flag(const std::string& name);
// True when the name gets bit 11: non-ASCII and valid UTF-8.
bool takesUtf8Flag(const std::string& name);
// CP437 bytes -> UTF-8.
std::string cp437ToUtf8(const std::string& bytes);
// "Version made by" of an entry that records a Unix mode in the high 16
// bits of its external attributes: host 3 (Unix), version 2.0.
constexpr std::uint16_t kMadeByUnix = 0x0314;
// "Version made by" of our entries without a Unix mode: host 0 (FAT),
// version 2.0; host 11 (NTFS) when the name is UTF-8, as Debian's unzip
// converts FAT-host names from CP437 even when bit 11 marks them as UTF-8;
// host 3 for a name that is not UTF-8 (its bytes are kept as they are).
std::uint16_t versionMadeByFor(const std::string& name);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(const std::string& bytes);

// The name as handed to callers: bit 11 -> as stored; names from Unix hosts
// (Info-ZIP zip and this program store the file system's bytes without
// bit 11) -> as stored; else CP437 -> UTF-8.
std::string nameForCaller(const std::string& stored, std::uint16_t flags, std::uint16_t versionMadeBy);

}  // namespace kalvero::zipnames
