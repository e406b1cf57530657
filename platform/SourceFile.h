#pragma once
// Opening a file of a tree for reading (a backup's source, an archive or copy
// a restore reads): what the walk saw may since have become a FIFO, a device
// or a link. Such a file is never opened and never read through, and no open
// ever waits for a writer.
#include <string>

struct stat;

namespace kalvero::platform {

// A descriptor open for reading (blocking reads) with *st its status, or -1
// with errno: kErrorNotRegularFile for a link, FIFO, socket or device,
// EISDIR for a directory, else the system's error. Plain system calls: the
// callers ask the fault seam for the open. seenRegular: the caller's status of
// path, taken just before, saw a regular file, so no second status call is
// made before the open (what the open finds is still checked). dir: path's
// directory, open: the file's name is looked up there, not by its path.
int openSourceFile(const std::string& path, struct stat* st = nullptr, bool seenRegular = false, int dir = -1);

}  // namespace kalvero::platform
