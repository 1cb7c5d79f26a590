#include "veltrix/registry/auth_manager.h"

#include <fmt/format.h>

#include <random>
#include <utility>

#include "veltrix/platform/log.h"
#include "veltrix/platform/uuid.h"
#include "veltrix/registry/discover_manager.h"
#include "veltrix/registry/discovery_json.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::registry {

using platform::Json;

namespace {

constexpr std::uint32_t kCodeRange = 100000000;
// The largest multiple of kCodeRange below 2^32: values from here on would
// favour the low codes.
constexpr std::uint32_t kUnbiasedLimit = (0xFFFFFFFFu / kCodeRange) * kCodeRange;

std::optional<std::uint32_t> secureRandom32() {
  const std::string bytes = platform::randomBytes(4);
  if (bytes.size() != 4) return std::nullopt;
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
  }
  return value;
}

class LoggingAuthDelegate final : public AuthManagerDelegate {
 public:
  void onAuthRequestRspn(const Json& info) override {
    platform::logf("onAuthRequestRspn info ={}", platform::dumpJson(info).value_or("(null)"));
  }
  void onAuthApproveRspn(const Json& info) override {
    platform::logf("onAuthApproveRspn info ={}", platform::dumpJson(info).value_or("(null)"));
  }
};

AuthBean parseReply(std::string_view text, std::initializer_list<const char*> members) {
  AuthBean bean;
  std::string error;
  const std::optional<Json> json = platform::parseJson(text, &error);
  if (!json) {
    platform::logf("Failed to parse JSON: {}", error);
    return bean;
  }
  for (const char* member : members) {
    std::optional<std::string> value = lenientText(*json, member);
    const std::string_view name(member);
    if (name == "code") bean.code = std::move(value);
    if (name == "message") bean.message = std::move(value);
    if (name == "msgType") bean.msgType = std::move(value);
    if (name == "sn") bean.sn = std::move(value);
    if (name == "model") bean.model = std::move(value);
    if (name == "authType") bean.authType = std::move(value);
    if (name == "random") bean.random = std::move(value);
    if (name == "eccPub") bean.eccPub = std::move(value);
    if (name == "sign") bean.sign = std::move(value);
    if (name == "dataKcv") bean.dataKcv = std::move(value);
  }
  return bean;
}

}  // namespace

// ---- AuthBean ---------------------------------------------------------------------------------

AuthBean AuthBean::initAuthRequestBean(std::optional<std::string> code) {
  AuthBean bean;
  bean.sn = getUUID();
  bean.authType = "DCA";
  bean.model = transport::KVISOUtils::platformName();
  bean.initiation = "auto";
  bean.random = std::move(code);
  bean.msgType = "request_auth";
  return bean;
}

AuthBean AuthBean::initAuthApproveBean(std::optional<std::string> eccPub,
                                       std::optional<std::string> random,
                                       std::optional<std::string> sign) {
  AuthBean bean;
  bean.sn = getUUID();
  bean.authType = "DCA";
  bean.model = transport::KVISOUtils::platformName();
  bean.eccPub = std::move(eccPub);
  bean.random = std::move(random);
  bean.sign = std::move(sign);
  bean.msgType = "approve_auth";
  return bean;
}

AuthBean AuthBean::initAuthResponseBean(std::string_view text) {
  return parseReply(
      text, {"code", "message", "msgType", "sn", "model", "authType", "random", "eccPub", "sign"});
}

AuthBean AuthBean::initAuthApproveResponseBean(std::string_view text) {
  return parseReply(text,
                    {"code", "message", "msgType", "authType", "dataKcv", "model", "sign", "sn"});
}

std::optional<std::string> AuthBean::requestToJSONString() const {
  std::optional<std::string> firstFour;
  // Only the first half of the code leaves the device.
  if (random) firstFour = random->substr(0, 4);
  Json json = Json::object();
  json["authType"] = platform::jsonTextOrNull(authType);
  json["initiation"] = platform::jsonTextOrNull(initiation);
  json["model"] = platform::jsonTextOrNull(model);
  json["msgType"] = platform::jsonTextOrNull(msgType);
  json["random"] = platform::jsonTextOrNull(firstFour);
  json["sn"] = platform::jsonTextOrNull(sn);
  return objectToJSONString(json);
}

std::optional<std::string> AuthBean::approveToJSONString() const {
  Json json = Json::object();
  json["authType"] = platform::jsonTextOrNull(authType);
  json["eccPub"] = platform::jsonTextOrNull(eccPub);
  json["model"] = platform::jsonTextOrNull(model);
  json["msgType"] = platform::jsonTextOrNull(msgType);
  json["random"] = platform::jsonTextOrNull(random);
  json["sign"] = platform::jsonTextOrNull(sign);
  json["sn"] = platform::jsonTextOrNull(sn);
  return objectToJSONString(json);
}

std::optional<std::string> AuthBean::objectToJSONString(const std::optional<Json>& object) {
  if (!object) return std::nullopt;
  std::string error;
  const std::optional<std::string> raw = platform::dumpJson(*object, &error);
  if (!raw) {
    platform::logf("Failed to convert to JSON: {}", error);
    return std::nullopt;
  }
  platform::logf("authBean JSON String: {}", *raw);
  std::optional<std::string> text = discoveryJsonText(*object);
  if (text) platform::logf("authBean newString：{}", *text);
  return text;
}

std::string AuthBean::getUUID() { return transport::KVISOUtils::getUUID().value_or(""); }

// ---- AuthManager ------------------------------------------------------------------------------

AuthManager& AuthManager::sharedInstance() {
  static auto* manager = new AuthManager(DiscoverManager::sharedInstance());
  return *manager;
}

AuthManager::AuthManager(DiscoverManager& discoverManager, RandomSource random)
    : discoverManager_(discoverManager),
      random_(random ? std::move(random) : RandomSource(&secureRandom32)),
      delegateLink_(std::make_shared<LoggingAuthDelegate>()) {
  discoverManager_.setAuthDelegate(delegateLink_);
}

std::string AuthManager::createRandom() {
  std::optional<std::uint32_t> code;
  // Rejection sampling keeps every code equally likely; a draw is rejected
  // with a chance of about 2 %, so a few attempts are plenty.
  for (int attempt = 0; attempt < 32 && !code; ++attempt) {
    const std::optional<std::uint32_t> value = random_();
    if (!value) break;
    if (*value < kUnbiasedLimit) code = *value % kCodeRange;
  }
  if (!code) {
    std::random_device device;
    code = std::uniform_int_distribution<std::uint32_t>(0, kCodeRange - 1)(device);
  }
  random1_ = fmt::format("{:08d}", *code);
  return *random1_;
}

bool AuthManager::auth(const Json& terminal) {
  if (!random1_ || random1_->empty()) return false;
  const AuthBean bean = AuthBean::initAuthRequestBean(random1_);
  const std::optional<std::string> address = lenientText(terminal, "address");
  if (!address || address->empty()) return false;
  const std::string ip = address->substr(0, address->find(':'));
  platform::logf("auth ip = {}", ip);
  const std::optional<std::string> text = bean.requestToJSONString();
  if (!text) return false;
  return discoverManager_.sendAuthWithActiveIpAndMsg(ip, text);
}

void AuthManager::onAuthRequestRspn(const Json& info) { delegateLink_->onAuthRequestRspn(info); }

void AuthManager::onAuthApproveRspn(const Json& info) { delegateLink_->onAuthApproveRspn(info); }

}  // namespace veltrix::registry
