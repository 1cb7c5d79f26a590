// Digests, MACs and P-256 keys over OpenSSL 3 (EVP interfaces only).
//
// Every function is stateless and thread-safe. Failures return nullopt or
// nullptr and, when `error` is given, a one-line description taken from the
// OpenSSL error queue of the calling thread. Secure random bytes come from
// uuid.h (randomBytes).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "veltrix/platform/bytes.h"

struct evp_pkey_st;

namespace veltrix::platform {

// MD5 (RFC 1321) of `data`; nullopt only when the provider lacks MD5.
std::optional<std::array<std::uint8_t, 16>> md5Digest(ByteView data);

// HMAC-SHA256 (RFC 2104) of `data` under `key`; an empty key is allowed.
std::optional<std::array<std::uint8_t, 32>> hmacSha256(ByteView key, ByteView data);

// A NIST P-256 key held in memory: either a full key pair or a public key
// alone. Immutable once made, so one key may be shared between threads.
// Non-copyable: it owns the OpenSSL key object; hold it by shared_ptr.
class EcKey {
 public:
  ~EcKey();
  EcKey(const EcKey&) = delete;
  EcKey& operator=(const EcKey&) = delete;

  bool hasPrivateKey() const { return hasPrivate_; }

 private:
  friend struct EcKeyAccess;
  EcKey(evp_pkey_st* pkey, bool hasPrivate) : pkey_(pkey), hasPrivate_(hasPrivate) {}

  evp_pkey_st* pkey_;
  bool hasPrivate_;
};

// A fresh random P-256 key pair.
std::shared_ptr<const EcKey> generateP256Key(std::string* error = nullptr);

// A public-only key holding the public point of `key`.
std::shared_ptr<const EcKey> p256PublicKeyOf(const EcKey& key, std::string* error = nullptr);

// A public-only key from an uncompressed point (0x04, X, Y: 65 bytes).
std::shared_ptr<const EcKey> p256PublicKeyFromPoint(ByteView point, std::string* error = nullptr);

// The key's external form in ANSI X9.63: 0x04 X Y (65 bytes) for a public
// key, 0x04 X Y K (97 bytes, K padded to 32 bytes) for a key pair.
std::optional<Bytes> exportEcKey(const EcKey& key, std::string* error = nullptr);

// ECDH: the x-coordinate of own private key times the peer's public point
// (32 bytes). `own` must hold a private key; `peer` may be either kind.
std::optional<Bytes> ecdhSharedSecret(const EcKey& own, const EcKey& peer,
                                      std::string* error = nullptr);

}  // namespace veltrix::platform
