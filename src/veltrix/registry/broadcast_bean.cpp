#include "veltrix/registry/broadcast_bean.h"

#include <utility>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/discovery_json.h"
#include "veltrix/registry/handshake_bean.h"
#include "veltrix/transport/gm_sm_utils.h"

namespace veltrix::registry {

using transport::md5String;

BroadcastBean BroadcastBean::initBroadcastBean() {
  BroadcastBean bean;
  bean.time = std::to_string(platform::nowMillis());
  bean.signature = bean.calcSignature();
  return bean;
}

BroadcastBean BroadcastBean::initBroadcastBean(std::optional<std::string> time,
                                               std::optional<std::string> signature) {
  BroadcastBean bean;
  bean.time = std::move(time);
  bean.signature = std::move(signature);
  return bean;
}

std::optional<BroadcastBean> BroadcastBean::fromPacket(const platform::Json& packet) {
  if (!packet.is_object()) return std::nullopt;
  const auto time = packet.find("time");
  if (time == packet.end() || !time->is_string()) return std::nullopt;
  std::optional<std::string> signature;
  if (const auto it = packet.find("signature"); it != packet.end() && it->is_string()) {
    signature = it->get<std::string>();
  }
  return initBroadcastBean(time->get<std::string>(), std::move(signature));
}

std::string BroadcastBean::calcSignature() const {
  const std::string t = time.value_or("");
  const std::string a = md5String(t);
  const std::string b = md5String(t + std::string(kDiscoverSignatureSalt));
  return md5String(a + b + std::string(kDiscoverSignatureSalt));
}

bool BroadcastBean::checkBean() const { return time && signature && *signature == calcSignature(); }

std::optional<std::string> BroadcastBean::toJSONString() const {
  platform::Json packet = platform::Json::object();
  packet["isP2p"] = false;
  packet["time"] = time ? platform::Json(*time) : platform::Json(nullptr);
  packet["signature"] = signature ? platform::Json(*signature) : platform::Json(nullptr);
  packet["protocolVersion"] = std::string(Protocol_Version);
  std::string error;
  std::optional<std::string> text = discoveryJsonText(std::move(packet), &error);
  if (!text) platform::logf("Failed to convert to JSON: {}", error);
  return text;
}

}  // namespace veltrix::registry
