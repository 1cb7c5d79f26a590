// The demo's last act: a payment on a till that knows no terminal yet. The
// library opens its scan screen, discovery finds a simulated terminal over
// loopback, a scripted user drags its bubble onto the centre, and the
// payment goes to it. What the user saw is written as pictures.
//
// Thread: the main loop (the program's thread). It installs a manual clock
// for the screen's animations and leaves it installed.
#pragma once

#include <filesystem>

#include "cli/printer.h"
#include "veltrix/model/currency.h"

namespace veltrix::cli {

// Writes its pictures into `outDir` and prints their paths; true when the
// payment was approved.
bool payOnScanScreen(Printer& printer, const std::filesystem::path& outDir,
                     const model::ISO4217ActiveCurrency& currency);

}  // namespace veltrix::cli
