#include "diag/Signal.h"

#include "platform/FileTime.h"

namespace kalvero {

CSignal::CSignal(const char* name, const char* file, int line) {
  if (!trace_detail::viewerPresent()) return;  // stays silent, also at its end
  start_ = std::chrono::steady_clock::now();
  text_ = std::string("CSignal (") + (name ? name : "") + ")";
  file_ = file ? file : "";
  TraceSend(text_, TraceKind::Constructor, file_.c_str(), line);
  active_ = true;
}

CSignal::~CSignal() {
  if (!active_ || TraceLevel() == 0) return;
  // The steady clock is always there: elapsed time in microseconds.
  auto micros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_).count();
  std::string text = text_ + " [" + FormatElapsedMicroseconds(micros) + " ms]";
  if (trace_detail::viewerPresent()) TraceSend(text, TraceKind::Destructor, file_.c_str(), 0);
}

}  // namespace kalvero
