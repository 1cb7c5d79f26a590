// Terminals that name themselves with hostile text, for gallery pages that
// show outside text: a right-to-left override that would make one serial
// number read as another's, line feeds in a model, control characters,
// zero-width characters, and a 200-character serial number, beside the
// honest terminal the override imitates.
#pragma once

#include <string>
#include <vector>

namespace veltrix::gallery {

struct HostileTerminal {
  std::string sn;
  std::string model;
  std::string serviceName;
};

inline std::vector<HostileTerminal> hostileTerminals() {
  return {
      {"TAVIO-SIM-1234", "T420", "Card Payment"},
      {"TAVIO-SIM-\u202E4321", "T420", "Card Payment"},
      {"TAVIO-SIM-" + std::string(190, '7'), "TMIX Z3 " + std::string(60, 'W'),
       "Card Payment " + std::string(80, 'x')},
      {"TAVIO-SIM-2001", "T420\nTMIX Z3", "Card\nPayment"},
      {"TAVIO-\x01SIM\t2002\x7F", "T3\r10", "Card\x1B[31m Payment"},
      {"TAVIO-SIM-20\u200B03", "T420\u2066\u2069", "Wallet\u2028Payment"},
  };
}

}  // namespace veltrix::gallery
