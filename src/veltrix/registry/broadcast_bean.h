// The discover packet: the small signed JSON record that announces this
// device on UDP, and the check of a packet received from a terminal.
//
// Wire form: {"isP2p":false,"time":"<ms>","signature":"<32 hex>",
// "protocolVersion":"1.0.01"}, one datagram of UTF-8 without framing. The
// signature is MD5(MD5(t) + MD5(t + salt) + salt) in upper-case hex, with
// the fixed salt "418263"; there is no time window.
//
// A plain value made and dropped within one call on the main loop.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "veltrix/platform/json.h"

namespace veltrix::registry {

inline constexpr std::string_view kDiscoverSignatureSalt = "418263";

struct BroadcastBean {
  std::optional<std::string> time;       // ms since 1970, decimal
  std::optional<std::string> signature;  // 32 upper-case hex digits

  // This device's packet: the current time and its signature.
  static BroadcastBean initBroadcastBean();
  // A packet carrying received values as they are.
  static BroadcastBean initBroadcastBean(std::optional<std::string> time,
                                         std::optional<std::string> signature);
  // The packet in a received JSON object (members in any order, others
  // ignored). nullopt when "time" is missing or not a JSON string: the
  // signature rule needs a text. A signature that is not a string is
  // absent and fails the check.
  static std::optional<BroadcastBean> fromPacket(const platform::Json& packet);

  // The signature of `time` (absent time: of the empty text).
  std::string calcSignature() const;
  // True when time and signature are present and the signature equals
  // calcSignature(), letter case included.
  bool checkBean() const;
  // The compact wire text; nullopt (logged) when it cannot be written.
  std::optional<std::string> toJSONString() const;
};

}  // namespace veltrix::registry
