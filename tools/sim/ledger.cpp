#include "sim/ledger.h"

#include <fmt/format.h>

#include <limits>

namespace veltrix::sim {
namespace {

// Bounds that keep every sum inside 64 bits.
constexpr std::size_t kMaxIntegerDigits = 12;
constexpr int kMaxDecimals = 4;

struct Decimal {
  std::int64_t units = 0;
  int decimals = 0;
};

std::int64_t pow10(int n) {
  std::int64_t p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

// "12", "12.5", "0.125"; anything else (signs, exponents, blanks) is not.
std::optional<Decimal> parseDecimal(std::string_view text) {
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction =
      dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (whole.empty() || whole.size() > kMaxIntegerDigits) return std::nullopt;
  if (dot != std::string_view::npos && (fraction.empty() || fraction.size() > kMaxDecimals)) {
    return std::nullopt;
  }
  Decimal out;
  for (std::string_view part : {whole, fraction}) {
    for (char c : part) {
      if (c < '0' || c > '9') return std::nullopt;
      out.units = out.units * 10 + (c - '0');
    }
  }
  out.decimals = static_cast<int>(fraction.size());
  return out;
}

std::string format(std::int64_t units, int decimals) {
  if (decimals == 0) return fmt::format("{}", units);
  const std::int64_t scale = pow10(decimals);
  return fmt::format("{}.{:0{}}", units / scale, units % scale, decimals);
}

}  // namespace

std::optional<std::string> Ledger::totalsTypeOf(std::string_view serviceType) {
  if (serviceType == "Purchase" || serviceType == "Scan Code Purchase" ||
      serviceType == "Cash Purchase" || serviceType == "QR Code Purchase" ||
      serviceType == "PreAuth Completion") {
    return "DEBT";
  }
  if (serviceType == "Refund") return "CRDT";
  return std::nullopt;
}

void Ledger::record(std::string_view currency, std::string_view type, std::string_view amount) {
  std::lock_guard<std::mutex> lock(mutex_);
  Line* line = nullptr;
  for (Line& l : lines_) {
    if (l.currency == currency && l.type == type) line = &l;
  }
  if (!line) {
    lines_.push_back(Line{std::string(currency), std::string(type)});
    line = &lines_.back();
  }
  ++line->count;
  const std::optional<Decimal> value = parseDecimal(amount);
  if (!value) return;
  if (value->decimals > line->decimals) {
    line->units *= pow10(value->decimals - line->decimals);
    line->decimals = value->decimals;
  }
  const std::int64_t add = value->units * pow10(line->decimals - value->decimals);
  // A run long enough to overflow keeps the last sum it could hold.
  if (line->units <= std::numeric_limits<std::int64_t>::max() - add) line->units += add;
}

std::vector<LedgerTotal> Ledger::totals() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<LedgerTotal> out;
  for (const Line& line : lines_) {
    out.push_back({line.currency, line.type, line.count, format(line.units, line.decimals)});
  }
  return out;
}

}  // namespace veltrix::sim
