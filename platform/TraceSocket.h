#pragma once
// The trace channel: a Unix datagram socket file in the user's private
// runtime directory ($XDG_RUNTIME_DIR/kalvero/, mode 0700) that a trace
// viewer binds, so trace lines (file names) reach only their own user.
// Senders look the viewer up by connecting to it.
#include <cstddef>
#include <string>

namespace kalvero::platform {

class TraceSocket {
 public:
  TraceSocket() = default;
  ~TraceSocket();
  TraceSocket(const TraceSocket&) = delete;
  TraceSocket& operator=(const TraceSocket&) = delete;

  // Connects to the viewer bound to the channel name; false when none is.
  bool connect(const std::string& name);
  // One datagram. Waits at most a second for a viewer that does not read,
  // so a stuck viewer never stops the program; false when not delivered.
  bool send(const void* data, std::size_t n);
  void close();

 private:
  int fd_ = -1;
};

// The viewer's side (tests and viewers): binds the channel name, replacing
// the socket file of a viewer that is gone; close() removes the file.
class TraceReceiver {
 public:
  TraceReceiver() = default;
  ~TraceReceiver();
  TraceReceiver(const TraceReceiver&) = delete;
  TraceReceiver& operator=(const TraceReceiver&) = delete;

  bool bind(const std::string& name, int* err = nullptr);
  // Waits up to timeoutMs for one datagram; false when none came.
  bool receive(std::string& datagram, int timeoutMs);
  void close();

 private:
  int fd_ = -1;
  std::string path_;
};

// The socket file of a channel name ("" when there is no private runtime directory).
std::string traceSocketPath(const std::string& name);

long processId();
long threadId();
// The computer's name ("" when unknown).
std::string computerName();

}  // namespace kalvero::platform
