// Loopback TCP endpoints for probe and socket tests. Everything binds to
// 127.0.0.1 and is closed on destruction.
#pragma once

#include <cstdint>
#include <vector>

namespace veltrix::testing {

// A listener on an ephemeral loopback port. It never accepts: the kernel
// completes handshakes into its backlog, which is enough for a connect probe.
class LoopbackListener {
 public:
  explicit LoopbackListener(int backlog = 16);
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  bool ok() const { return fd_ >= 0; }
  std::uint16_t port() const { return port_; }

  // Fills the backlog until the kernel stops answering new connection
  // requests, so the next connect hangs. False when that could not be
  // reached within a few attempts.
  bool saturate();

 private:
  int backlog_;
  int fd_ = -1;
  std::uint16_t port_ = 0;
  std::vector<int> clients_;
};

// A loopback port that is bound but not listening: a connect there is
// refused at once. The port stays reserved while the object lives.
class ClosedLoopbackPort {
 public:
  ClosedLoopbackPort();
  ~ClosedLoopbackPort();
  ClosedLoopbackPort(const ClosedLoopbackPort&) = delete;
  ClosedLoopbackPort& operator=(const ClosedLoopbackPort&) = delete;

  bool ok() const { return fd_ >= 0; }
  std::uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace veltrix::testing
