#pragma once
#include <string>

namespace kalvero::platform {

// $TMPDIR, else /tmp, with a trailing "/".
std::string temporaryDirectory();
// "<tmp>/Kalvero-<uid>/" with mode 0700; the temporary directory itself when
// that cannot be made safely (exists but is a symlink or not ours).
std::string privateTemporaryDirectory();
// Creates "<dir>$$$XXXX.TMP" (4 upper-case hex digits) exclusively with mode
// 0600 and returns its name; "" with *err on failure.
std::string createUniqueTempFile(const std::string& dir, const std::string& prefix = "$$$", int* err = nullptr);

}  // namespace kalvero::platform
