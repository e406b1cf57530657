#pragma once
// Copying one file the way a backup needs it: into a hidden temporary file
// beside the destination, then renamed over it. A failure or a cancel
// removes the temporary file and leaves an existing destination as it was.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/OwnTemporary.h"  // the temporary names beside a destination
#include "platform/Sha256.h"

namespace kalvero::platform {

// Called with (total size, bytes transferred): first with 0, then in steps of
// at most 1 MiB. Returning false cancels the copy (errno ECANCELED).
using CopyProgressFn = std::function<bool(std::uint64_t total, std::uint64_t transferred)>;

// An existing destination that is read-only fails with EACCES before anything
// is written. A source that is a link is not followed (ELOOP). The copy keeps
// the holes of a sparse source and gets its permission bits, times, user
// xattrs (not the archive marker) and ACLs, and as root its owner and group
// (otherwise setuid/setgid are dropped where the owner cannot be kept); what
// the destination refuses is noted in takeMetadataLosses (TreeCopy.h).
bool copyFile(const std::string& source, const std::string& destination,
              const CopyProgressFn& progress, int* err = nullptr);

// Files up to this size without holes are read whole into a buffer and
// written from it, their digest taken from the same bytes; larger ones go
// through copy_file_range (which can share blocks) and are read back for a
// digest on another thread, where the hashing keeps pace with the copying.
constexpr std::uint64_t kBufferedCopyLimit = 1024 * 1024;

// What a backup tells a copy and learns from it.
struct CopyNotes {
  // In: the caller's status of the source, taken just before, saw a regular
  // file: the open needs no status call of its own.
  bool sourceSeenRegular = false;
  // In: the caller just saw nothing at the destination's name (no read-only
  // copy there to refuse).
  bool destinationSeenAbsent = false;
  // In: the directories of source and destination held open (-1: none): the
  // names are opened, created and looked at there, not by their whole paths.
  int sourceDirectory = -1;
  int destinationDirectory = -1;
  // In: identity is wanted. Out: device and inode of the copy written (0
  // when unknown); a rename keeps them, so they name this copy under its name.
  bool identityWanted = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  // Out: the data passed through a buffer and digest is the SHA-256 of the
  // bytes written to the copy.
  bool hashed = false;
  Sha256Digest digest{};
};

// copyFile in two steps, so a copy can be checked before it replaces the
// previous one: the finished copy is left under the hidden name temp beside
// destination (temp is "" after a failure, which removed it) ...
bool copyFileToTemporary(const std::string& source, const std::string& destination,
                         const CopyProgressFn& progress, std::string& temp, int* err = nullptr,
                         CopyNotes* notes = nullptr);
// ... and is then renamed over destination (removed when that fails) or discarded.
// dirFd: destination's directory, open, for a rename without the paths' walks.
bool commitTemporary(const std::string& temp, const std::string& destination, int* err = nullptr, int dirFd = -1);
// The same rename only while nothing has destination's name: false and temp
// kept when something does (EEXIST), when the file system cannot tell or the
// rename failed; the caller then looks at the name and commits as above.
bool commitTemporaryIfFree(const std::string& temp, const std::string& destination, int dirFd);
// Removes the file at path while it is still the one of device and inode
// (a copy this run put there and then did not keep).
void removeCopyIfSame(const std::string& path, std::uint64_t device, std::uint64_t inode);
void discardTemporary(const std::string& temp);

}  // namespace kalvero::platform
