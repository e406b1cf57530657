#pragma once
// A copy's mode, owner and xattrs against its source: whether the backup's
// copy still has what the source has now, and carrying them over without
// copying the content again (a chmod, chown or new xattr alone).
#include <string>

#include "platform/FileSystem.h"

namespace kalvero::platform {

// Whether a plain copy shows the source's mode bits and, where this user can
// give them (root: owner and group; others: a group they belong to), its
// owner and group. setuid and setgid count only where the copy has the
// source's owner or group, as a copy gets them.
bool plainCopyAttributesMatch(const FileStatus& source, const FileStatus& copy);

// Whether an archive file is as its source wants it: never more open than
// the source, and (root) the source's owner and group.
bool archiveAttributesMatch(const FileStatus& source, const FileStatus& copy);

// Whether the file system holding dir (or its nearest existing parent)
// keeps Unix modes and owners per file. FAT, exFAT, NTFS, FUSE and SMB
// mounts (the usual USB sticks and shares) show one mode for every file:
// their copies are never compared by mode, owner or xattrs.
bool keepsModesAndOwners(const std::string& dir);

// Whether copies get their source's owner (the program runs as root).
bool mayKeepOwners();

// True when the source's status changed after the copy's (a chmod, chown,
// xattr, new link or rename of the source since the copy was made or last
// given its attributes): then its xattrs are worth a closer look.
bool changedAfter(const FileStatus& source, const FileStatus& copy);

// Whether both files carry the same user xattrs and ACLs (the program's own
// archive marker aside). Neither name is followed. False when either list
// cannot be read.
bool sameExtendedAttributes(const std::string& source, const std::string& copy);

// Gives copy (below root, reached without a link below it) the source's
// owner, group, xattrs (those the source no longer has are removed), mode and
// times, without touching its content. Both must be regular files. What the
// destination refuses is noted as copies note it (takeMetadataLosses). False
// with *err when a file cannot be opened or the mode cannot be set.
bool carryAttributes(const std::string& source, const std::string& root, const std::string& copy,
                     int* err = nullptr);

// Sets the status change time of path (not followed) to now, changing
// nothing else: after the source's archive marker was written, the copy is
// again the newer of the two.
bool touchChangeTime(const std::string& path);

// Whether two symbolic links hold the same target text.
bool sameLinkTarget(const std::string& a, const std::string& b);

}  // namespace kalvero::platform
