#pragma once
// How a restore starts, the same for the window and kalvero-cli restore: the
// options are checked (the default log's directory made), saved when the
// front end asks for it, and the run is set up.
#include <atomic>
#include <memory>
#include <string>

#include "app/Application.h"
#include "app/Records.h"
#include "restore/RestoreRun.h"

namespace kalvero {

// Section "Rueck" of a settings file as the restore page shows it: an empty
// log file name stands for the default restore log.
RestoreOptions LoadRestoreInput(const std::string& settingsPath);
// The options with the default restore log in place of an empty log file name.
RestoreOptions WithDefaultRestoreLog(RestoreOptions options);

// The checks before a run starts, as the start button does them, in this
// order: source directory exists, log file directory exists, destination not
// empty. text is "" when the run may start; field names the input to focus.
struct RestoreValidation {
  enum Field { None, Source, LogFile, Destination };
  Field field = None;
  std::string text;
  bool ok() const { return field == None; }
};
RestoreValidation ValidateRestoreOptions(const RestoreOptions& options);
// The check of a start (forStart) or a save: the default log's directory is
// made first (at the first start); a save keeps an empty destination (filled
// in later).
RestoreValidation CheckRestoreStart(const RestoreOptions& options, bool forStart);

// What a front end holds when the start is asked for.
struct RestoreStartInput {
  RestoreOptions options;    // as the user gave them; an empty log name means the default
  std::string settingsPath;  // where section "Rueck" is saved and read again by the run
  bool save = true;          // false: nothing is written and the run keeps to options
  std::atomic<int>* cancel = nullptr;
  RunReporter* reporter = nullptr;
};

struct RestoreStart {
  enum class Field { None, Source, LogFile, Destination, Settings };
  Field field = Field::None;  // the input a refusal concerns
  MessageKind kind = MessageKind::Warning;
  std::string text;                 // the refusal's message
  RestoreOptions options;           // what the run works with (the log name filled in)
  std::unique_ptr<RestoreRun> run;  // set when the run may start
  bool ok() const { return run != nullptr; }
};

// The checks and the save before a run, in this order: source directory,
// log file directory, destination, then the save.
RestoreStart StartRestore(RestoreStartInput input);

}  // namespace kalvero
