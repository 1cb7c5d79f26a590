#include "support/payment_load.h"

#include <unistd.h>

#include <fstream>
#include <map>
#include <optional>
#include <thread>
#include <utility>

#include "support/sim_terminal.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/sqlite.h"
#include "veltrix/transport/https_service.h"

namespace veltrix::testing {

using namespace std::chrono_literals;

struct PaymentLoad::Payment {
  std::string reference;
  std::string exchangeId;
  std::size_t calls = 0;
  bool right = false;
};

namespace {

// Runs the main loop until every payment has had its callback, or `limit`.
template <typename Payments>
void runUntilAllCalledBack(const Payments& payments, std::chrono::milliseconds limit) {
  platform::MainLoop::shared().runUntil(
      [&] {
        for (const auto& payment : payments) {
          if (payment->calls == 0) return false;
        }
        return true;
      },
      limit);
}

}  // namespace

PaymentLoad::PaymentLoad(const std::filesystem::path& dir)
    : sim_(startSimulatedTerminal(0ms)),  // two notifications and the response at once
      db_(dir / "load.sqlite"),
      logFile_(dir / "load-log.txt") {
  facade::CommunicateFactory factory = httpFactory(session_, logFile_);
  manager_ = std::make_shared<facade::RetailerManager>(facade::RetailerManager::Collaborators{
      db_, registry_, settings_, logFile_, transport::RadioOffBleTransport::shared(),
      std::move(factory)});
}

PaymentLoad::~PaymentLoad() {
  settle(10s);
  manager_.reset();
  sim_->stop();
}

std::shared_ptr<PaymentLoad::Payment> PaymentLoad::nextPayment() {
  auto payment = std::make_shared<Payment>();
  payment->reference = "LOAD-" + std::to_string(next_++);
  return payment;
}

void PaymentLoad::send(const std::shared_ptr<Payment>& payment) {
  model::PaymentParam param;
  param.transactionReference = payment->reference;
  param.totalAmount = "12.50";
  param.currency = model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode("EUR");
  param.servicesParams = model::DestinationParams{std::nullopt, std::nullopt, sim_->address()};
  manager_->payment(
      param, [payment](const std::string& id) { payment->exchangeId = id; },
      [payment](std::shared_ptr<const model::PaymentResult> result, std::int64_t code,
                std::optional<std::string>) {
        ++payment->calls;
        payment->right = code == 0 && result &&
                         result->exchangeIdentification == payment->exchangeId &&
                         result->transactionReference == payment->reference;
      });
}

PaymentLoad::Report PaymentLoad::oneAfterAnother(std::size_t count,
                                                 std::chrono::milliseconds limit) {
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + limit;
  std::vector<std::shared_ptr<Payment>> payments;
  for (std::size_t i = 0; i < count; ++i) {
    auto payment = nextPayment();
    payments.push_back(payment);
    send(payment);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left <= 0ms ||
        !platform::MainLoop::shared().runUntil([&] { return payment->calls > 0; }, left)) {
      break;
    }
  }
  return report(payments, start);
}

PaymentLoad::Report PaymentLoad::inFlight(std::size_t count, std::chrono::milliseconds limit) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::shared_ptr<Payment>> payments;
  for (std::size_t i = 0; i < count; ++i) {
    auto payment = nextPayment();
    payments.push_back(payment);
    send(payment);
  }
  runUntilAllCalledBack(payments, limit);
  return report(payments, start);
}

PaymentLoad::Report PaymentLoad::fromHostThreads(std::size_t threads, std::size_t each,
                                                 std::chrono::milliseconds limit) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::shared_ptr<Payment>> payments;
  for (std::size_t i = 0; i < threads * each; ++i) payments.push_back(nextPayment());
  std::vector<std::thread> hosts;
  for (std::size_t t = 0; t < threads; ++t) {
    hosts.emplace_back([this, &payments, t, each] {
      for (std::size_t i = 0; i < each; ++i) send(payments[t * each + i]);
    });
  }
  runUntilAllCalledBack(payments, limit);
  for (std::thread& host : hosts) host.join();
  return report(payments, start);
}

PaymentLoad::Report PaymentLoad::report(const std::vector<std::shared_ptr<Payment>>& payments,
                                        std::chrono::steady_clock::time_point start) {
  Report out;
  out.elapsed = std::chrono::steady_clock::now() - start;
  // A late second call would come from work still queued: let it run first.
  settle(10s);
  platform::MainLoop::shared().runPending();

  std::map<std::string, std::size_t> rows;
  platform::Db peek;
  if (peek.open(db_.path())) {
    platform::Stmt stmt = peek.prepare("SELECT exchangeId FROM casp_exchange");
    while (stmt.step() == platform::StepResult::Row) ++rows[stmt.text(0).value_or("")];
  }
  requests_ += sim_->requestCount();
  sim_->clearRequests();
  out.payments = payments.size();
  for (const auto& payment : payments) {
    if (payment->calls == 0) {
      ++out.unanswered;
    } else if (payment->calls == 1 && payment->right) {
      ++out.approved;
    } else {
      ++out.wrong;
    }
    if (!payment->exchangeId.empty() && rows[payment->exchangeId] == 1) ++out.loggedOnce;
  }
  return out;
}

bool PaymentLoad::settle(std::chrono::milliseconds limit) {
  return platform::MainLoop::shared().runUntil(
      [&] { return session_.taskCount() == 0 && sim_->openConnectionCount() == 0; }, limit);
}

std::size_t openFileCount() {
  std::error_code ec;
  std::size_t count = 0;
  for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end;
       it.increment(ec)) {
    ++count;
  }
  return count > 0 ? count - 1 : 0;  // less the iterator's own descriptor
}

std::size_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t size = 0;
  std::size_t resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace veltrix::testing
