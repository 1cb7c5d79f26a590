#include "veltrix/transport/gm_sm_utils.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "veltrix/platform/log.h"

namespace veltrix::transport {
namespace {

using platform::Bytes;
using platform::ByteView;

std::optional<ECKeyPair> generatePair(bool labelled, const char* failureFormat) {
  std::string error;
  std::shared_ptr<const platform::EcKey> privateKey = platform::generateP256Key(&error);
  std::shared_ptr<const platform::EcKey> publicKey =
      privateKey ? platform::p256PublicKeyOf(*privateKey, &error) : nullptr;
  if (!privateKey || !publicKey) {
    platform::logLine(fmt::format(fmt::runtime(failureFormat), error));
    return std::nullopt;
  }
  ECKeyPair pair;
  pair.privateKey.key = std::move(privateKey);
  pair.publicKey.key = std::move(publicKey);
  if (labelled) {
    pair.privateKey.label = kPrivateKeyLabel;
    pair.publicKey.label = kPublicKeyLabel;
  }
  return pair;
}

std::optional<Bytes> exportKey(const ECKey& key, std::string_view failure) {
  std::string error = "no key";
  std::optional<Bytes> out = key ? platform::exportEcKey(*key.key, &error) : std::nullopt;
  if (!out) platform::logf("{}: {}", failure, error);
  return out;
}

}  // namespace

Bytes GMSmUtils::hmacSHA256WithData(ByteView data, ByteView key) {
  const auto mac = platform::hmacSha256(key, data);
  if (!mac) return {};
  return Bytes(mac->begin(), mac->end());
}

std::string GMSmUtils::hmacSHA256WithString(std::string_view text, std::string_view key) {
  const Bytes mac = hmacSHA256WithData(platform::asBytes(text), platform::asBytes(key));
  std::string out;
  out.reserve(mac.size() * 2);
  for (const std::uint8_t b : mac) out += fmt::format("{:02x}", b);
  return out;
}

std::optional<ECKeyPair> GMSmUtils::generateECKeyPair() {
  return generatePair(true, "生成ECC密钥对失败: {}");
}

std::optional<ECKeyPair> GMSmUtils::generateECKeyPair2() {
  return generatePair(false, "生成密钥对失败: {}");
}

std::optional<Bytes> GMSmUtils::exportPublicKey(const ECKey& key) {
  return exportKey(key, "导出公钥失败");
}

std::optional<Bytes> GMSmUtils::exportPrivateKey(const ECKey& key) {
  return exportKey(key, "导出私钥失败");
}

std::optional<Bytes> GMSmUtils::computeSharedSecretWithPrivateKey(const ECKey& privateKey,
                                                                  const ECKey& publicKey) {
  std::string error = "no key";
  std::optional<Bytes> secret;
  if (privateKey && publicKey) {
    secret = platform::ecdhSharedSecret(*privateKey.key, *publicKey.key, &error);
    if (secret && secret->size() != 32) {
      error = "unexpected secret size";
      secret.reset();
    }
  }
  if (!secret) platform::logf("计算共享密钥失败: {}", error);
  return secret;
}

std::optional<Bytes> GMSmUtils::deriveKeyWithHKDF(ByteView inputKeyMaterial, ByteView salt,
                                                  ByteView info, std::uint64_t outputSize) {
  if (outputSize > kHkdfMaxOutputBytes) return std::nullopt;
  // Extract.
  const auto prk = platform::hmacSha256(salt, inputKeyMaterial);
  if (!prk) return std::nullopt;
  // Expand: T(i) = HMAC(PRK, T(i-1) | info | i).
  Bytes out;
  out.reserve(static_cast<std::size_t>(outputSize));
  Bytes block;
  Bytes message;
  for (std::uint8_t counter = 1; out.size() < outputSize; ++counter) {
    message.assign(block.begin(), block.end());
    message.insert(message.end(), info.begin(), info.end());
    message.push_back(counter);
    const auto t = platform::hmacSha256(*prk, message);
    if (!t) return std::nullopt;
    block.assign(t->begin(), t->end());
    const std::size_t take =
        std::min<std::size_t>(block.size(), static_cast<std::size_t>(outputSize) - out.size());
    out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(take));
  }
  return out;
}

std::string md5String(std::string_view text) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  const auto digest = platform::md5Digest(platform::asBytes(text));
  if (!digest) return "";
  std::string out;
  out.reserve(32);
  for (const std::uint8_t b : *digest) out += fmt::format("{:02X}", b);
  return out;
}

}  // namespace veltrix::transport
