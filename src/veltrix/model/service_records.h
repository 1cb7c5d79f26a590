// The two records the message codec needs besides requests and results:
// ServiceParams, the terminal service chosen for the current request (made
// by the facade for every request, read by the header builder), and
// TransactionHeader, the header of one incoming message (filled by the
// header parser, read by the decoders).
//
// Plain values: public fields, no validation, no thread affinity.
#pragma once

#include <optional>
#include <string>

namespace veltrix::model {

struct ServiceParams {
  std::optional<std::string> sn;         // terminal serial number
  std::optional<std::string> address;    // remote access address
  std::optional<std::string> parameter;  // "http" in it selects the local network
  std::optional<std::string> model;
  std::optional<std::string> serviceId;
  std::optional<std::string> packageName;
  std::optional<std::string> serviceName;
  std::optional<std::string> serviceType;  // the service name of the request
  std::optional<std::string> serviceTypeName;
  std::optional<std::string> serviceSn;  // recipient party; the same as sn
  std::optional<std::string> transDataTimeIn;
  std::optional<std::string> exchangeId;
  std::optional<std::string> netWorkTp;  // "LAN" or "BLE"
  std::optional<std::string> orgPackageName;
  std::optional<std::string> orgServiceId;
  std::optional<std::string> uuidString;

  bool operator==(const ServiceParams&) const = default;
};

struct TransactionHeader {
  std::optional<std::string> exchangeIdentification;
  std::optional<std::string> creationDateTime;
  std::optional<std::string> protocolVersion;
  bool endFlag = false;  // this message ends the exchange
  std::optional<std::string> initiatingPartyId;
  std::optional<std::string> initiatingPartyType;
  std::optional<std::string> serviceType;
  std::optional<std::string> recipientPartyId;
  std::optional<std::string> packageName;
  std::optional<std::string> serviceId;
  std::optional<std::string> contentType;

  bool operator==(const TransactionHeader&) const = default;

  // The one-line log form, "<TransactionHeader: exchangeId=..., creationDateTime=...,
  // serviceId=..., endFlag=1>"; an absent text prints as "(null)".
  std::string toString() const;
};

}  // namespace veltrix::model
