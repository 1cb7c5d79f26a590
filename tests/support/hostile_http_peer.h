// A hostile terminal for transport and facade tests: an HTTP server on an
// ephemeral loopback port that answers every request with the same body,
// whatever it is, and then ends the body cleanly (Content-Length, close);
// or, as faults the simulated terminal cannot produce, resets the
// connection (RST) once the request is in, before any byte of an answer, or
// stops listening once the first connection (the facade's reach probe) is
// in, so that the request's own connection is refused. Connections that
// send nothing (connect probes) are closed.
//
// Serves on a thread of its own and one per connection; every wait is
// bounded, and the destructor stops and joins it. Non-copyable.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace veltrix::testing {

class HostileHttpPeer {
 public:
  enum class Behaviour { kAnswer, kResetBeforeHead, kRefuseAfterProbe };

  explicit HostileHttpPeer(std::string body, Behaviour behaviour = Behaviour::kAnswer);
  ~HostileHttpPeer();
  HostileHttpPeer(const HostileHttpPeer&) = delete;
  HostileHttpPeer& operator=(const HostileHttpPeer&) = delete;

  bool ok() const { return fd_ >= 0; }
  // "127.0.0.1:<port>".
  std::string address() const;

 private:
  void serve();
  void answer(int client);

  const std::string body_;
  const Behaviour behaviour_;
  int fd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  bool listenerClosed_ = false;  // by the serving thread; read after joining it
  std::thread thread_;
};

}  // namespace veltrix::testing
