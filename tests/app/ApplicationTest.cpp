#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <set>

#include "app/Application.h"
#include "app/SettingsFile.h"
#include "support/TempDir.h"

using namespace kalvero;
using kalvero::test::TempDir;

namespace {
// Points the temporary directory and the default settings at a test directory.
struct Env {
  TempDir t;
  Env() {
    setenv("TMPDIR", t.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (t / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (t / "cache").c_str(), 1);
  }
  ~Env() {
    unsetenv("TMPDIR");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_CACHE_HOME");
  }
};
}  // namespace

TEST(CommandLine, BatchAndIniSwitches) {
  for (const char* batch : {"/batch", "-BATCH", "Batch"}) EXPECT_EQ(ParseCommandLine({batch}).batchMode, 1) << batch;
  EXPECT_EQ(ParseCommandLine({"/Batchx", "--Batch", "x"}).batchMode, 0);
  EXPECT_EQ(ParseCommandLine({"/ini=/Sich/a.ini"}).iniFile, "/Sich/a.ini");
  EXPECT_EQ(ParseCommandLine({"/Ini=a.ini"}).iniFile, "a.ini");
  EXPECT_EQ(ParseCommandLine({"/Ini=x.ini", "/Ini=y.ini"}).iniFile, "y.ini");
  EXPECT_EQ(ParseCommandLine({"INI=Mit Leer zeichen.ini"}).iniFile, "Mit Leer zeichen.ini");
  EXPECT_EQ(ParseCommandLine({"/Inix=a"}).iniFile, "");
  EXPECT_EQ(ParseCommandLine({"", "/", "-"}).batchMode, 0);
}

TEST(Application, ListFilesInThePrivateCacheDirectoryNamedAfterWhatTheyHold) {
  Env env;
  std::string dir = env.t.path() + "/cache/kalvero/";
  std::array<std::string, 4> names;
  {
    Application app({"/Batch", "/Ini=test.INI"});
    EXPECT_EQ(app.batchMode(), 1);
    EXPECT_EQ(app.settingsPath(), env.t.path() + "/config/kalvero/test.INI");
    EXPECT_EQ(app.tempPath(), env.t.path() + "/");
    EXPECT_EQ(app.listDirectory(), dir);
    names = app.listFileNames();
    std::set<std::string> distinct(names.begin(), names.end());
    EXPECT_EQ(distinct.size(), 4u);
    const char* kinds[] = {"kopierte-quelldateien-", "kopierte-zieldateien-", "nicht-kopierte-dateien-",
                           "wegen-pruefdatei-uebersprungen-"};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(names[i].rfind(dir + kinds[i], 0), 0u) << names[i];
      EXPECT_TRUE(names[i].ends_with(".txt")) << names[i];
      EXPECT_TRUE(access(names[i].c_str(), F_OK) == 0) << names[i];
    }
    struct stat st {};
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }
  for (const auto& n : names) EXPECT_FALSE(access(n.c_str(), F_OK) == 0) << n;
}

TEST(Application, DeleteSrcZeroKeepsTheListFiles) {
  Env env;
  std::string ini = env.t / "k.INI";
  ASSERT_TRUE(SettingsFile(ini).writeDeleteSrc(0));
  std::array<std::string, 4> names;
  {
    Application app({"/Ini=" + ini});
    names = app.listFileNames();
  }
  for (const auto& n : names) EXPECT_TRUE(access(n.c_str(), F_OK) == 0) << n;
}

TEST(Application, TwoInstancesHoldEightDistinctFiles) {
  Env env;
  Application a({}), b({});
  std::set<std::string> all;
  for (const auto& n : a.listFileNames()) all.insert(n);
  for (const auto& n : b.listFileNames()) all.insert(n);
  EXPECT_EQ(all.size(), 8u);
  EXPECT_EQ(a.settingsPath(), env.t.path() + "/config/kalvero/kalvero.INI");
}

TEST(Application, DebugSwitchAndVersionText) {
  Env env;
  std::string ini = env.t.write("d.INI", "[Debug]\nDebug=3\n");
  Application app({"/Ini=" + ini});
  EXPECT_EQ(app.debugLevel(), 3);
  EXPECT_TRUE(std::regex_match(Application::versionText(), std::regex("[0-9]+,[0-9]+,[0-9]+,[0-9]+")));
}

TEST(Application, UnusableCacheAndTemporaryDirectoryLeaveEmptyNames) {
  Env env;
  setenv("XDG_CACHE_HOME", env.t.write("eine-datei", "kein Verzeichnis").c_str(), 1);
  setenv("TMPDIR", (env.t / "gibt-es-nicht").c_str(), 1);
  Application app({});
  for (const auto& n : app.listFileNames()) EXPECT_EQ(n, "");
}
