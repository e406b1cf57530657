#pragma once
// The pair's own folder in its destination, the copy of the source root: it
// gets the source root's times after the pair, and the source root's mode,
// owner and xattrs when the run made it; a folder that was there before
// keeps its mode (a read-only one of the user's is writable for the run only).
#include <string>

namespace kalvero::platform {

class DestinationRoot {
 public:
  // Before anything of the pair is written.
  void begin(const std::string& root);
  // After everything of the pair, with its source root; false with *err when
  // the root exists but could not be given its attributes.
  bool finish(const std::string& sourceRoot, int* err = nullptr);

 private:
  std::string root_;
  bool existed_ = false;
  unsigned mode_ = 0;  // the mode of the root that was there before
};

}  // namespace kalvero::platform
