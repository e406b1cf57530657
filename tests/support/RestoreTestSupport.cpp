#include "support/RestoreTestSupport.h"

#include <cstdlib>
#include <filesystem>

#include "support/Files.h"

namespace kalvero::test {

namespace fs = std::filesystem;

namespace {

std::string hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace

bool MakeZipsWithPython(const std::vector<ZipSpec>& archives) {
  // Names and contents travel as hex in a small script, so any byte works.
  std::string script = "import zipfile\n";
  for (const auto& wanted : archives) {
    fs::create_directories(fs::path(wanted.archive).parent_path());
    script += "z=zipfile.ZipFile(bytes.fromhex('" + hex(wanted.archive) + "').decode(),'w',zipfile.ZIP_DEFLATED)\n";
    for (const auto& m : wanted.members) {
      if (m.directory) {
        script += "i=zipfile.ZipInfo(bytes.fromhex('" + hex(m.name) + "').decode())\n"
                  "i.external_attr=0x10\n"
                  "z.writestr(i,b'')\n";
      } else {
        script += "z.writestr(zipfile.ZipInfo(bytes.fromhex('" + hex(m.name) +
                  "').decode(),(2020,5,17,10,20,30)),bytes.fromhex('" + hex(m.data) +
                  "'),zipfile.ZIP_DEFLATED)\n";
      }
    }
    script += "z.comment=bytes.fromhex('" + hex(wanted.comment) + "')\nz.close()\n";
  }
  if (archives.empty()) return true;
  const std::string scriptPath = archives.front().archive + ".make.py";
  writeFile(scriptPath, script);
  const std::string cmd = "python3 '" + scriptPath + "' >/dev/null 2>&1";
  const int rc = std::system(cmd.c_str());
  fs::remove(scriptPath);
  return rc == 0;
}

RestoreOptions OptionsFor(const std::string& source, const std::string& destination, const std::string& log) {
  RestoreOptions o;
  o.PathSrc = source;
  o.PathDst = destination;
  o.Protokolldatei = log;
  o.SubVerz = 1;
  o.OnlyByKalvero = 1;
  return o;
}

RestoreOutcome RunRestore(const RestoreOptions& options, RunReporter* reporter, std::atomic<int>* cancel) {
  std::atomic<int> localCancel{0};
  RestoreRunSetup setup;
  setup.options = options;
  setup.versionText = "1,0,0,0";
  setup.cancel = cancel ? cancel : &localCancel;
  setup.reporter = reporter;
  RestoreRun run(setup);
  run.run();
  return {run.errors(), run.cancelled(), run.totals()};
}

}  // namespace kalvero::test
