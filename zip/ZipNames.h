#pragma once
// Entry names on disk: UTF-8 with general-purpose bit 11 when a name has a
// non-ASCII byte, plain ASCII otherwise. Names without bit 11 written by
// other tools are read as CP437.
#include <cstdint>
#include <string>

namespace kalvero::zipnames {

constexpr std::uint16_t kUtf8Flag = 0x0800;

// True when the name has a byte outside ASCII (and so needs bit 11).
bool needsUtf8Flag(const std::string& name);
// CP437 bytes -> UTF-8.
std::string cp437ToUtf8(const std::string& bytes);
// "Version made by" of our entries: host 0 (FAT), version 2.0; host 11
// (NTFS) when the name is UTF-8, as Debian's unzip converts FAT-host names
// from CP437 even when bit 11 marks them as UTF-8.
std::uint16_t versionMadeByFor(const std::string& name);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(const std::string& bytes);

// The name as handed to callers: bit 11 -> as stored; names from Unix hosts
// (Info-ZIP zip stores the file system's bytes without bit 11) -> as stored
// when they are valid UTF-8; else CP437 -> UTF-8.
std::string nameForCaller(const std::string& stored, std::uint16_t flags, std::uint16_t versionMadeBy);

}  // namespace kalvero::zipnames
