// --notify against a stand-in notification service on a private bus: a
// dbus-daemon of the test's own, and a small service in this process that
// records what it receives. The user's own session bus is never used.
#include <gtest/gtest.h>
#include <signal.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "app/SettingsFile.h"
#include "backup/BackupNotification.h"
#include "backup/BackupStart.h"
#include "platform/SleepLock.h"
#include "platform/Udisks.h"
#include "restore/RestoreNotification.h"
#include "support/RecordingReporter.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

extern char** environ;

namespace kalvero {
namespace {

using test::CliResult;
using test::RunCli;
using test::TempDir;

struct Received {
  std::string app, icon, summary, body;
  int urgency = -1;
};

// A dbus-daemon of the test's own, listening on a socket in the temporary
// directory; stopped with the object.
class PrivateBus {
 public:
  PrivateBus(const TempDir& t, const std::string& name) : address_("unix:path=" + t / name) {
    t.write(name + ".conf",
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig><type>session</type><listen>" +
                address_ +
                "</listen><auth>EXTERNAL</auth>\n"
                "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string a0 = "dbus-daemon", a1 = "--nofork", a2 = "--print-address", a3 = "--config-file=" + t / (name + ".conf");
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
    const bool started = posix_spawnp(&daemon_, "dbus-daemon", &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    // The address is printed once the bus listens.
    char c;
    while (started && read(fds[0], &c, 1) == 1 && c != '\n') {
    }
    close(fds[0]);
    if (!started) daemon_ = -1;
  }
  ~PrivateBus() {
    if (daemon_ > 0) {
      kill(daemon_, SIGTERM);
      waitpid(daemon_, nullptr, 0);
    }
  }
  bool running() const { return daemon_ > 0; }
  const std::string& address() const { return address_; }
  // A client connection of this process, owning name, serving vtable at path.
  sd_bus* serve(const char* path, const char* interface, const sd_bus_vtable* vtable, void* self,
                const char* name) const {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0) return nullptr;
    if (sd_bus_set_address(bus, address_.c_str()) >= 0 && sd_bus_set_bus_client(bus, 1) >= 0 &&
        sd_bus_negotiate_fds(bus, 1) >= 0 && sd_bus_start(bus) >= 0 &&
        sd_bus_add_object_vtable(bus, nullptr, path, interface, vtable, self) >= 0 &&
        sd_bus_request_name(bus, name, 0) >= 0)
      return bus;
    sd_bus_flush_close_unref(bus);
    return nullptr;
  }

 private:
  std::string address_;
  pid_t daemon_ = -1;
};

class NotificationStandIn {
 public:
  explicit NotificationStandIn(const TempDir& t) : daemon_(t, "bus") {
    if (daemon_.running())
      bus_ = daemon_.serve("/org/freedesktop/Notifications", "org.freedesktop.Notifications", kVtable, this,
                           "org.freedesktop.Notifications");
    if (bus_) server_ = std::thread([this] { serve(); });
  }
  ~NotificationStandIn() {
    stop_ = true;
    if (server_.joinable()) server_.join();
    if (bus_) sd_bus_flush_close_unref(bus_);
  }
  const std::string& address() const { return daemon_.address(); }
  bool ready() const { return server_.joinable(); }
  std::vector<Received> received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

 private:
  void serve() {
    while (!stop_) {
      if (sd_bus_process(bus_, nullptr) > 0) continue;
      sd_bus_wait(bus_, 50'000);
    }
  }
  static int notify(sd_bus_message* m, void* self, sd_bus_error*) {
    Received r;
    const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
    std::uint32_t replaces = 0;
    sd_bus_message_read(m, "susss", &app, &replaces, &icon, &summary, &body);
    r.app = app ? app : "";
    r.icon = icon ? icon : "";
    r.summary = summary ? summary : "";
    r.body = body ? body : "";
    sd_bus_message_skip(m, "as");
    sd_bus_message_enter_container(m, 'a', "{sv}");
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
      const char* key = nullptr;
      sd_bus_message_read(m, "s", &key);
      std::uint8_t urgency = 0;
      if (key && std::string(key) == "urgency" && sd_bus_message_read(m, "v", "y", &urgency) >= 0)
        r.urgency = urgency;
      else
        sd_bus_message_skip(m, "v");
      sd_bus_message_exit_container(m);
    }
    auto* standIn = static_cast<NotificationStandIn*>(self);
    {
      std::lock_guard<std::mutex> lock(standIn->mutex_);
      standIn->received_.push_back(r);
    }
    return sd_bus_reply_method_return(m, "u", 7u);
  }
  static int capabilities(sd_bus_message* m, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(m, "as", 1, "body");
  }
  static constexpr sd_bus_vtable kVtable[] = {
      SD_BUS_VTABLE_START(0), SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", notify, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("GetCapabilities", "", "as", capabilities, SD_BUS_VTABLE_UNPRIVILEGED), SD_BUS_VTABLE_END};

  PrivateBus daemon_;
  sd_bus* bus_ = nullptr;
  std::thread server_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Received> received_;
};

// logind on a private system bus: Inhibit hands out one end of a pipe and
// records its arguments; the other end tells whether the lock is still held.
// sleepNow() sends PrepareForSleep(true) as a closed lid does.
class LogindStandIn {
 public:
  explicit LogindStandIn(const TempDir& t) : daemon_(t, "system-bus") {
    if (daemon_.running())
      bus_ = daemon_.serve("/org/freedesktop/login1", "org.freedesktop.login1.Manager", kVtable, this,
                           "org.freedesktop.login1");
    if (bus_) server_ = std::thread([this] { serve(); });
  }
  ~LogindStandIn() {
    stop_ = true;
    if (server_.joinable()) server_.join();
    if (bus_) sd_bus_flush_close_unref(bus_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (held_ >= 0) close(held_);
  }
  bool ready() const { return server_.joinable(); }
  const std::string& address() const { return daemon_.address(); }
  std::vector<std::string> inhibitCalls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  // True once every copy of the last lock's descriptor is closed.
  bool released() {
    std::lock_guard<std::mutex> lock(mutex_);
    pollfd p{held_, POLLIN, 0};
    return held_ >= 0 && poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
  }
  void sleepNow() { sleep_ = true; }

 private:
  void serve() {
    while (!stop_) {
      if (sleep_.exchange(false))
        sd_bus_emit_signal(bus_, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep", "b",
                           1);
      if (sd_bus_process(bus_, nullptr) > 0) continue;
      sd_bus_wait(bus_, 20'000);
    }
  }
  static int inhibit(sd_bus_message* m, void* self, sd_bus_error*) {
    const char *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
    sd_bus_message_read(m, "ssss", &what, &who, &why, &mode);
    auto* standIn = static_cast<LogindStandIn*>(self);
    int fds[2];
    if (pipe(fds) != 0) return -errno;
    {
      std::lock_guard<std::mutex> lock(standIn->mutex_);
      standIn->calls_.push_back(std::string(what) + "|" + who + "|" + why + "|" + mode);
      if (standIn->held_ >= 0) close(standIn->held_);
      standIn->held_ = fds[0];
    }
    const int r = sd_bus_reply_method_return(m, "h", fds[1]);
    close(fds[1]);  // the reply carries its own copy
    return r;
  }
  static constexpr sd_bus_vtable kVtable[] = {
      SD_BUS_VTABLE_START(0), SD_BUS_METHOD("Inhibit", "ssss", "h", inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_SIGNAL("PrepareForSleep", "b", 0), SD_BUS_VTABLE_END};

  PrivateBus daemon_;
  sd_bus* bus_ = nullptr;
  std::thread server_;
  std::atomic<bool> stop_{false}, sleep_{false};
  std::mutex mutex_;
  std::vector<std::string> calls_;
  int held_ = -1;  // the read end of the last lock's pipe
};

// udisks2 on a private system bus: one stick, sdb1 on drive STICK; records
// what it was asked to do.
class UdisksStandIn {
 public:
  explicit UdisksStandIn(const TempDir& t) : daemon_(t, "udisks-bus") {
    if (daemon_.running())
      bus_ = daemon_.serve("/org/freedesktop/UDisks2/block_devices/sdb1", "org.freedesktop.UDisks2.Filesystem",
                           kFilesystem, this, "org.freedesktop.UDisks2");
    if (bus_ &&
        sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/UDisks2/block_devices/sdb1",
                                 "org.freedesktop.UDisks2.Block", kBlock, this) >= 0 &&
        sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/UDisks2/drives/STICK", "org.freedesktop.UDisks2.Drive",
                                 kDrive, this) >= 0)
      server_ = std::thread([this] { serve(); });
  }
  ~UdisksStandIn() {
    stop_ = true;
    if (server_.joinable()) server_.join();
    if (bus_) sd_bus_flush_close_unref(bus_);
  }
  bool ready() const { return server_.joinable(); }
  const std::string& address() const { return daemon_.address(); }
  std::vector<std::string> calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  void serve() {
    while (!stop_) {
      if (sd_bus_process(bus_, nullptr) > 0) continue;
      sd_bus_wait(bus_, 20'000);
    }
  }
  static int record(sd_bus_message* m, void* self, sd_bus_error*) {
    auto* standIn = static_cast<UdisksStandIn*>(self);
    {
      std::lock_guard<std::mutex> lock(standIn->mutex_);
      standIn->calls_.push_back(std::string(sd_bus_message_get_path(m)) + " " + sd_bus_message_get_member(m));
    }
    return sd_bus_reply_method_return(m, "");
  }
  static int drive(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "o", "/org/freedesktop/UDisks2/drives/STICK");
  }
  static constexpr sd_bus_vtable kFilesystem[] = {
      SD_BUS_VTABLE_START(0), SD_BUS_METHOD("Unmount", "a{sv}", "", record, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END};
  static constexpr sd_bus_vtable kBlock[] = {SD_BUS_VTABLE_START(0),
                                             SD_BUS_PROPERTY("Drive", "o", drive, 0, SD_BUS_VTABLE_PROPERTY_CONST),
                                             SD_BUS_VTABLE_END};
  static constexpr sd_bus_vtable kDrive[] = {
      SD_BUS_VTABLE_START(0), SD_BUS_METHOD("PowerOff", "a{sv}", "", record, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END};

  PrivateBus daemon_;
  sd_bus* bus_ = nullptr;
  std::thread server_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> calls_;
};

class Notify : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("KALVERO_CLI")) GTEST_SKIP() << "KALVERO_CLI not set";
    if (std::system("command -v dbus-daemon >/dev/null") != 0) GTEST_SKIP() << "dbus-daemon is not installed";
    t.write("s/a.txt", "a");
    BackupOptions o;
    o.Protokolldatei = t / "run.log";
    ASSERT_TRUE(SettingsFile(t / "k.INI").saveBackupSettings(o, {{1, 1, t / "s", t / "d", {}}}));
  }
  // Without a logind stand-in the system bus is one that is not there: the real one is never asked.
  CliResult run(const std::string& args, const std::string& busAddress, const std::string& systemBus = {}) {
    return RunCli(t, "--ini k.INI " + args,
                  "DBUS_SESSION_BUS_ADDRESS='" + busAddress + "' DBUS_SYSTEM_BUS_ADDRESS='" +
                      (systemBus.empty() ? "unix:path=" + t / "kein-systembus" : systemBus) + "'");
  }
  TempDir t;
};

TEST_F(Notify, CleanRunRunWithErrorsAndCancelledRun) {
  NotificationStandIn service(t);
  ASSERT_TRUE(service.ready());
  CliResult r = run("backup --notify", service.address());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");

  // A missing source counts like an error here (and in the exit status).
  ASSERT_EQ(RunCli(t, "--ini k.INI pairs add fehlt d2").status, 0);
  r = run("backup --notify -q", service.address());
  EXPECT_EQ(r.status, 1);

  // A cancelled run: the same notification the window and kalvero-cli send.
  ASSERT_EQ(setenv("DBUS_SESSION_BUS_ADDRESS", service.address().c_str(), 1), 0);
  RunTotals cancelled;
  cancelled.cancelled = true;
  cancelled.copied = 3;
  std::string error;
  EXPECT_TRUE(SendRunNotification(BackupNotification(cancelled, "/log/s.log"), &error)) << error;
  RestoreTotals restoreErrors;
  restoreErrors.filesDone = 2;
  restoreErrors.errors = 1;
  EXPECT_TRUE(SendRunNotification(RestoreNotification(restoreErrors, "/log/r.log"), &error)) << error;
  unsetenv("DBUS_SESSION_BUS_ADDRESS");

  const std::vector<Received> got = service.received();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].app, "Kalvero");
  EXPECT_EQ(got[0].icon, "kalvero");
  EXPECT_EQ(got[0].summary, "Sicherung beendet");
  EXPECT_EQ(got[0].urgency, 1);
  EXPECT_EQ(got[0].body, "1 Dateien kopiert\n0 Fehler\nProtokolldatei: " + t / "run.log");
  EXPECT_EQ(got[1].summary, "Sicherung mit Fehlern beendet");
  EXPECT_EQ(got[1].urgency, 2);
  EXPECT_EQ(got[1].body, "0 Dateien kopiert\n0 Fehler\nNicht vorhandene Quellverzeichnisse: '" + t / "fehlt" +
                             "'\nProtokolldatei: " + t / "run.log");
  EXPECT_EQ(got[2].summary, "Sicherung abgebrochen");
  EXPECT_EQ(got[2].urgency, 2);
  EXPECT_EQ(got[3].summary, "Rücksicherung mit Fehlern beendet");
  EXPECT_EQ(got[3].urgency, 2);
  EXPECT_EQ(got[3].body, "2 Dateien kopiert\n1 Fehler\nProtokolldatei: /log/r.log");
}

// A pattern the rules forbid stops a scheduled run before it copies anything, and says so.
TEST_F(Notify, ForbiddenPatternStopsTheRunWithACriticalNotification) {
  NotificationStandIn service(t);
  ASSERT_TRUE(service.ready());
  BackupOptions o;
  o.Protokolldatei = t / "run.log";
  o.MusterFlagNichtErlaubt = 1;
  o.MusterNichtErlaubt = "*.tmp, *Notiz_00*";
  ASSERT_TRUE(SettingsFile(t / "k.INI").saveBackupSettings(o, {{1, 1, t / "s", t / "d", {}}}));
  const CliResult r = run("backup --notify", service.address());
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("'*Notiz_00*'"), std::string::npos) << r.err;
  EXPECT_FALSE(t.exists("d/a.txt"));
  const std::vector<Received> got = service.received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].summary, "Sicherung nicht gestartet");
  EXPECT_EQ(got[0].urgency, 2);
  EXPECT_NE(got[0].body.find("'*Notiz_00*'"), std::string::npos) << got[0].body;
}

TEST_F(Notify, NoBusShowsNothingAndKeepsTheExitStatus) {
  const CliResult r = run("backup --notify", "unix:path=" + t / "kein-bus");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err.rfind("kalvero-cli: Die Benachrichtigung konnte nicht angezeigt werden: ", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(t.read("d/a.txt"), "a");
}

// A run keeps the computer from sleeping while it copies, naming its pair;
// the setting "Schlafsperre=0" leaves the computer alone.
TEST_F(Notify, RunTakesTheSleepLockUnlessSwitchedOff) {
  NotificationStandIn service(t);
  LogindStandIn logind(t);
  ASSERT_TRUE(service.ready() && logind.ready());
  CliResult r = run("backup --notify", service.address(), logind.address());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(logind.inhibitCalls(), std::vector<std::string>{"sleep:idle|Kalvero|Sicherung von '" + t / "s" +
                                                            "' nach '" + t / "d" + "'|delay"});
  EXPECT_TRUE(logind.released());

  t.write("k.INI", t.read("k.INI") + "[Allg]\nSchlafsperre=0\n");
  r = run("backup --notify", service.address(), logind.address());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(logind.inhibitCalls().size(), 1u);
}

// Sleep comes once the run has its log open, as a lid closed in the middle of a run.
class SleepDuringRun : public test::RecordingReporter {
 public:
  SleepDuringRun(LogindStandIn& logind, std::atomic<int>& cancel) : logind_(logind), cancel_(cancel) {}
  void progress(int code, const ProgressInfo& info) override {
    if (code == NOTIFY_LOG_OPENED && !slept_) {
      slept_ = true;
      logind_.sleepNow();
      for (int i = 0; i < 1000 && cancel_.load() == 0; ++i) usleep(10'000);
    }
    RecordingReporter::progress(code, info);
  }

 private:
  LogindStandIn& logind_;
  std::atomic<int>& cancel_;
  bool slept_ = false;
};

// Sleep coming anyway stops the run in order, as a cancel; the lock goes
// with the run's end; the run log and the notification say it was sleep, not
// a failure.
TEST_F(Notify, SleepStopsTheRunInOrderAndIsNoFailure) {
  LogindStandIn logind(t);
  ASSERT_TRUE(logind.ready());
  std::atomic<int> cancel{0};
  SleepDuringRun reporter(logind, cancel);
  std::vector<std::string> warnings;
  BackupStartInput input = LoadBackupInput(t / "k.INI", &warnings);
  input.cancel = &cancel;
  input.reporter = &reporter;
  ASSERT_EQ(setenv("DBUS_SYSTEM_BUS_ADDRESS", logind.address().c_str(), 1), 0);
  BackupStart start = StartBackup(std::move(input));
  unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  ASSERT_TRUE(start.ok()) << start.text;
  EXPECT_EQ(logind.inhibitCalls().size(), 1u);
  EXPECT_FALSE(logind.released());
  start.run->run();
  EXPECT_TRUE(logind.released());
  EXPECT_EQ(cancel.load(), platform::kCancelForSleep);
  const RunTotals totals = start.run->totals();
  start.run.reset();  // the run log is complete once the run is gone
  EXPECT_TRUE(totals.cancelled && totals.sleep);
  EXPECT_FALSE(t.exists("d/a.txt"));
  EXPECT_NE(t.read("run.log").find("Die Sicherung wurde angehalten, weil der Rechner in den Ruhezustand ging"),
            std::string::npos);
  const RunNotification n = BackupNotification(totals, "/log/s.log");
  EXPECT_EQ(n.summary, "Sicherung wegen Ruhezustand unterbrochen");
  EXPECT_EQ(n.urgency, 1);
  EXPECT_NE(n.body.find("Die nächste Sicherung kopiert den Rest."), std::string::npos) << n.body;
}

// The drive of a run started by plugging it in is unmounted and powered off
// the way the desktop does it; without udisks that is said, not hidden.
TEST_F(Notify, UnmountThroughTheDesktopsDiskService) {
  UdisksStandIn udisks(t);
  ASSERT_TRUE(udisks.ready());
  EXPECT_EQ(platform::UdisksBlockPath("/dev/mapper/luks-1"), "/org/freedesktop/UDisks2/block_devices/luks_2d1");
  ASSERT_EQ(setenv("DBUS_SYSTEM_BUS_ADDRESS", udisks.address().c_str(), 1), 0);
  std::string error;
  EXPECT_TRUE(platform::UnmountAndPowerOff("/dev/sdb1", &error)) << error;
  EXPECT_FALSE(platform::UnmountAndPowerOff("/dev/sdc1", &error));
  EXPECT_NE(error, "");
  ASSERT_EQ(setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + t / "kein-bus").c_str(), 1), 0);
  EXPECT_FALSE(platform::UnmountAndPowerOff("/dev/sdb1", &error));
  unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  EXPECT_EQ(udisks.calls(), (std::vector<std::string>{"/org/freedesktop/UDisks2/block_devices/sdb1 Unmount",
                                                      "/org/freedesktop/UDisks2/drives/STICK PowerOff"}));
}

}  // namespace
}  // namespace kalvero
