// The in-memory records of discovery: TerminalInfo (a terminal that
// answered with an accepted handshake), ServiceInfo (one service type it
// offers: what the scan screen, the settings facade and the whitelist
// receive and compare), DiscoverDeviceInfo (the reduced terminal record the
// host is given) and ServicesBean (a service entry with its own JSON form).
//
// Plain values: public fields, every text optional, no thread affinity.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/json.h"

namespace veltrix::registry {

struct HandshakeBean;

// How a handshake arrived.
enum class HandshakeType : std::int64_t {
  Lan = 0,  // over TCP on the local network
  Ble = 1,  // over Bluetooth LE
};

struct ServicesBean {
  std::optional<std::string> serviceId;
  std::optional<std::string> packageName;
  std::optional<std::string> serviceName;
  std::optional<std::string> serviceType;
  std::optional<std::string> serviceTypeName;
  std::optional<std::string> sn;

  static ServicesBean initServicesBean(std::optional<std::string> serviceId,
                                       std::optional<std::string> packageName,
                                       std::optional<std::string> serviceName,
                                       std::optional<std::string> serviceType,
                                       std::optional<std::string> sn,
                                       std::optional<std::string> serviceTypeName);
  // The demonstration entry ("IOSDemo", "com.orvanetek.tavio", "Ios Demo",
  // "Display", "Display", the device identifier).
  static ServicesBean initServicesBean();

  // The six members (absent ones as null).
  platform::Json toJSON() const;
  // The six members sorted by name, compact, without line breaks or
  // spaces; nullopt (logged) when it cannot be written.
  std::optional<std::string> toJSONString() const;

  bool operator==(const ServicesBean&) const = default;
};

struct TerminalInfo {
  std::optional<std::string> sn;
  std::optional<std::string> address;  // "host:port" on the LAN
  std::optional<std::string> parameter;
  std::optional<std::string> time;
  std::optional<std::string> model;
  std::optional<std::string> protocolVersion;
  // The handshake's entries, as received down to kServicesDepth levels.
  std::optional<platform::Json> services;
  std::optional<std::string> uuidString;  // Bluetooth LE handshakes only
  bool requireResponse = false;
  bool isCommuincationDevice = false;
  bool isP2p = false;
  bool isPeripheral = false;

  // From an accepted handshake; `uuidString` is kept only for type Ble.
  static TerminalInfo initWithHandshakeBean(const HandshakeBean& bean,
                                            const std::optional<std::string>& uuidString,
                                            HandshakeType type);
  static TerminalInfo initWithData(std::optional<std::string> sn,
                                   std::optional<std::string> address,
                                   std::optional<std::string> parameter,
                                   std::optional<std::string> time,
                                   std::optional<std::string> model,
                                   std::optional<platform::Json> services);
  // Reads "sn", "services", "address", "model", "parameter", "time"; a text
  // that is not a JSON object gives an empty record.
  static TerminalInfo initWithJsonString(std::string_view text);

  // Members "sn", "time", "address", "parameter", "model", "services",
  // "isP2p", "requireResponse", "isPeripheral", "isCommuincationDevice"
  // (the record's own flags), "contentType", "protocolVersion"; without
  // line breaks or spaces.
  std::optional<std::string> toJSONString() const;
  // One ServicesBean per object entry of `services`.
  std::vector<ServicesBean> getServicesList() const;
};

struct ServiceInfo {
  std::optional<std::string> deviceSn;
  std::optional<std::string> address;
  std::optional<std::string> parameter;
  std::optional<std::string> model;
  std::optional<std::string> serviceId;
  std::optional<std::string> serviceName;
  std::optional<std::string> serviceType;
  std::optional<std::string> serviceTypeName;
  std::optional<std::string> serviceSn;
  std::optional<std::string> packageName;
  std::optional<std::string> uuidString;

  // Serial numbers, address, parameter, model and uuidString from the
  // terminal; "serviceId", "packageName", "serviceName", "serviceType" and
  // "serviceTypeName" from `service` (lenient texts).
  static ServiceInfo initWithServices(const TerminalInfo& terminal, const platform::Json& service);

  // Eleven lines "Device SN: …\n" … "uuidString: …\n", "N/A" for absent
  // fields.
  std::string toString() const;
  // The identity among discovered services: (serviceSn, serviceType,
  // serviceId).
  bool isSameService(const ServiceInfo& other) const;

  bool operator==(const ServiceInfo&) const = default;
};

struct DiscoverDeviceInfo {
  std::optional<std::string> sn;
  std::optional<std::string> address;
  std::optional<std::string> parameter;
  std::optional<std::string> time;
  std::optional<std::string> model;

  static DiscoverDeviceInfo initWithData(std::optional<std::string> sn,
                                         std::optional<std::string> address,
                                         std::optional<std::string> parameter,
                                         std::optional<std::string> time,
                                         std::optional<std::string> model);

  bool operator==(const DiscoverDeviceInfo&) const = default;
};

}  // namespace veltrix::registry
