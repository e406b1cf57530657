// Trace lines: formats, cuts, elapsed times, and the channel to a viewer.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <vector>

#include "diag/Signal.h"
#include "diag/Trace.h"
#include "platform/TraceSocket.h"
#include "support/TempDir.h"
#include "backup/CompressZip.h"

namespace kalvero {
namespace {

struct Datagram {
  int kind = 0;
  std::string line;
};

// A viewer on a channel of its own; tracing is switched off again at the end.
struct Viewer {
  std::string name = "kalvero-test-trace-" + std::to_string(platform::processId());
  platform::TraceReceiver receiver;
  explicit Viewer(bool listen = true) {
    SetTraceChannelName(name);
    if (listen) {
      EXPECT_TRUE(receiver.bind(name));
    }
  }
  ~Viewer() {
    TraceInit(0, "", "");
    SetTraceChannelName(kTraceViewerName);
  }
  std::vector<Datagram> all() {
    std::vector<Datagram> out;
    std::string d;
    while (receiver.receive(d, 200)) {
      Datagram g;
      EXPECT_GE(d.size(), 5u);
      for (int i = 3; i >= 0; --i) g.kind = (g.kind << 8) | static_cast<unsigned char>(d[i]);
      EXPECT_EQ(d.back(), '\0');  // the line travels with its zero byte
      g.line = d.substr(4, d.size() - 5);
      out.push_back(g);
    }
    return out;
  }
};

TEST(Trace, ElapsedTimes) {
  EXPECT_EQ(FormatElapsedMicroseconds(1234567), "1234,567");
  EXPECT_EQ(FormatElapsedMicroseconds(56), "0,056");
  EXPECT_EQ(FormatElapsedMicroseconds(1000), "1,000");
  EXPECT_EQ(FormatElapsedMicroseconds(0), "0,000");
  EXPECT_EQ(FormatElapsedMicroseconds(3000000000LL), "3000000,000");  // no 32-bit wrap
}

TEST(Trace, LineFormats) {
  const std::string pid = "PID=" + std::to_string(platform::processId()) + ",TID=" +
                          std::to_string(platform::threadId()) + ",   ";
  std::string m = BuildTraceLine("f.Read", TraceKind::Message, "/src/zip/CompressZip.cpp", 77, 123456);
  EXPECT_TRUE(std::regex_match(m, std::regex(R"(PID=\d+,TID=\d+,   \d\d:\d\d:\d\d,456  f\.Read  \(Datei: CompressZip\.cpp, Zeile: 77\))")))
      << m;
  EXPECT_EQ(m.rfind(pid, 0), 0u);
  std::string c = BuildTraceLine("CSignal (X::Y)", TraceKind::Constructor, "C:\\dir\\a.cpp", 5, 7);
  EXPECT_TRUE(std::regex_search(c, std::regex(R"(,007  Konstruktor der Klasse CSignal \(X::Y\)  \(Datei: a\.cpp, Zeile: 5\)$)"))) << c;
  std::string d = BuildTraceLine("CSignal (X::Y) [0,056 ms]", TraceKind::Destructor, "a.cpp", 0, 7);
  EXPECT_NE(d.find("  Destruktor der Klasse CSignal (X::Y) [0,056 ms]  (Datei: a.cpp, Zeile: 0)"), std::string::npos) << d;
}

TEST(Trace, Cuts) {
  auto text = [](const std::string& line) {
    std::string::size_type a = line.find(",", line.find(":")) + 6;
    return line.substr(a, line.find("  (Datei:") - a);
  };
  std::string t400(400, 'x');
  EXPECT_EQ(text(BuildTraceLine(t400, TraceKind::Message, "f.cpp", 1, 0)), t400);
  EXPECT_EQ(text(BuildTraceLine(t400 + "y", TraceKind::Message, "f.cpp", 1, 0)), t400);
  EXPECT_EQ(text(BuildTraceLine("zeile\n", TraceKind::Message, "f.cpp", 1, 0)), "zeile");
  EXPECT_EQ(text(BuildTraceLine("zeile", TraceKind::Message, "f.cpp", 1, 0)), "zeile");
  // A line of 974 characters or more goes without the process prefix.
  std::string longFile(560, 'f');
  std::string line = BuildTraceLine(t400, TraceKind::Constructor, longFile.c_str(), 2147483647, 0);
  EXPECT_EQ(line.rfind("PID=", 0), std::string::npos);
  EXPECT_NE(line.find(std::string(511, 'f') + ", Zeile"), std::string::npos);  // path cut to 511
}

TEST(Trace, LevelZeroDoesNothing) {
  Viewer viewer;
  EXPECT_FALSE(TraceInit(0, "", ""));
  EXPECT_EQ(TraceLevel(), 0);
  {
    KALVERO_SIGNAL("Niemand");
    EXPECT_FALSE(kalvero_signal_guard.exists());  // no CSignal at all
    KALVERO_TRACE("nie %d", 1);
  }
  EXPECT_TRUE(viewer.all().empty());
}

TEST(Trace, NoViewerNoLines) {
  Viewer viewer(false);
  EXPECT_FALSE(TraceInit(1, "", ""));
  CSignal signal("Still", "f.cpp", 1);
  EXPECT_FALSE(signal.active());  // stays silent even if a viewer comes later
}

TEST(Trace, TheChannelIsASocketFileOnlyItsUserReaches) {
  const std::string name = "kalvero-test-channel-" + std::to_string(platform::processId());
  const std::string path = platform::traceSocketPath(name);
  ASSERT_FALSE(path.empty());
  // A viewer killed before: its socket file is in the way, nobody listens.
  {
    const int stale = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    ::close(stale);
  }
  platform::TraceReceiver viewer;
  ASSERT_TRUE(viewer.bind(name));
  struct stat st {};
  ASSERT_EQ(::lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  ASSERT_EQ(::lstat(path.substr(0, path.rfind('/')).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, ::geteuid());
  platform::TraceReceiver second;
  EXPECT_FALSE(second.bind(name));  // a live viewer keeps its channel
  platform::TraceSocket sender;
  ASSERT_TRUE(sender.connect(name));
  ASSERT_TRUE(sender.send("x", 1));
  std::string got;
  EXPECT_TRUE(viewer.receive(got, 1000));
  EXPECT_EQ(got, "x");
  viewer.close();
  EXPECT_NE(::lstat(path.c_str(), &st), 0);
  EXPECT_FALSE(sender.connect(name));
}

TEST(Trace, ViewerReceivesTheLinesOfACompression) {
  Viewer viewer;
  ASSERT_TRUE(TraceInit(1, "", ""));
  test::TempDir t;
  CopyJob job;
  job.sourceRoot = t / "src/";
  job.source = t.write("src/brief.txt", "Sehr geehrte Damen und Herren");
  job.destination = t / "brief.txt";
  ZipArchiveLayer zip;
  CopyContext ctx;
  ASSERT_TRUE(CompressZip(zip, job, ctx));
  auto lines = viewer.all();
  std::vector<std::string> texts;
  for (const Datagram& d : lines) {
    std::smatch m;
    if (d.kind == static_cast<int>(TraceKind::Message)) {
      ASSERT_TRUE(std::regex_match(d.line, m, std::regex(R"(PID=\d+,TID=\d+,   \d\d:\d\d:\d\d,\d\d\d  (.*)  \(Datei: CompressZip\.cpp, Zeile: \d+\))")))
          << d.line;
      texts.push_back(m[1]);
    } else {
      ASSERT_TRUE(std::regex_match(d.line, m, std::regex(R"(PID=\d+,TID=\d+,   \d\d:\d\d:\d\d,\d\d\d  (\w+) der Klasse (.*)  \(Datei: CompressZip\.cpp, Zeile: (\d+)\))")))
          << d.line;
      if (d.kind == static_cast<int>(TraceKind::Constructor)) {
        EXPECT_EQ(m[1], "Konstruktor");
        EXPECT_EQ(m[2], "CSignal (CPageSichern::CompressZip)");
        EXPECT_NE(m[3], "0");
        texts.push_back("<ctor>");
      } else {
        EXPECT_EQ(d.kind, static_cast<int>(TraceKind::Destructor));
        EXPECT_EQ(m[1], "Destruktor");
        EXPECT_TRUE(std::regex_match(std::string(m[2]), std::regex(R"(CSignal \(CPageSichern::CompressZip\) \[\d+,\d\d\d ms\])"))) << m[2];
        EXPECT_EQ(m[3], "0");
        texts.push_back("<dtor>");
      }
    }
  }
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "<ctor>", "Zipdatei: " + job.finalName, "Quelldatei: " + job.source, "vor pZip->OpenNewFile",
                       "nach pZip->OpenNewFile", "f.Read", "pZip->WriteNewFile", "pZip->CloseNewFile", "pZip->Close()",
                       "CFile::GetStatus", "<dtor>"}));
}

}  // namespace
}  // namespace kalvero
