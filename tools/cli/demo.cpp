// veltrix-cli demo: a payment, a refund of it and a reconciliation through
// RetailerManager against the simulated terminal, started in this process
// on loopback, then a payment over Bluetooth LE against a simulated
// terminal on the simulated radio, then a payment on a till that knows no
// terminal, picked on the scan screen (demo_scan.h), over a fresh data
// directory that also receives the scan screen's pictures.
#include <fmt/format.h>

#include <filesystem>
#include <memory>
#include <string>

#include "cli/cli_host.h"
#include "cli/commands.h"
#include "cli/demo_scan.h"
#include "sim/ble_simulator.h"
#include "sim/http_simulator.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/model/currency.h"
#include "veltrix/model/financial_params.h"
#include "veltrix/platform/ble/sim_radio.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/uuid.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/file_logger.h"

namespace veltrix::cli {

namespace {

using facade::ExchangeIdBlock;
using facade::ResultBlock;

// A new directory below the system's temporary directory.
std::filesystem::path freshDirectory() {
  std::error_code error;
  const std::filesystem::path dir = std::filesystem::temp_directory_path(error) /
                                    ("veltrix-demo-" + platform::newUuid().substr(0, 8));
  std::filesystem::create_directories(dir, error);
  return dir;
}

bool succeeded(const Outcome& outcome) {
  return outcome.finished && outcome.lastCode && *outcome.lastCode == 0;
}

constexpr const char* kBleTerminalSn = "TAVIO-SIM-0002";

// A payment to a terminal that has no local-network address: it becomes
// the default terminal, and the library finds it by its Bluetooth LE
// presence, connects it and sends over Bluetooth LE. The terminal is
// recorded as discovery records one it met over Bluetooth LE, with its
// purchase service.
bool payOverBle(CliHost& host, Printer& printer, const model::ISO4217ActiveCurrency& currency) {
  sim::BleTerminalOptions options;
  options.sn = kBleTerminalSn;
  sim::BleSimulator terminal(platform::ble::SimRadio::shared(), options);
  printer.note("");
  printer.note(fmt::format("Simulated Bluetooth LE terminal {} in range", terminal.sn()));

  registry::DatabaseManager& db = registry::DatabaseManager::sharedManager();
  const std::string now = std::to_string(platform::nowMillis());
  db.insertDiscoveredTerminal(terminal.sn(), options.model, std::nullopt, options.parameter,
                              std::nullopt, 1, 1, 0, now, now, terminal.identifier());
  for (const sim::ServiceEntry& entry : options.services) {
    for (const auto& [type, typeName] : entry.types) {
      if (type != "Purchase") continue;
      db.insertTerminalServices(terminal.sn(), type, typeName, entry.packageName, entry.serviceId,
                                entry.serviceName, 1, now, now, "payment");
    }
  }
  facade::RetailerSettingManager::sharedManager().destination(terminal.sn());
  printer.note(fmt::format("Default terminal set to {}", terminal.sn()));

  printer.note("");
  printer.note("== Payment of 8.00 EUR over Bluetooth LE");
  model::PaymentParam payment;
  payment.transactionReference = "DEMO-0004";
  payment.totalAmount = "8.00";
  payment.currency = currency;
  const Outcome outcome = host.run<model::PaymentResult>(
      [&](ExchangeIdBlock block, ResultBlock<model::PaymentResult> result) {
        host.manager().payment(payment, std::move(block), std::move(result));
      });
  return succeeded(outcome);
}

}  // namespace

int runDemo(const CommandLine& line, Printer& printer) {
  const std::filesystem::path dataDir =
      line.dataDir ? std::filesystem::path(*line.dataDir) : freshDirectory();
  platform::setDocumentsDir(dataDir);

  std::string error;
  auto terminal = sim::HttpSimulator::start("127.0.0.1", 0, &error);
  if (!terminal) {
    fmt::print(stderr, "veltrix-cli: the simulated terminal did not start: {}\n", error);
    return 2;
  }
  printer.note(fmt::format("Simulated terminal listening on {}", terminal->url()));

  CliHost host(printer);
  // The simulated terminal becomes the default terminal: the requests name
  // no destination and the library finds it by itself.
  facade::RetailerSettingManager::sharedManager().destinationPort("127.0.0.1",
                                                                  std::int64_t{terminal->port()});
  printer.note(fmt::format("Default terminal set to {}", terminal->address()));
  const auto euro = model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode("EUR");

  printer.note("");
  printer.note("== Payment of 12.50 EUR");
  model::PaymentParam payment;
  payment.transactionReference = "DEMO-0001";
  payment.totalAmount = "12.50";
  payment.currency = euro;
  std::shared_ptr<const model::PaymentResult> paid;
  Outcome outcome = host.run<model::PaymentResult>(
      [&](ExchangeIdBlock block, ResultBlock<model::PaymentResult> result) {
        host.manager().payment(payment, std::move(block), std::move(result));
      },
      &paid);
  bool ok = succeeded(outcome);

  if (ok) {
    printer.note("");
    printer.note("== Refund of that payment");
    model::RefundParam refund;
    refund.transactionReference = "DEMO-0002";
    refund.orgTransactionReference = paid ? paid->transactionReference : std::nullopt;
    refund.totalAmount = "12.50";
    refund.currency = euro;
    outcome = host.run<model::RefundResult>(
        [&](ExchangeIdBlock block, ResultBlock<model::RefundResult> result) {
          host.manager().refund(refund, std::move(block), std::move(result));
        });
    ok = succeeded(outcome);
  }

  if (ok) {
    printer.note("");
    printer.note("== Reconciliation");
    model::ReconciliationParam reconciliation;
    reconciliation.transactionReference = "DEMO-0003";
    outcome = host.run<model::ReconciliationResult>(
        [&](ExchangeIdBlock block, ResultBlock<model::ReconciliationResult> result) {
          host.manager().reconciliation(reconciliation, std::move(block), std::move(result));
        });
    ok = succeeded(outcome);
  }

  if (ok) ok = payOverBle(host, printer, euro);
  terminal->stop();
  if (ok) ok = payOnScanScreen(printer, dataDir, euro);

  printer.note("");
  printer.note(
      fmt::format("Log file: {}", registry::FileLogger::sharedLogger().getLogFilePath().string()));
  printer.note(
      fmt::format("Database: {}", registry::DatabaseManager::sharedManager().path().string()));
  if (!ok) fmt::print(stderr, "veltrix-cli: the demo stopped at a failed request\n");
  return ok ? 0 : 2;
}

}  // namespace veltrix::cli
