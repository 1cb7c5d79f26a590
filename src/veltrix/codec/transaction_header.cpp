#include "veltrix/codec/transaction_header.h"

#include <mutex>
#include <utility>

#include "veltrix/platform/bool_value.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/time_format.h"

namespace veltrix::codec {
namespace {

using platform::Json;

struct ProviderSlot {
  std::mutex mutex;
  TransactionHeaderBuilder::DeviceIdentifierProvider provider;
};

ProviderSlot& providerSlot() {
  static auto* slot = new ProviderSlot;
  return *slot;
}

bool hasText(const std::optional<std::string>& value) { return value && !value->empty(); }

}  // namespace

void TransactionHeaderBuilder::setDeviceIdentifierProvider(DeviceIdentifierProvider provider) {
  ProviderSlot& slot = providerSlot();
  std::lock_guard<std::mutex> lock(slot.mutex);
  slot.provider = std::move(provider);
}

std::optional<std::string> TransactionHeaderBuilder::deviceIdentifier() {
  DeviceIdentifierProvider provider;
  {
    ProviderSlot& slot = providerSlot();
    std::lock_guard<std::mutex> lock(slot.mutex);
    provider = slot.provider;
  }
  // Called outside the lock: a provider may itself take locks or touch files.
  if (!provider) return std::nullopt;
  try {
    return provider();
  } catch (...) {
    return std::nullopt;
  }
}

Json TransactionHeaderBuilder::buildHeaderWithServiceParams(const model::ServiceParams& service,
                                                            bool runInBackground) {
  Json header = Json::object();
  // Room for the header keys and the body that the encoders put beside them.
  header.get_ref<Json::object_t&>().reserve(16);
  header["creationDateTime"] = platform::formatIso8601(platform::nowMillis());
  header["exchangeIdentification"] = service.exchangeId.value_or(std::string());
  if (std::optional<std::string> deviceId = deviceIdentifier()) {
    header["initiatingPartyId"] = std::move(*deviceId);
  }
  header["initiatingPartyType"] = HeaderInitgPtyTp;
  header["protocolVersion"] = Protocol_Version;
  if (hasText(service.serviceSn)) header["recipientPartyId"] = *service.serviceSn;
  if (service.packageName) header["packageName"] = *service.packageName;
  if (hasText(service.serviceId)) header["serviceId"] = *service.serviceId;
  header["runInBackground"] = runInBackground;
  if (service.orgServiceId) header["orgServiceId"] = *service.orgServiceId;
  if (service.orgPackageName) header["orgPackageName"] = *service.orgPackageName;
  header["contentType"] = contentTypeReq;
  const bool lan = service.netWorkTp == "LAN";
  if (lan || service.netWorkTp == "BLE") {
    header["remoteAccessAddress"] = service.address.value_or(std::string());
    header["remoteAccessType"] = lan ? "INTERNET_ADDRESS" : "BLUETOOTH_MAC";
  }
  if (hasText(service.serviceType)) header["serviceType"] = *service.serviceType;
  return header;
}

std::optional<model::TransactionHeader> TransactionHeaderParser::parseHeaderFromDictionary(
    const Json& value) {
  if (!value.is_object()) {
    platform::logLine("TransactionHeaderParser: 无效的字典数据");
    return std::nullopt;
  }
  auto text = [&value](std::string_view key) -> std::optional<std::string> {
    auto it = value.find(key);
    return it == value.end() ? std::nullopt : safeString(*it);
  };
  model::TransactionHeader header;
  header.exchangeIdentification = text("exchangeIdentification");
  header.creationDateTime = text("creationDateTime");
  header.protocolVersion = text("protocolVersion");
  if (auto it = value.find("endFlag"); it != value.end()) {
    header.endFlag = platform::jsonBoolValue(*it);
  }
  header.initiatingPartyId = text("initiatingPartyId");
  header.initiatingPartyType = text("initiatingPartyType");
  header.serviceType = text("serviceType");
  header.recipientPartyId = text("recipientPartyId");
  header.packageName = text("packageName");
  header.serviceId = text("serviceId");
  header.contentType = text("contentType");
  return header;
}

std::optional<model::TransactionHeader> TransactionHeaderParser::parseHeaderFromJSONString(
    std::optional<std::string_view> text) {
  if (!text || text->empty()) {
    platform::logLine("TransactionHeaderParser: JSON字符串为空");
    return std::nullopt;
  }
  std::string error;
  std::optional<Json> parsed = platform::parseJson(*text, &error);
  if (!parsed) {
    platform::logf("TransactionHeaderParser: JSON解析失败 - {}", error);
    return std::nullopt;
  }
  return parseHeaderFromDictionary(*parsed);
}

std::optional<std::string> TransactionHeaderParser::safeString(const Json& value) {
  return platform::jsonText(value);
}

}  // namespace veltrix::codec
