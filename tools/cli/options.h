// The command line of veltrix-cli:
//
//   veltrix-cli [--data-dir DIR] [--json] [--log] COMMAND [OPTIONS]
//
// The three global options may also follow the command. Every other option
// takes one value and belongs to the commands that list it; anything else
// is a usage error, and so is a command that takes --amount without it.
// Plain values; no threads.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrix::cli {

// The currency of a command that takes --amount when --currency is not given.
inline constexpr const char* kDefaultCurrency = "USD";

struct CommandLine {
  std::optional<std::string> dataDir;
  bool json = false;
  bool log = false;
  std::string command;
  // Command options by name without the dashes ("address", "amount", ...).
  std::map<std::string, std::string, std::less<>> options;

  std::optional<std::string> get(std::string_view name) const;
};

// The parsed command line, or the one-line reason why it is not one.
struct ParseResult {
  std::optional<CommandLine> commandLine;
  std::string error;
};

ParseResult parseCommandLine(const std::vector<std::string>& args);

// The commands and their options, for the usage text.
std::string usageText();

}  // namespace veltrix::cli
