#include "platform/SleepLock.h"

#include "platform/BusError.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>
#include <thread>

namespace kalvero::platform {

namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kInterface = "org.freedesktop.login1.Manager";
// A logind that does not answer within this time is taken as absent: the run must not wait for it.
constexpr std::uint64_t kCallTimeoutUsec = 3'000'000;
// How often the listener looks whether the run has ended.
constexpr std::uint64_t kWakeUsec = 100'000;

}  // namespace

struct SleepLock::Impl {
  std::atomic<int>* cancel = nullptr;
  sd_bus* bus = nullptr;
  sd_bus_slot* match = nullptr;
  int fd = -1;
  std::string failure;
  std::atomic<bool> stop{false};
  std::thread listener;

  // PrepareForSleep(true): the computer goes to sleep once every delay lock is gone.
  static int onPrepareForSleep(sd_bus_message* m, void* self, sd_bus_error*) {
    int start = 0;
    if (sd_bus_message_read(m, "b", &start) < 0 || !start) return 0;
    auto* impl = static_cast<Impl*>(self);
    int expected = 0;  // a cancel of the user's own stays what it is
    if (impl->cancel) impl->cancel->compare_exchange_strong(expected, kCancelForSleep);
    return 0;
  }

  bool take(const std::string& why) {
    int r = sd_bus_open_system(&bus);
    if (r < 0) {
      bus = nullptr;
      failure = std::strerror(-r);
      return false;
    }
    // The match is there before the lock, so no signal falls between the two.
    r = sd_bus_match_signal(bus, &match, kService, kPath, kInterface, "PrepareForSleep", onPrepareForSleep, this);
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error e = SD_BUS_ERROR_NULL;
    if (r >= 0) r = sd_bus_message_new_method_call(bus, &call, kService, kPath, kInterface, "Inhibit");
    if (r >= 0) r = sd_bus_message_append(call, "ssss", "sleep:idle", "Kalvero", why.c_str(), "delay");
    if (r >= 0) r = sd_bus_call(bus, call, kCallTimeoutUsec, &e, &reply);
    int received = -1;
    if (r >= 0) r = sd_bus_message_read(reply, "h", &received);
    // The reply owns its descriptor; the lock lasts as long as our own copy.
    if (r >= 0) fd = fcntl(received, F_DUPFD_CLOEXEC, 3);
    if (r >= 0 && fd < 0) r = -errno;
    if (r < 0) failure = BusErrorText(e, r);
    sd_bus_error_free(&e);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    return r >= 0;
  }

  void listen() {
    while (!stop.load()) {
      const int r = sd_bus_process(bus, nullptr);
      if (r > 0) continue;
      if (r < 0) return;  // the bus went away: the lock went with it
      sd_bus_wait(bus, kWakeUsec);
    }
  }
};

SleepLock::SleepLock(const std::string& why, std::atomic<int>* cancel) : impl_(std::make_unique<Impl>()) {
  impl_->cancel = cancel;
  if (impl_->take(why)) impl_->listener = std::thread([impl = impl_.get()] { impl->listen(); });
}

SleepLock::~SleepLock() {
  impl_->stop = true;
  if (impl_->listener.joinable()) impl_->listener.join();
  if (impl_->fd >= 0) close(impl_->fd);
  sd_bus_slot_unref(impl_->match);
  if (impl_->bus) sd_bus_flush_close_unref(impl_->bus);
}

bool SleepLock::held() const { return impl_->fd >= 0; }
const std::string& SleepLock::failure() const { return impl_->failure; }

}  // namespace kalvero::platform
