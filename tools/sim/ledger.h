// What one simulated terminal has approved in its run, for its
// reconciliation totals: per currency and kind of total (debit for
// purchases and completions, credit for refunds) the number of
// transactions and the sum of their amounts.
//
// Amounts are the request's decimal text ("12.50"); they are summed
// exactly, with as many decimals as the longest of them. An amount that is
// not a plain decimal still counts as a transaction but adds nothing.
//
// Thread-safe: the HTTP side records on its server thread while a caller
// may read.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrix::sim {

// One line of totals, in the terminal's codes ("DEBT", "CRDT").
struct LedgerTotal {
  std::string currency;
  std::string type;
  std::uint64_t count = 0;
  std::string amount;  // "0.00" style, never empty
};

class Ledger {
 public:
  Ledger() = default;
  Ledger(const Ledger&) = delete;
  Ledger& operator=(const Ledger&) = delete;

  // The kind of total an approved request of `serviceType` adds to, if any.
  static std::optional<std::string> totalsTypeOf(std::string_view serviceType);

  void record(std::string_view currency, std::string_view type, std::string_view amount);
  // In the order each currency and kind was first recorded.
  std::vector<LedgerTotal> totals() const;

 private:
  struct Line {
    std::string currency;
    std::string type;
    std::uint64_t count = 0;
    // The sum in units of 10^-decimals.
    std::int64_t units = 0;
    int decimals = 0;
  };
  mutable std::mutex mutex_;
  std::vector<Line> lines_;
};

}  // namespace veltrix::sim
