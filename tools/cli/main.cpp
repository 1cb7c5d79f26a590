// veltrix-cli: the command-line host of the library, and the demo.
//
//   veltrix-cli [--data-dir DIR] [--json] [--log] COMMAND [OPTIONS]
//
// See usageText() (options.cpp) for the commands. Runs the library's main
// loop on this thread; exits after the request's final result.
#include <fmt/format.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_host.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/printer.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/paths.h"

// Fontconfig and Pango keep their caches for the life of the process; the
// demo draws pictures, and a sanitizer build would report them as leaks.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
  return "leak:libfontconfig.so\nleak:libpango\nleak:libcairo.so\n";
}

namespace {

constexpr int kExitUsage = 1;
constexpr int kExitError = 2;
// The terminal answered and declined (response FAIL).
constexpr int kExitDeclined = 3;

int exitStatus(const veltrix::cli::Outcome& outcome) {
  if (!outcome.finished) {
    fmt::print(stderr, "veltrix-cli: no final result within {} s\n",
               veltrix::cli::kRequestTimeout.count());
    return kExitError;
  }
  if (!outcome.lastCode) {
    fmt::print(stderr, "veltrix-cli: the exchange ended without a result\n");
    return kExitError;
  }
  if (*outcome.lastCode != 0) return kExitError;
  return outcome.lastResponse == veltrix::model::ResponseCode::FAIL ? kExitDeclined : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(veltrix::cli::usageText().c_str(), stdout);
    return 0;
  }
  const veltrix::cli::ParseResult parsed = veltrix::cli::parseCommandLine(args);
  if (!parsed.commandLine) {
    fmt::print(stderr, "veltrix-cli: {} (veltrix-cli --help lists the commands)\n", parsed.error);
    return kExitUsage;
  }
  const veltrix::cli::CommandLine& line = *parsed.commandLine;

  if (line.log) {
    veltrix::platform::setLogSink([](std::string_view text) {
      std::fwrite(text.data(), 1, text.size(), stderr);
      std::fputc('\n', stderr);
    });
  }
  veltrix::cli::Printer printer(line.json);
  if (line.command == "demo") return veltrix::cli::runDemo(line, printer);
  if (line.dataDir) veltrix::platform::setDocumentsDir(*line.dataDir);
  if (line.command == "discover") return veltrix::cli::runDiscover(line, printer);

  veltrix::cli::CliHost host(printer);
  return exitStatus(veltrix::cli::runRequestCommand(host, line));
}
