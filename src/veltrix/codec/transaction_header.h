// The casp message envelope: the flat header keys that stand beside the one
// "request" or "response" object of every message, written for outgoing
// requests by TransactionHeaderBuilder and read from incoming messages by
// TransactionHeaderParser, and the exported constants of header values.
//
// Both helpers are structs of static functions without state of their own
// and may be called from any thread. The one process-wide setting is the
// device identifier provider of the builder, guarded by a lock.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "veltrix/model/service_records.h"
#include "veltrix/platform/json.h"

namespace veltrix::codec {

// Header values exported for the host application. The library itself reads
// only Content_Type and Protocol_Version (discovery) and contentTypeReq
// (the "contentType" of every request).
inline constexpr std::string_view XMLVersion = "1.0";
inline constexpr std::string_view XMLEncoding = "UTF-8";
inline constexpr std::string_view HeaderInitgPtyTp = "MERC";
inline constexpr std::string_view HeaderMsgFctn = "SFSQ";
inline constexpr std::string_view HeaderPrtcolVrsn = "5.0";
inline constexpr std::string_view HeaderTracbltPrtcolVrsn = "5.0";
inline constexpr std::string_view Content_Type = "discover";
inline constexpr std::string_view Protocol_Version = "1.0.01";
inline constexpr std::string_view contentTypeReq = "caspReq";
inline constexpr std::string_view contentTypeRspn = "caspResp";

struct TransactionHeaderBuilder {
  // Gives the identifier of this installation ("initiatingPartyId"), or
  // nullopt when the platform has none.
  using DeviceIdentifierProvider = std::function<std::optional<std::string>()>;

  // The header keys of one request for the chosen terminal service, in
  // their fixed order: "creationDateTime" (the process clock's wall time in
  // local time), "exchangeIdentification", "initiatingPartyId",
  // "initiatingPartyType", "protocolVersion", "recipientPartyId",
  // "packageName", "serviceId", "runInBackground", "orgServiceId",
  // "orgPackageName", "contentType", "remoteAccessAddress",
  // "remoteAccessType", "serviceType". Keys whose condition fails are left
  // out; nothing is written as null. The encoders pass runInBackground
  // false whatever the host asked for.
  static platform::Json buildHeaderWithServiceParams(const model::ServiceParams& service,
                                                     bool runInBackground = false);

  // Installs where "initiatingPartyId" comes from, for every later header of
  // the process. The facade wires the device utilities' identifier here at
  // start; tests install a fixed one. Until one is installed (or after an
  // empty function) headers carry no "initiatingPartyId".
  static void setDeviceIdentifierProvider(DeviceIdentifierProvider provider);
  // The identifier the installed provider gives now (nullopt without one).
  static std::optional<std::string> deviceIdentifier();
};

struct TransactionHeaderParser {
  // A new header from the top-level object of an incoming message; nullopt
  // (and a log line) when `value` is not an object. Missing or mistyped
  // keys leave their fields absent; "endFlag" is read with
  // platform::jsonBoolValue().
  static std::optional<model::TransactionHeader> parseHeaderFromDictionary(
      const platform::Json& value);
  // parseHeaderFromDictionary of the parsed text; an absent, empty or
  // malformed text gives nullopt and one log line.
  static std::optional<model::TransactionHeader> parseHeaderFromJSONString(
      std::optional<std::string_view> text);
  // A text as it is, a number as its shortest decimal text (10.50 gives
  // "10.5", 100.0 gives "100"), a boolean as "1" or "0"; anything else
  // (null, array, object) absent.
  static std::optional<std::string> safeString(const platform::Json& value);
};

}  // namespace veltrix::codec
