#pragma once
// Trace lines to a viewer listening on the trace channel. Off unless the
// setting "Debug" is not 0; a trace point then costs one test of the level.
#include <atomic>
#include <cstdint>
#include <string>

#include <fmt/printf.h>

namespace kalvero {

// Name of the viewer's channel: a Unix datagram socket file of that name in
// the user's private runtime directory (platform/TraceSocket).
inline constexpr const char* kTraceViewerName = "ZAVERA - Meldungssystem";

// Call kinds, sent with every line; the low byte chooses the line format.
enum class TraceKind : int {
  Constructor = 1,
  Destructor = 2,
  Message = 0x0303,
};

namespace trace_detail {
extern std::atomic<int> g_level;
void sendText(int levelArgument, const char* file, int line, std::string text);
bool viewerPresent();
}  // namespace trace_detail

inline int TraceLevel() { return trace_detail::g_level.load(std::memory_order_relaxed); }

// Stores level and names, looks the viewer up (an empty sender becomes the
// computer's name); true when the level is not 0 and a viewer is there.
bool TraceInit(int level, const std::string& targetComputer, const std::string& sender);

// One trace line, printf-style.
template <class... Args>
void TraceMessage(int levelArgument, const char* file, int line, const char* format, const Args&... args) {
  if (!trace_detail::viewerPresent()) return;
  trace_detail::sendText(levelArgument, file, line, fmt::sprintf(format, args...));
}

// Sends a finished text with a kind (used by CSignal and TraceMessage).
void TraceSend(const std::string& text, TraceKind kind, const char* file, int line);

// The line as it goes out: the cuts at 400 characters and one trailing line
// feed, the time stamp, the format of the kind and the PID/TID prefix.
std::string BuildTraceLine(std::string text, TraceKind kind, const char* file, int line, std::uint32_t tick);

// Elapsed microseconds as milliseconds with three decimals after a comma.
std::string FormatElapsedMicroseconds(std::int64_t micros);

// Tests use a channel of their own.
void SetTraceChannelName(const std::string& name);

}  // namespace kalvero

#define KALVERO_TRACE(...)                                                           \
  do {                                                                               \
    if (::kalvero::TraceLevel() != 0) ::kalvero::TraceMessage(4, __FILE__, __LINE__, __VA_ARGS__); \
  } while (0)
