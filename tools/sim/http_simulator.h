// The simulated Tavio terminal's HTTP side: an HTTP/1.1 server on a
// loopback address that answers casp requests from a scenario.
//
// It serves several connections at once (an abort arrives while a
// payment's response is still streaming), keeps connections alive between
// requests, records every request, and writes each reply exactly as its
// script says: status, content type, framing (chunked, Content-Length or
// close-delimited), the body's pieces with their delays, and faults.
//
// Threads: the server runs on a thread of its own; every member may be
// called from any thread. Ownership: the simulator owns its thread and
// connections; destroying it (or stop()) closes them all, so a test's
// server always stops by itself.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/ledger.h"
#include "sim/reply.h"
#include "sim/scenario.h"

namespace veltrix::sim {

class Connection;

class HttpSimulator {
 public:
  // Listens on `host`:`port` (0 picks a free port). nullptr, with the reason
  // in `error`, when it cannot listen there.
  static std::unique_ptr<HttpSimulator> start(const std::string& host, std::uint16_t port,
                                              std::string* error = nullptr);
  ~HttpSimulator();
  HttpSimulator(const HttpSimulator&) = delete;
  HttpSimulator& operator=(const HttpSimulator&) = delete;

  // Closes the listener and every connection. Idempotent.
  void stop();

  const std::string& host() const;
  std::uint16_t port() const;
  std::string address() const;  // "host:port"
  std::string url() const;      // "http://host:port"

  void setScenario(Scenario scenario);
  // The serial number the terminal answers with (kTerminalSerial unless
  // set), and what it has approved since it started.
  void setSerial(std::string serial);
  std::string serial() const;
  const Ledger& ledger() const;
  // Adds a scripted reply to the current scenario.
  void add(Reply reply, ReplyMatch match = {}, bool repeat = false);
  void add(ReplyMaker maker, ReplyMatch match = {}, bool repeat = false);

  // Lets one status line or piece that waits for release (now or later) go
  // on, in the order they started waiting.
  void release();

  std::vector<RecordedRequest> requests() const;
  std::size_t requestCount() const;
  // Forgets the requests recorded so far, which a long load run would
  // otherwise keep in memory; the two above count from here.
  void clearRequests();
  // Connections accepted so far, and those still open.
  std::size_t connectionCount() const;
  std::size_t openConnectionCount() const;
  // Waits (real time, bounded) until `count` requests have arrived.
  bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

  // Called on the server thread for every request (the runnable logs them).
  void setRequestLog(std::function<void(const RecordedRequest&)> log);

 private:
  friend class Connection;
  struct Impl;
  explicit HttpSimulator(std::shared_ptr<Impl> impl);
  std::shared_ptr<Impl> impl_;
};

}  // namespace veltrix::sim
