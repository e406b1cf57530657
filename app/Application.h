#pragma once
// The process-wide values of one program run: settings file, batch flag,
// temporary directories, the four list files and the version text.
#include <array>
#include <string>
#include <vector>

namespace kalvero {

// Message box kinds (their numbers are the ones the boxes are asked with).
// Results use the platform codes.
enum class MessageKind : int { Error = 1, Warning = 2, Information = 3, Note = 4, YesNo = 5, YesNoCancel = 6 };
enum MessageBoxResult : int { MB_RESULT_NONE = 0, MB_RESULT_OK = 1, MB_RESULT_CANCEL = 2, MB_RESULT_YES = 6, MB_RESULT_NO = 7 };

class MessageBoxHost {
 public:
  virtual ~MessageBoxHost() = default;
  // Shows text with the program's name as title; returns the pressed button, 0 for an unknown kind.
  virtual int messageBox(int kind, const std::string& text) = 0;
  int messageBox(MessageKind kind, const std::string& text) { return messageBox(static_cast<int>(kind), text); }
};

struct CommandLine {
  int batchMode = 0;
  std::string iniFile;  // "" when no "/Ini=" was given
};

// "/Batch", "-BATCH", "Batch" switch batch mode on; "/Ini=NAME" (any case) sets the
// settings file, the last one winning; anything else is ignored.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

class Application {
 public:
  // Creates the four list files in $XDG_CACHE_HOME/kalvero/ (0700), named after
  // what they hold and this program run, and parses the command line (the
  // arguments without the program's name). A list file that cannot be created
  // has the name "" (its lines are dropped by the run).
  enum class ListFiles { Create, None };
  // ListFiles::None is for commands that write nothing (kalvero-cli list, check):
  // no list directory and no list files are made.
  explicit Application(const std::vector<std::string>& args, ListFiles lists = ListFiles::Create);
  ~Application();  // deletes the list files unless "Info" "DeleteSrc" is 0
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  const std::string& settingsPath() const { return settingsPath_; }  // resolved, full
  int batchMode() const { return batchMode_; }
  const std::string& tempPath() const { return tempPath_; }           // with trailing "/"
  const std::string& listDirectory() const { return listDirectory_; } // with trailing "/"
  const std::string& listFileName(int index) const { return listFiles_.at(index); }
  const std::array<std::string, 4>& listFileNames() const { return listFiles_; }
  static std::string versionText();  // "%d,%d,%d,%d"
  // "Debug" "Debug" as read at start-up: the trace switch.
  int debugLevel() const { return debugLevel_; }
  // Keeps the list files at the end (tests, or an explicit choice).
  void setKeepListFiles(bool keep) { keepListFiles_ = keep; }

 private:
  std::string settingsPath_;
  int batchMode_ = 0;
  int debugLevel_ = 0;
  std::string tempPath_;
  std::string listDirectory_;
  std::array<std::string, 4> listFiles_;
  bool keepListFiles_ = false;
};

}  // namespace kalvero
