// GMSmUtils: message authentication and key agreement for the library's
// users (HMAC-SHA256, NIST P-256 key pairs and their export, ECDH, HKDF-SHA256),
// and md5String, the digest with which the registry signs its discovery
// messages. Stateless; every function may run on any thread. Keys live only
// in memory: nothing is stored. Failures of the key operations return
// nullopt and write one platform log line; nothing throws.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "veltrix/platform/bytes.h"
#include "veltrix/platform/crypto.h"

namespace veltrix::transport {

// A reference to a key as the key-pair generators hand it out. Copies share
// the key (which never changes). `label` is the application label given at
// generation, empty when none; it has no other effect.
struct ECKey {
  std::shared_ptr<const platform::EcKey> key;
  std::string label;

  explicit operator bool() const { return key != nullptr; }
  bool hasPrivateKey() const { return key && key->hasPrivateKey(); }
};

// The key pair: the private key (with its public half) and the public key
// alone.
struct ECKeyPair {
  ECKey privateKey;
  ECKey publicKey;
};

inline constexpr std::string_view kPrivateKeyLabel = "com.veltrix.connect.ecc.privatekey";
inline constexpr std::string_view kPublicKeyLabel = "com.veltrix.connect.ecc.publickey";

// Largest HKDF-SHA256 output: 255 blocks of 32 bytes.
inline constexpr std::uint64_t kHkdfMaxOutputBytes = 255 * 32;

struct GMSmUtils {
  // HMAC-SHA256 of `data` under `key`: 32 bytes.
  static platform::Bytes hmacSHA256WithData(platform::ByteView data, platform::ByteView key);
  // The same over UTF-8 texts, as 64 lower-case hexadecimal characters.
  static std::string hmacSHA256WithString(std::string_view text, std::string_view key);

  // A fresh P-256 key pair whose halves carry the library's labels.
  static std::optional<ECKeyPair> generateECKeyPair();
  // The same without labels.
  static std::optional<ECKeyPair> generateECKeyPair2();

  // The key's external representation: 0x04 X Y (65 bytes) for a public
  // key, 0x04 X Y K (97 bytes) for a private key. The two differ only in
  // the failure they log.
  static std::optional<platform::Bytes> exportPublicKey(const ECKey& key);
  static std::optional<platform::Bytes> exportPrivateKey(const ECKey& key);

  // ECDH: the 32-byte x-coordinate of the shared point.
  static std::optional<platform::Bytes> computeSharedSecretWithPrivateKey(const ECKey& privateKey,
                                                                          const ECKey& publicKey);

  // HKDF-SHA256 (RFC 5869): exactly `outputSize` bytes; an empty salt is an
  // empty HMAC key. nullopt above kHkdfMaxOutputBytes, which the one-byte
  // block counter cannot reach.
  static std::optional<platform::Bytes> deriveKeyWithHKDF(platform::ByteView inputKeyMaterial,
                                                          platform::ByteView salt,
                                                          platform::ByteView info,
                                                          std::uint64_t outputSize);
};

// MD5 of the text's bytes up to its first NUL character, as 32 upper-case
// hexadecimal characters ("" only if the platform offers no MD5).
std::string md5String(std::string_view text);

}  // namespace veltrix::transport
