#pragma once
// The parts of a tree beside file contents: symbolic links, the attributes
// of directories, and what a copy carries over from its source (owner, mode,
// user xattrs and POSIX ACLs, times). platform::copyFile uses the same.
#include <string>

#include "platform/FileSystem.h"

struct stat;

namespace kalvero::platform {

// destination becomes a symbolic link with the source link's target text,
// replacing an existing link or file atomically (never a directory). Neither
// side is followed. Run as root the link gets the source link's owner; both
// times are carried. False with *err (EPERM where the file system has no links).
bool copySymlink(const std::string& source, const std::string& destination, int* err = nullptr);

// Gives the existing directory destination the source directory's mode bits,
// owner and group (as root; otherwise setuid/setgid are dropped unless the
// owner and group are the source's), user xattrs and ACLs (access and
// default), last-write and access time. Call it after the directory's
// content is written, which would change its time. Neither side is followed.
// False with *err when the destination cannot be opened or its mode set.
bool copyDirectoryAttributes(const std::string& source, const std::string& destination, int* err = nullptr);
// True when destination already has what copyDirectoryAttributes would give
// it, with nothing to carry (no xattr or ACL on the source). Only looks.
bool directoryAttributesMatch(const std::string& source, const std::string& destination);
// The part of that a status shows: mode bits, owner, group, last-write time.
bool sameDirectoryAttributes(const FileStatus& source, const FileStatus& copy);
// The directory has xattrs or ACLs that copyDirectoryAttributes carries (or
// their names cannot be read).
bool directoryXattrsToCarry(const std::string& directory);

// A run writing into its own destination tree: an existing directory the
// calling user owns but cannot write into or search (a copy of a read-only
// source directory) gets the owner's write and search bits. The run's
// directory step sets its real mode again after its content. Anything else
// (not a directory, another owner, bits already there) is left as it is.
// False with *err only when it could not be examined or changed.
bool makeOwnerWritable(const std::string& dir, int* err = nullptr);

// What copies made on the calling thread could not carry since the last
// take. Runs turn it into one note each: the copy, the compression and the
// restore between them need not pass it along, and each run has its thread.
struct MetadataLosses {
  bool extendedAttributes = false;  // a user xattr or ACL was refused by the destination
  bool owner = false;               // owner/group not kept (setuid/setgid dropped where they were set)
};
MetadataLosses takeMetadataLosses();
// Adds what a copy on another thread could not carry (a run's worker) to
// this thread's, for the run's note.
void addMetadataLosses(const MetadataLosses& losses);

// For platform/: carries owner, user xattrs and ACLs, mode and times of the
// source described by st (open as in, may be -1: no xattrs then) to the open
// out, in the order that keeps each of them (owner first: chown clears
// setuid; ACLs before the mode, which then sets the same mask). pathForFaults
// names out for the fault seam. False with errno only when the mode could not
// be set.
bool carryMetadata(int in, int out, const struct stat& st, const char* pathForFaults);

}  // namespace kalvero::platform
