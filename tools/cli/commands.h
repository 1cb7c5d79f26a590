// The commands of veltrix-cli: each request command fills exactly the
// fields its options give and runs the request through the host; demo and
// discover have their own files.
#pragma once

#include "cli/cli_host.h"
#include "cli/options.h"

namespace veltrix::cli {

// Runs the request command of `line` (not demo or discover).
Outcome runRequestCommand(CliHost& host, const CommandLine& line);

// The payment, refund of it and reconciliation against the simulated
// terminal started in this process. Returns the exit status.
int runDemo(const CommandLine& line, Printer& printer);

// Runs discovery for --seconds (10 by default) and lists what it found.
// Returns the exit status.
int runDiscover(const CommandLine& line, Printer& printer);

}  // namespace veltrix::cli
