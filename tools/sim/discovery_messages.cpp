#include "sim/discovery_messages.h"

#include <fmt/format.h>

#include <chrono>
#include <nlohmann/json.hpp>

#include "sim/md5.h"
#include "sim/reply.h"

namespace veltrix::sim {
namespace {

constexpr const char* kPacketSalt = "418263";

std::optional<std::string> textMember(const nlohmann::json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

std::optional<nlohmann::json> parseObject(std::string_view text) {
  nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  return json;
}

}  // namespace

std::string packetSignature(const std::string& time) {
  return md5Hex(md5Hex(time) + md5Hex(time + kPacketSalt) + kPacketSalt);
}

std::string handshakeSignature(const std::string& sn, const std::string& address,
                               const std::string& parameter, const std::string& model,
                               const std::string& time) {
  const std::string signedText = fmt::format(
      "DiscoverHandshakeBean{{sn='{}', address='{}', parameter='{}', model='{}', time='{}'}}", sn,
      address, parameter, model, time);
  return md5Hex(md5Hex(signedText) + time);
}

std::string wireTimeNow() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::string discoverPacket(const std::string& time) {
  return fmt::format(R"({{"isP2p":false,"time":"{}","signature":"{}","protocolVersion":"1.0.01"}})",
                     jsonEscape(time), packetSignature(time));
}

bool isValidDiscoverPacket(std::string_view text) {
  const auto json = parseObject(text);
  if (!json) return false;
  const auto time = textMember(*json, "time");
  const auto signature = textMember(*json, "signature");
  return time && signature && *signature == packetSignature(*time);
}

std::vector<ServiceEntry> defaultServices(int paymentEntries) {
  std::vector<ServiceEntry> services;
  for (int i = 1; i <= paymentEntries; ++i) {
    ServiceEntry entry;
    entry.serviceId = i == 1 ? "pay" : fmt::format("pay-{}", i);
    entry.serviceName = i == 1 ? "收银台" : fmt::format("收银台 {}", i);
    entry.packageName = "com.tavio.cashier";
    entry.types = {{"Purchase", "消费"},
                   {"Refund", "退款"},
                   {"Reversal", "撤销"},
                   {"PreAuth", "预授权"},
                   {"PreAuth Completion", "预授权完成"},
                   {"Auth Adjustment", "授权调整"},
                   {"Card Auth", "卡验证"},
                   {"BalanceInquiry", "余额查询"},
                   {"Reconciliation", "结算"},
                   {"Abort", "取消交易"},
                   {"Message Status", "交易状态"}};
    services.push_back(std::move(entry));
  }
  ServiceEntry device;
  device.serviceId = "device";
  device.serviceName = "终端服务";
  device.packageName = "com.tavio.device";
  device.types = {{"Display", "显示"},
                  {"Printer", "打印"},
                  {"Reprint", "重打印"},
                  {"NFCTag", "NFC 标签"},
                  {"Transmit Message", "消息传输"}};
  services.push_back(std::move(device));
  return services;
}

std::string servicesJson(const std::vector<ServiceEntry>& services) {
  std::string out = "[";
  for (const ServiceEntry& entry : services) {
    if (out.size() > 1) out += ',';
    std::string types;
    for (const auto& [code, name] : entry.types) {
      if (!types.empty()) types += ',';
      types += fmt::format(R"("{}":"{}")", jsonEscape(code), jsonEscape(name));
    }
    out += fmt::format(
        R"({{"serviceId":"{}","serviceName":"{}","packageName":"{}","serviceType":{{{}}}}})",
        jsonEscape(entry.serviceId), jsonEscape(entry.serviceName), jsonEscape(entry.packageName),
        types);
  }
  return out + "]";
}

std::string handshakeText(const TerminalIdentity& t, const std::string& time) {
  return fmt::format(
      R"({{"sn":"{}","address":"{}","parameter":"{}","model":"{}","time":"{}","signature":"{}",)"
      R"("services":{},"requireResponse":false,"isCommuincationDevice":true,"isP2p":false,)"
      R"("isPeripheral":{},"authTypes":[],"msgType":"","contentType":"discover",)"
      R"("protocolVersion":"1.0.01"}})",
      jsonEscape(t.sn), jsonEscape(t.address), jsonEscape(t.parameter), jsonEscape(t.model),
      jsonEscape(time), handshakeSignature(t.sn, t.address, t.parameter, t.model, time),
      servicesJson(t.services), t.isPeripheral ? "true" : "false");
}

std::optional<PairingRequest> readPairingRequest(std::string_view text) {
  const auto json = parseObject(text);
  if (!json || textMember(*json, "msgType") != "request_auth") return std::nullopt;
  PairingRequest request;
  request.text = std::string(text);
  request.random = textMember(*json, "random");
  request.sn = textMember(*json, "sn");
  request.model = textMember(*json, "model");
  request.authType = textMember(*json, "authType");
  request.initiation = textMember(*json, "initiation");
  return request;
}

}  // namespace veltrix::sim
