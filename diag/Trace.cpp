#include "diag/Trace.h"

#include <chrono>
#include <cstring>
#include <mutex>

#include "platform/FileTime.h"
#include "platform/TraceSocket.h"

namespace kalvero {

namespace trace_detail {
std::atomic<int> g_level{0};
}

namespace {

struct TraceState {
  std::mutex mutex;
  std::string target;
  std::string sender;
  std::string channel = kTraceViewerName;
  std::int64_t timeBase = 0;  // seconds since 1970 at tick count 0
  bool timeBaseSet = false;
};

TraceState& state() {
  static TraceState s;
  return s;
}

// The viewer is looked up again at every call, as it may come and go.
thread_local platform::TraceSocket t_viewer;
thread_local bool t_connected = false;

std::int64_t timeBase() {
  TraceState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.timeBaseSet) {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    s.timeBase = std::chrono::duration_cast<std::chrono::seconds>(now).count() -
                 static_cast<std::int64_t>(platform::tickCount() / 1000);
    s.timeBaseSet = true;
  }
  return s.timeBase;
}

}  // namespace

bool TraceInit(int level, const std::string& targetComputer, const std::string& sender) {
  TraceState& s = state();
  trace_detail::g_level.store(level, std::memory_order_relaxed);
  std::string channel;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.target = targetComputer;
    s.sender = sender.empty() ? platform::computerName() : sender;
    channel = s.channel;
  }
  timeBase();
  t_connected = level != 0 && t_viewer.connect(channel);
  return t_connected;
}

void SetTraceChannelName(const std::string& name) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().channel = name;
}

namespace trace_detail {

bool viewerPresent() {
  TraceState& s = state();
  std::string target, sender;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    target = s.target;
    sender = s.sender;
  }
  return TraceInit(g_level.load(std::memory_order_relaxed), target, sender);
}

void sendText(int levelArgument, const char* file, int line, std::string text) {
  if (text.size() > 511) text.resize(511);
  const TraceKind kind = levelArgument == 4 ? TraceKind::Message : static_cast<TraceKind>(levelArgument);
  TraceSend(text, kind, file, line);
}

}  // namespace trace_detail

std::string FormatElapsedMicroseconds(std::int64_t micros) {
  if (micros < 0) micros = 0;
  std::string digits = std::to_string(micros);
  if (digits.size() < 4) return "0," + std::string(3 - digits.size(), '0') + digits;
  return digits.substr(0, digits.size() - 3) + "," + digits.substr(digits.size() - 3);
}

std::string BuildTraceLine(std::string text, TraceKind traceKind, const char* file, int line, std::uint32_t tick) {
  const int kind = static_cast<int>(traceKind);
  if (text.size() > 400) text.resize(400);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  std::string path = file ? file : "";
  if (path.size() > 511) path.resize(511);
  std::string::size_type cut = path.find_last_of("/\\");
  std::string fileName = cut == std::string::npos ? path : path.substr(cut + 1);

  platform::LocalTime lt;
  if (!platform::localFromUnix(timeBase() + tick / 1000, lt)) lt = platform::LocalTime{};
  std::string stamp = fmt::sprintf("%02d:%02d:%02d,%03d", lt.hour, lt.minute, lt.second, tick % 1000);

  std::string out;
  if ((kind & 0xFF) == 3)
    out = fmt::sprintf("%s%s  %s  (Datei: %s, Zeile: %d)", stamp, "", text, fileName, line);
  else
    out = fmt::sprintf("%s  %s der Klasse %s  (Datei: %s, Zeile: %d)", stamp,
                       (kind & 0xFF) == 1 ? "Konstruktor" : "Destruktor", text, fileName, line);
  if (out.size() + 50 < 1024)
    out = fmt::sprintf("PID=%ld,TID=%ld,   %s", platform::processId(), platform::threadId(), out);
  return out;
}

void TraceSend(const std::string& text, TraceKind kind, const char* file, int line) {
  if (!t_connected) return;
  std::string datagram(4, '\0');
  for (int i = 0; i < 4; ++i) datagram[i] = static_cast<char>((static_cast<std::uint32_t>(kind) >> (8 * i)) & 0xFF);
  datagram += BuildTraceLine(text, kind, file, line, platform::tickCount());
  datagram += '\0';
  t_viewer.send(datagram.data(), datagram.size());
}

}  // namespace kalvero
