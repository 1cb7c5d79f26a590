#include "veltrix/registry/handshake_bean.h"

#include <utility>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/communication_settings.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discovery_json.h"
#include "veltrix/transport/gm_sm_utils.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::registry {

using platform::Json;
using transport::KVISOUtils;
using transport::md5String;

OwnDeviceInfo OwnDeviceInfo::current(DatabaseManager& database, CommunicationSettings& settings,
                                     std::string wifiAddress, std::uint16_t httpServicePort) {
  OwnDeviceInfo info;
  info.sn = HandshakeBean::getUUID();
  info.wifiAddress = std::move(wifiAddress);
  info.httpServicePort = httpServicePort;
  info.lanEnabled = settings.getCommunicateTypeState(kCommunicateTypeLan);
  info.bleEnabled = settings.getCommunicateTypeState(kCommunicateTypeBluetooth);
  info.model = KVISOUtils::platform();
  const Row pairing = database.fetchDeviceAuthInfoWithSn(info.sn);
  info.pairingEnabled = pairing.contains("deviceId") && rowInt(pairing, "status") != 0;
  return info;
}

HandshakeBean HandshakeBean::initBeanWithSelfInfo(const OwnDeviceInfo& info) {
  HandshakeBean bean;
  bean.time = std::to_string(platform::nowMillis());
  bean.address = fmt::format("{}:{}", info.wifiAddress, info.httpServicePort);
  bean.sn = info.sn;
  if (info.lanEnabled && info.bleEnabled) {
    bean.parameter = "http,ble";
  } else if (info.bleEnabled) {
    bean.parameter = "ble";
  } else {
    bean.parameter = "http";
  }
  bean.model = info.model;
  bean.requireResponse = true;
  bean.isP2p = false;
  bean.isPeripheral = false;
  if (info.pairingEnabled) {
    bean.authTypes = std::vector<std::string>{"DCA"};
    bean.msgType = "exchange";
  } else {
    bean.authTypes = std::vector<std::string>{};
    bean.msgType = "";
  }
  bean.services = Json::array();
  bean.signature = bean.calcSignature();
  bean.contentType = std::string(Content_Type);
  bean.protocolVersion = std::string(Protocol_Version);
  return bean;
}

HandshakeBean HandshakeBean::initBeanWithSelfInfo() {
  return initBeanWithSelfInfo(OwnDeviceInfo::current(DatabaseManager::sharedManager(),
                                                     StoredCommunicationSettings::shared(),
                                                     KVISOUtils::getWiFiIPAddress()));
}

HandshakeBean HandshakeBean::initHandshakeBean(std::optional<std::string_view> text) {
  if (!text) return HandshakeBean{};
  std::string error;
  const std::optional<Json> parsed = platform::parseJson(*text, &error);
  if (!parsed) {
    platform::logf("Failed to parse JSON: {}", error);
    return HandshakeBean{};
  }
  return fromJson(*parsed);
}

HandshakeBean HandshakeBean::fromJson(const Json& json) {
  HandshakeBean bean;
  if (!json.is_object()) return bean;
  bean.sn = lenientText(json, "sn");
  if (const Json* services = platform::findArray(json, "services")) {
    bean.services = copyToDepth(*services, kServicesDepth);
  }
  bean.address = lenientText(json, "address");
  bean.model = lenientText(json, "model");
  bean.parameter = lenientText(json, "parameter");
  bean.signature = lenientText(json, "signature");
  bean.time = lenientText(json, "time");
  bean.requireResponse = jsonFlag(json, "requireResponse");
  bean.isCommuincationDevice = jsonFlag(json, "isCommuincationDevice");
  bean.isP2p = jsonFlag(json, "isP2p");
  bean.isPeripheral = jsonFlag(json, "isPeripheral");
  bean.code = lenientText(json, "code");
  bean.authType = lenientText(json, "authType");
  bean.message = lenientText(json, "message");
  bean.authStatus = lenientText(json, "authStatus");
  bean.msgType = lenientText(json, "msgType");
  bean.contentType = lenientText(json, "contentType");
  bean.protocolVersion = lenientText(json, "protocolVersion");
  return bean;
}

std::string HandshakeBean::toSignatureString() const {
  const auto text = [](const std::optional<std::string>& value) {
    return value ? std::string_view(*value) : std::string_view("(null)");
  };
  return fmt::format(
      "DiscoverHandshakeBean{{sn='{}', address='{}', parameter='{}', model='{}', time='{}'}}",
      text(sn), text(address), text(parameter), text(model), text(time));
}

std::string HandshakeBean::calcSignature() const {
  return md5String(md5String(toSignatureString()) + time.value_or(""));
}

std::optional<std::string> HandshakeBean::toJSONString() {
  signature = calcSignature();
  const auto text = [](const std::optional<std::string>& value) { return value.value_or(""); };
  Json types = Json::array();
  for (const std::string& type : authTypes.value_or(std::vector<std::string>{})) {
    types.push_back(type);
  }
  // Ascending member names: peers compare the text, so the order matters.
  Json object = Json::object();
  object["address"] = text(address);
  object["authTypes"] = std::move(types);
  object["contentType"] = text(contentType);
  object["isP2p"] = isP2p;
  object["isPeripheral"] = isPeripheral;
  object["model"] = text(model);
  object["msgType"] = text(msgType);
  object["parameter"] = text(parameter);
  object["protocolVersion"] = text(protocolVersion);
  object["requireResponse"] = requireResponse;
  object["signature"] = text(signature);
  object["sn"] = text(sn);
  object["time"] = text(time);
  return objectToJSONString(object);
}

std::optional<std::string> HandshakeBean::objectToJSONString(const std::optional<Json>& object) {
  if (!object) return std::nullopt;
  std::string error;
  std::optional<std::string> text = discoveryJsonText(*object, &error);
  if (!text) platform::logf("Failed to convert to JSON: {}", error);
  return text;
}

bool HandshakeBean::checkBean() const {
  if (!time || time->empty() || !signature || signature->empty()) return false;
  return *signature == calcSignature();
}

std::string HandshakeBean::getUUID() {
  // The identifier is stored once made; it is absent only when no UUID can
  // be generated at all.
  return KVISOUtils::getUUID().value_or("");
}

}  // namespace veltrix::registry
