// Payments through RetailerManager against the simulated terminal on
// loopback, for the load test (small counts) and the load benchmark (full
// counts): one after another, or many in flight at once, each on its own
// exchange. Every payment's block must be called once, with code 0 and the
// result of its own exchange; the exchange log must hold one row for each.
//
// Threads: the caller's thread, bound as the main loop before the object is
// made; every call runs the main loop there (bounded in real time).
// fromHostThreads() also calls the facade from threads of its own.
// Ownership: owns its simulated terminal, database, log file and session
// below `dir`, which must outlive it. Non-copyable.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/http_simulator.h"
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/streaming_http_session_manager.h"

namespace veltrix::testing {

class PaymentLoad {
 public:
  struct Report {
    std::size_t payments = 0;
    // Called once, with code 0 and its own exchange's result.
    std::size_t approved = 0;
    // Called more than once, with a failure or with another's result.
    std::size_t wrong = 0;
    std::size_t unanswered = 0;
    // Exchanges with exactly one row in the exchange log.
    std::size_t loggedOnce = 0;
    std::chrono::duration<double> elapsed{};

    bool clean() const {
      return approved == payments && wrong == 0 && unanswered == 0 && loggedOnce == payments;
    }
  };

  explicit PaymentLoad(const std::filesystem::path& dir);
  ~PaymentLoad();
  PaymentLoad(const PaymentLoad&) = delete;
  PaymentLoad& operator=(const PaymentLoad&) = delete;

  // `count` payments, each sent when the one before has had its result.
  Report oneAfterAnother(std::size_t count, std::chrono::milliseconds limit);
  // `count` payments sent at once, then every result awaited.
  Report inFlight(std::size_t count, std::chrono::milliseconds limit);
  // `threads` host threads each sending `each` payments at once while the
  // caller's thread runs the main loop, then every result awaited.
  Report fromHostThreads(std::size_t threads, std::size_t each, std::chrono::milliseconds limit);
  // Runs the main loop until no transfer is open and the terminal has
  // closed its side of every connection; false when `limit` passed first.
  bool settle(std::chrono::milliseconds limit);

  // Requests the terminal received. It forgets each one once counted, so
  // that its records do not show as growth of memory.
  std::size_t terminalRequests() const { return requests_; }

 private:
  struct Payment;

  // A payment with the next reference of this load, not yet sent.
  std::shared_ptr<Payment> nextPayment();
  void send(const std::shared_ptr<Payment>& payment);
  Report report(const std::vector<std::shared_ptr<Payment>>& payments,
                std::chrono::steady_clock::time_point start);

  std::unique_ptr<sim::HttpSimulator> sim_;
  transport::WSStreamingHTTPSessionManager session_;
  registry::DatabaseManager db_;
  registry::FileLogger logFile_;
  facade::ResultBackManager registry_;
  facade::RetailerSettingManager settings_{db_};
  std::shared_ptr<facade::RetailerManager> manager_;
  std::size_t next_ = 0;
  std::size_t requests_ = 0;
};

// Open file descriptors of this process (the entries of /proc/self/fd).
std::size_t openFileCount();
// Resident memory of this process in bytes (/proc/self/statm).
std::size_t residentBytes();

}  // namespace veltrix::testing
