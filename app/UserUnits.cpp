#include "app/UserUnits.h"

#include <fmt/printf.h>

#include <cerrno>

#include "app/AppTexts.h"
#include "app/Schedule.h"
#include "diag/ErrorText.h"
#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "platform/PathUtil.h"
#include "platform/Process.h"

namespace kalvero {

namespace {

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

std::string ExecWord(const std::string& text) {
  std::string word = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') word += '\\';
    if (c == '%') word += '%';
    if (c == '$') word += '$';
    word += c;
  }
  return word + "\"";
}

bool UsableUnitPath(const std::string& path) {
  return !path.empty() && path[0] == '/' && path.find_first_of("\r\n") == std::string::npos;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  platform::InputFile in;
  if (!in.open(path)) return std::nullopt;
  std::string text;
  char buffer[4096];
  long long n;
  while ((n = in.tryRead(buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
  return text;
}

bool WriteUnitFile(const std::string& path, const std::string& text, int* err) {
  platform::AtomicFileWriter writer(path, 0644);
  return writer.open(err) && writer.write(text, err) && writer.commit(err);
}

std::string RemoveUnitFile(const std::string& path) {
  int err = 0;
  if (platform::removeFile(path, &err) || err == ENOENT) return {};
  return fmt::sprintf(texts::kScheduleRemoveFailed, path, SystemErrorText(err));
}

std::string Systemctl(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"systemctl", "--user"};
  argv.insert(argv.end(), args.begin(), args.end());
  const platform::ProcessResult r = platform::RunProcess(argv);
  if (r.startError == ENOENT) return texts::kScheduleNoSystemctl;
  if (r.status == 0) return {};
  std::string joined;
  for (const std::string& a : args) joined += (joined.empty() ? "" : " ") + a;
  if (r.startError != 0)
    return fmt::sprintf(texts::kScheduleSystemctlFailed, joined, -1, SystemErrorText(r.startError));
  std::string output = trimmed(r.output);
  for (char& c : output)
    if (c == '\n' || c == '\r') c = ' ';
  return fmt::sprintf(texts::kScheduleSystemctlFailed, joined, r.status, output);
}

std::string SystemctlOutput(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"systemctl", "--user"};
  argv.insert(argv.end(), args.begin(), args.end());
  const platform::ProcessResult r = platform::RunProcess(argv);
  return r.status == 0 ? trimmed(r.output) : std::string();
}

void PutBackUnitFile(const std::string& path, const std::optional<std::string>& old) {
  int ignored = 0;
  if (old)
    WriteUnitFile(path, *old, &ignored);
  else
    platform::removeFile(path, &ignored);
}

std::string RemoveTimerUnits(const std::string& timerName, const std::string& serviceName) {
  const std::string dir = UserUnitDirectory();
  if (GetPathKind(dir + timerName) != PathKind::File) return {};
  if (std::string e = Systemctl({"disable", "--now", timerName}); !e.empty()) return e;
  for (const std::string& name : {timerName, serviceName})
    if (std::string e = RemoveUnitFile(dir + name); !e.empty()) return e;
  return Systemctl({"daemon-reload"});
}

}  // namespace kalvero
