#include "veltrix/registry/terminal_info.h"

#include <fmt/format.h>

#include <utility>

#include "veltrix/platform/log.h"
#include "veltrix/registry/discovery_json.h"
#include "veltrix/registry/handshake_bean.h"

namespace veltrix::registry {

using platform::Json;

namespace {

// Line breaks and spaces removed from the whole text (backslashes stay).
std::string withoutBlanks(std::string text) {
  std::erase_if(text, [](char c) { return c == '\n' || c == '\r' || c == ' '; });
  return text;
}

}  // namespace

// ---- ServicesBean -----------------------------------------------------------------------------

ServicesBean ServicesBean::initServicesBean(std::optional<std::string> serviceId,
                                            std::optional<std::string> packageName,
                                            std::optional<std::string> serviceName,
                                            std::optional<std::string> serviceType,
                                            std::optional<std::string> sn,
                                            std::optional<std::string> serviceTypeName) {
  ServicesBean bean;
  bean.serviceId = std::move(serviceId);
  bean.packageName = std::move(packageName);
  bean.serviceName = std::move(serviceName);
  bean.serviceType = std::move(serviceType);
  bean.sn = std::move(sn);
  bean.serviceTypeName = std::move(serviceTypeName);
  return bean;
}

ServicesBean ServicesBean::initServicesBean() {
  return initServicesBean("IOSDemo", "com.orvanetek.tavio", "Ios Demo", "Display",
                          HandshakeBean::getUUID(), "Display");
}

Json ServicesBean::toJSON() const {
  Json json = Json::object();
  json["serviceId"] = platform::jsonTextOrNull(serviceId);
  json["packageName"] = platform::jsonTextOrNull(packageName);
  json["serviceName"] = platform::jsonTextOrNull(serviceName);
  json["serviceType"] = platform::jsonTextOrNull(serviceType);
  json["serviceTypeName"] = platform::jsonTextOrNull(serviceTypeName);
  json["sn"] = platform::jsonTextOrNull(sn);
  return json;
}

std::optional<std::string> ServicesBean::toJSONString() const {
  Json sorted = Json::object();
  sorted["packageName"] = platform::jsonTextOrNull(packageName);
  sorted["serviceId"] = platform::jsonTextOrNull(serviceId);
  sorted["serviceName"] = platform::jsonTextOrNull(serviceName);
  sorted["serviceType"] = platform::jsonTextOrNull(serviceType);
  sorted["serviceTypeName"] = platform::jsonTextOrNull(serviceTypeName);
  sorted["sn"] = platform::jsonTextOrNull(sn);
  std::string error;
  std::optional<std::string> text = platform::dumpJson(sorted, &error);
  if (!text) {
    platform::logf("Failed to convert to JSON: {}", error);
    return std::nullopt;
  }
  return withoutBlanks(std::move(*text));
}

// ---- TerminalInfo -----------------------------------------------------------------------------

TerminalInfo TerminalInfo::initWithHandshakeBean(const HandshakeBean& bean,
                                                 const std::optional<std::string>& uuidString,
                                                 HandshakeType type) {
  TerminalInfo info;
  info.sn = bean.sn;
  info.address = bean.address;
  if (type == HandshakeType::Ble) info.uuidString = uuidString;
  info.parameter = bean.parameter;
  info.time = bean.time;
  info.model = bean.model;
  info.services = bean.services;
  info.isP2p = bean.isP2p;
  info.requireResponse = bean.requireResponse;
  info.isPeripheral = bean.isPeripheral;
  info.isCommuincationDevice = bean.isCommuincationDevice;
  info.protocolVersion = bean.protocolVersion;
  return info;
}

TerminalInfo TerminalInfo::initWithData(std::optional<std::string> sn,
                                        std::optional<std::string> address,
                                        std::optional<std::string> parameter,
                                        std::optional<std::string> time,
                                        std::optional<std::string> model,
                                        std::optional<Json> services) {
  TerminalInfo info;
  info.sn = std::move(sn);
  info.address = std::move(address);
  info.parameter = std::move(parameter);
  info.time = std::move(time);
  info.model = std::move(model);
  info.services = std::move(services);
  return info;
}

TerminalInfo TerminalInfo::initWithJsonString(std::string_view text) {
  TerminalInfo info;
  std::string error;
  const std::optional<Json> json = platform::parseJson(text, &error);
  if (!json) {
    platform::logf("Failed to parse JSON: {}", error);
    return info;
  }
  if (!json->is_object()) return info;
  info.sn = lenientText(*json, "sn");
  if (const Json* services = platform::findArray(*json, "services")) {
    info.services = copyToDepth(*services, kServicesDepth);
  }
  info.address = lenientText(*json, "address");
  info.model = lenientText(*json, "model");
  info.parameter = lenientText(*json, "parameter");
  info.time = lenientText(*json, "time");
  return info;
}

std::optional<std::string> TerminalInfo::toJSONString() const {
  Json json = Json::object();
  json["sn"] = platform::jsonTextOrNull(sn);
  json["time"] = platform::jsonTextOrNull(time);
  json["address"] = platform::jsonTextOrNull(address);
  json["parameter"] = platform::jsonTextOrNull(parameter);
  json["model"] = platform::jsonTextOrNull(model);
  json["services"] = services ? *services : Json(nullptr);
  json["isP2p"] = isP2p;
  json["requireResponse"] = requireResponse;
  json["isPeripheral"] = isPeripheral;
  json["isCommuincationDevice"] = isCommuincationDevice;
  json["contentType"] = std::string(Content_Type);
  json["protocolVersion"] = std::string(Protocol_Version);
  std::string error;
  std::optional<std::string> text = platform::dumpJsonPretty(json, &error);
  if (!text) {
    platform::logf("Failed to convert to JSON: {}", error);
    return std::nullopt;
  }
  platform::logf("JSON String: {}", *text);
  return withoutBlanks(std::move(*text));
}

std::vector<ServicesBean> TerminalInfo::getServicesList() const {
  std::vector<ServicesBean> list;
  if (!services || !services->is_array()) return list;
  for (const Json& entry : *services) {
    if (!entry.is_object()) continue;
    list.push_back(ServicesBean::initServicesBean(
        lenientText(entry, "serviceId"), lenientText(entry, "packageName"),
        lenientText(entry, "serviceName"), lenientText(entry, "serviceType"),
        lenientText(entry, "sn"), lenientText(entry, "serviceTypeName")));
  }
  return list;
}

// ---- ServiceInfo ------------------------------------------------------------------------------

ServiceInfo ServiceInfo::initWithServices(const TerminalInfo& terminal, const Json& service) {
  ServiceInfo info;
  info.deviceSn = terminal.sn;
  info.address = terminal.address;
  info.parameter = terminal.parameter;
  info.model = terminal.model;
  info.serviceSn = terminal.sn;
  info.uuidString = terminal.uuidString;
  info.serviceId = lenientText(service, "serviceId");
  info.packageName = lenientText(service, "packageName");
  info.serviceName = lenientText(service, "serviceName");
  info.serviceType = lenientText(service, "serviceType");
  info.serviceTypeName = lenientText(service, "serviceTypeName");
  return info;
}

std::string ServiceInfo::toString() const {
  const auto v = [](const std::optional<std::string>& value) {
    return value ? std::string_view(*value) : std::string_view("N/A");
  };
  std::string out;
  out += fmt::format("Device SN: {}\n", v(deviceSn));
  out += fmt::format("Address: {}\n", v(address));
  out += fmt::format("Parameter: {}\n", v(parameter));
  out += fmt::format("Model: {}\n", v(model));
  out += fmt::format("Service ID: {}\n", v(serviceId));
  out += fmt::format("Package Name: {}\n", v(packageName));
  out += fmt::format("Service Name: {}\n", v(serviceName));
  out += fmt::format("Service Type: {}\n", v(serviceType));
  out += fmt::format("Service Type Name: {}\n", v(serviceTypeName));
  out += fmt::format("Service SN: {}\n", v(serviceSn));
  out += fmt::format("uuidString: {}\n", v(uuidString));
  return out;
}

bool ServiceInfo::isSameService(const ServiceInfo& other) const {
  return serviceSn == other.serviceSn && serviceType == other.serviceType &&
         serviceId == other.serviceId;
}

// ---- DiscoverDeviceInfo -----------------------------------------------------------------------

DiscoverDeviceInfo DiscoverDeviceInfo::initWithData(std::optional<std::string> sn,
                                                    std::optional<std::string> address,
                                                    std::optional<std::string> parameter,
                                                    std::optional<std::string> time,
                                                    std::optional<std::string> model) {
  DiscoverDeviceInfo info;
  info.sn = std::move(sn);
  info.address = std::move(address);
  info.parameter = std::move(parameter);
  info.time = std::move(time);
  info.model = std::move(model);
  return info;
}

}  // namespace veltrix::registry
