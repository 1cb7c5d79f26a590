#include "veltrix/registry/terminal_service_helper.h"

#include <array>
#include <string_view>

namespace veltrix::registry {
namespace {

constexpr std::array<std::string_view, kServiceCount> kServiceNames = {
    "Display",                   // 0
    "Printer",                   // 1
    "ESCPrinter",                // 2
    "Purchase",                  // 3
    "Scan Code Purchase",        // 4
    "Cash Purchase",             // 5
    "QR Code Purchase",          // 6
    "Refund",                    // 7
    "PreAuth",                   // 8
    "PreAuth Completion",        // 9
    "Auth Adjustment",           // 10
    "Card Auth",                 // 11
    "Message Status",            // 12
    "Transmit Message",          // 13
    "Abort",                     // 14
    "Reversal",                  // 15
    "Reconciliation",            // 16
    "Clear Reversal Flag",       // 17
    "BalanceInquiry",            // 18
    "Voice",                     // 19
    "Scan",                      // 20
    "BalanceInquiry",            // 21
    "NFCTag",                    // 22
    "Reprint",                   // 23
    "Activate Card Brand",       // 24
    "Tip Adjustment",            // 25
    "CardReaderAPDU",            // 26
    "Diagnosis",                 // 27
    "InitialisationCardReader",  // 28
    "Input",                     // 29
    "PlaySound",                 // 30
    "Transmission",              // 31
};

}  // namespace

std::string TerminalServiceHelper::stringForService(std::int64_t number) {
  if (number < 0 || number >= kServiceCount) return "Unknown";
  return std::string(kServiceNames[static_cast<std::size_t>(number)]);
}

}  // namespace veltrix::registry
