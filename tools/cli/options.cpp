#include "cli/options.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "veltrix/model/codes.h"
#include "veltrix/model/currency.h"

namespace veltrix::cli {

namespace {

const std::vector<std::string> kDestination = {"address", "sn", "service-id"};

struct CommandSpec {
  std::string name;
  std::vector<std::string> options;  // besides the destination ones
  bool destination = true;
};

const std::vector<CommandSpec>& commands() {
  static const std::vector<CommandSpec> specs = {
      {"payment", {"reference", "amount", "currency", "transaction-type"}},
      {"refund", {"reference", "amount", "currency", "org-reference", "transaction-type"}},
      {"reversal", {"reference", "amount", "currency", "org-reference", "transaction-type"}},
      {"preauth", {"reference", "amount", "currency", "transaction-type"}},
      {"completion", {"reference", "amount", "currency", "org-reference", "transaction-type"}},
      {"adjustment", {"reference", "amount", "currency", "org-reference", "transaction-type"}},
      {"balance", {"reference", "transaction-type"}},
      {"reconciliation", {"reference", "reconciliation-type"}},
      {"abort", {"reference", "org-exchange-id", "org-reference"}},
      {"cardauth", {"reference"}},
      {"messagestatus", {"reference", "org-exchange-id", "org-reference"}},
      {"reprint", {"reference", "org-exchange-id", "org-reference"}},
      {"print", {"reference", "text"}},
      {"display", {"reference", "text"}},
      {"nfctag", {"reference", "text"}},
      {"transmit", {"reference", "text", "destination-address"}},
      {"demo", {}, false},
      {"discover", {"seconds"}, false},
  };
  return specs;
}

const CommandSpec* findCommand(std::string_view name) {
  for (const CommandSpec& spec : commands()) {
    if (spec.name == name) return &spec;
  }
  return nullptr;
}

bool isDecimal(std::string_view text) {
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction =
      dot == std::string_view::npos ? std::string_view("0") : text.substr(dot + 1);
  auto digits = [](std::string_view part) {
    return !part.empty() &&
           std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  return digits(whole) && digits(fraction);
}

// The value's own check; empty when it passes.
std::string checkValue(const std::string& name, const std::string& value) {
  if (name == "amount" && !isDecimal(value)) {
    return fmt::format("--amount wants a decimal number such as 12.50, not \"{}\"", value);
  }
  if (name == "currency") {
    const auto currency = model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode(value);
    if (model::ISO4217ActiveCurrencyHelper::currencyCodeFromEnum(currency) != value) {
      return fmt::format("--currency wants an ISO 4217 code in capitals such as EUR, not \"{}\"",
                         value);
    }
  }
  if (name == "transaction-type") {
    const auto type = model::TransactionTypeHelper::transactionTypeFromString(value);
    if (model::TransactionTypeHelper::stringFromTransactionType(type) != value) {
      return fmt::format(
          "--transaction-type wants a transaction type code such as CRDP, not \"{}\"", value);
    }
  }
  if (name == "reconciliation-type") {
    const auto type = model::ReconciliationTypeCodeHelper::codeFromString(value);
    if (model::ReconciliationTypeCodeHelper::stringFromCode(type) != value) {
      return fmt::format("--reconciliation-type wants AREC, ASYN, PREC or SREC, not \"{}\"", value);
    }
  }
  if (name == "seconds") {
    const bool digits =
        !value.empty() && value.size() <= 4 &&
        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || std::stoi(value) < 1 || std::stoi(value) > 3600) {
      return fmt::format("--seconds wants a whole number from 1 to 3600, not \"{}\"", value);
    }
  }
  return {};
}

}  // namespace

std::optional<std::string> CommandLine::get(std::string_view name) const {
  auto found = options.find(name);
  if (found == options.end()) return std::nullopt;
  return found->second;
}

ParseResult parseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  const CommandSpec* spec = nullptr;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--json") {
      line.json = true;
      continue;
    }
    if (arg == "--log") {
      line.log = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      if (spec != nullptr) return {std::nullopt, fmt::format("unexpected argument \"{}\"", arg)};
      spec = findCommand(arg);
      if (spec == nullptr) return {std::nullopt, fmt::format("unknown command \"{}\"", arg)};
      line.command = arg;
      continue;
    }
    const std::string name = arg.substr(2);
    const bool global = name == "data-dir";
    if (!global) {
      if (spec == nullptr) {
        return {std::nullopt, fmt::format("option {} before the command", arg)};
      }
      const bool known =
          (spec->destination &&
           std::find(kDestination.begin(), kDestination.end(), name) != kDestination.end()) ||
          std::find(spec->options.begin(), spec->options.end(), name) != spec->options.end();
      if (!known) {
        return {std::nullopt, fmt::format("{} does not take {}", spec->name, arg)};
      }
    }
    if (i + 1 >= args.size()) return {std::nullopt, fmt::format("{} needs a value", arg)};
    const std::string& value = args[++i];
    if (global) {
      if (line.dataDir) return {std::nullopt, "--data-dir given twice"};
      if (value.empty()) return {std::nullopt, "--data-dir needs a directory"};
      line.dataDir = value;
      continue;
    }
    if (line.options.count(name) > 0) return {std::nullopt, fmt::format("{} given twice", arg)};
    if (std::string why = checkValue(name, value); !why.empty()) return {std::nullopt, why};
    line.options.emplace(name, value);
  }
  if (spec == nullptr) return {std::nullopt, "no command given"};
  const bool takesAmount =
      std::find(spec->options.begin(), spec->options.end(), "amount") != spec->options.end();
  if (takesAmount && !line.get("amount")) {
    return {std::nullopt, fmt::format("{} needs --amount", spec->name)};
  }
  return {std::move(line), {}};
}

std::string usageText() {
  std::string text = fmt::format(
      "usage: veltrix-cli [--data-dir DIR] [--json] [--log] COMMAND [OPTIONS]\n"
      "\n"
      "Runs one request against a Tavio terminal and prints its exchange identifier,\n"
      "its notifications and its result. Exit status:\n"
      "  0  the last result has code 0: the terminal approved\n"
      "  3  the last result has code 0 but response FAIL: the terminal declined\n"
      "  2  an error code, or no final result within 200 s\n"
      "  1  a usage error; nothing was sent\n"
      "\n"
      "  --data-dir DIR   where the library keeps its database and log file\n"
      "  --json           one JSON object per line on standard output\n"
      "  --log            the library's log on standard error\n"
      "\n"
      "Destination options of every request command:\n"
      "  --address HOST:PORT  --sn SN  --service-id ID\n"
      "\n"
      "Commands and their options. --amount is required where it is listed;\n"
      "without --currency the amount is in {}.\n",
      kDefaultCurrency);
  for (const CommandSpec& spec : commands()) {
    std::string options;
    for (const std::string& option : spec.options) options += " --" + option;
    text += fmt::format("  {:<15}{}\n", spec.name, options.empty() ? "" : options.substr(1));
  }
  return text;
}

}  // namespace veltrix::cli
