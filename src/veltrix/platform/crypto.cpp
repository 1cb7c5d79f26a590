#include "veltrix/platform/crypto.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/param_build.h>

namespace veltrix::platform {

struct EcKeyAccess {
  static std::shared_ptr<const EcKey> wrap(EVP_PKEY* pkey, bool hasPrivate) {
    return std::shared_ptr<const EcKey>(new EcKey(pkey, hasPrivate));
  }
  static EVP_PKEY* raw(const EcKey& key) { return key.pkey_; }
};

namespace {

constexpr std::size_t kPointSize = 65;
constexpr std::size_t kScalarSize = 32;

// The oldest error of this thread's OpenSSL queue as one line; the queue is
// emptied so later calls start clean.
std::string takeOpenSslError(const char* fallback) {
  const unsigned long code = ERR_get_error();
  std::string text;
  if (code != 0) {
    char buf[256];
    ERR_error_string_n(code, buf, sizeof buf);
    text = buf;
  } else {
    text = fallback;
  }
  ERR_clear_error();
  return text;
}

void fail(std::string* error, const char* what) {
  const std::string text = takeOpenSslError(what);
  if (error) *error = text;
}

struct PkeyCtxFree {
  void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree>;

std::optional<Bytes> encodedPoint(EVP_PKEY* pkey, std::string* error) {
  Bytes point(kPointSize);
  std::size_t len = 0;
  if (EVP_PKEY_get_octet_string_param(pkey, OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY, point.data(),
                                      point.size(), &len) != 1) {
    fail(error, "cannot read the public point");
    return std::nullopt;
  }
  if (len != kPointSize || point[0] != 0x04) {
    if (error) *error = "the public point is not an uncompressed P-256 point";
    return std::nullopt;
  }
  return point;
}

}  // namespace

EcKey::~EcKey() { EVP_PKEY_free(pkey_); }

std::optional<std::array<std::uint8_t, 16>> md5Digest(ByteView data) {
  std::array<std::uint8_t, 16> out{};
  unsigned int len = 0;
  if (EVP_Digest(data.data(), data.size(), out.data(), &len, EVP_md5(), nullptr) != 1 ||
      len != out.size()) {
    ERR_clear_error();
    return std::nullopt;
  }
  return out;
}

std::optional<std::array<std::uint8_t, 32>> hmacSha256(ByteView key, ByteView data) {
  // Some releases treat a null key as "reuse the previous key": never pass one.
  static const std::uint8_t kNoKey = 0;
  const std::uint8_t* keyBytes = key.empty() ? &kNoKey : key.data();
  static const std::uint8_t kNoData = 0;
  const std::uint8_t* dataBytes = data.empty() ? &kNoData : data.data();
  std::array<std::uint8_t, 32> out{};
  unsigned int len = 0;
  if (key.size() > static_cast<std::size_t>(INT32_MAX) ||
      HMAC(EVP_sha256(), keyBytes, static_cast<int>(key.size()), dataBytes, data.size(), out.data(),
           &len) == nullptr ||
      len != out.size()) {
    ERR_clear_error();
    return std::nullopt;
  }
  return out;
}

std::shared_ptr<const EcKey> generateP256Key(std::string* error) {
  EVP_PKEY* pkey = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
  if (pkey == nullptr) {
    fail(error, "key generation failed");
    return nullptr;
  }
  return EcKeyAccess::wrap(pkey, true);
}

std::shared_ptr<const EcKey> p256PublicKeyFromPoint(ByteView point, std::string* error) {
  if (point.size() != kPointSize || point[0] != 0x04) {
    if (error) *error = "a P-256 public key is 65 bytes starting with 0x04";
    return nullptr;
  }
  OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
  if (bld == nullptr) {
    fail(error, "out of memory");
    return nullptr;
  }
  OSSL_PARAM* params = nullptr;
  if (OSSL_PARAM_BLD_push_utf8_string(bld, OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) == 1 &&
      OSSL_PARAM_BLD_push_octet_string(bld, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()) ==
          1) {
    params = OSSL_PARAM_BLD_to_param(bld);
  }
  OSSL_PARAM_BLD_free(bld);
  if (params == nullptr) {
    fail(error, "cannot build the key parameters");
    return nullptr;
  }
  PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  EVP_PKEY* pkey = nullptr;
  const bool ok = ctx && EVP_PKEY_fromdata_init(ctx.get()) == 1 &&
                  EVP_PKEY_fromdata(ctx.get(), &pkey, EVP_PKEY_PUBLIC_KEY, params) == 1;
  OSSL_PARAM_free(params);
  if (!ok || pkey == nullptr) {
    EVP_PKEY_free(pkey);
    fail(error, "invalid public point");
    return nullptr;
  }
  // fromdata does not check that the point lies on the curve.
  PkeyCtx check(EVP_PKEY_CTX_new_from_pkey(nullptr, pkey, nullptr));
  if (!check || EVP_PKEY_public_check(check.get()) != 1) {
    EVP_PKEY_free(pkey);
    fail(error, "the point is not on the P-256 curve");
    return nullptr;
  }
  return EcKeyAccess::wrap(pkey, false);
}

std::shared_ptr<const EcKey> p256PublicKeyOf(const EcKey& key, std::string* error) {
  const std::optional<Bytes> point = encodedPoint(EcKeyAccess::raw(key), error);
  if (!point) return nullptr;
  return p256PublicKeyFromPoint(*point, error);
}

std::optional<Bytes> exportEcKey(const EcKey& key, std::string* error) {
  EVP_PKEY* pkey = EcKeyAccess::raw(key);
  std::optional<Bytes> out = encodedPoint(pkey, error);
  if (!out || !key.hasPrivateKey()) return out;
  BIGNUM* k = nullptr;
  if (EVP_PKEY_get_bn_param(pkey, OSSL_PKEY_PARAM_PRIV_KEY, &k) != 1 || k == nullptr) {
    fail(error, "cannot read the private scalar");
    return std::nullopt;
  }
  out->resize(kPointSize + kScalarSize);
  // Padded: a scalar with leading zero bytes must still fill 32 bytes.
  const int written = BN_bn2binpad(k, out->data() + kPointSize, static_cast<int>(kScalarSize));
  BN_clear_free(k);
  if (written != static_cast<int>(kScalarSize)) {
    OPENSSL_cleanse(out->data(), out->size());
    fail(error, "the private scalar does not fit 32 bytes");
    return std::nullopt;
  }
  return out;
}

std::optional<Bytes> ecdhSharedSecret(const EcKey& own, const EcKey& peer, std::string* error) {
  if (!own.hasPrivateKey()) {
    if (error) *error = "key agreement needs a private key";
    return std::nullopt;
  }
  PkeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, EcKeyAccess::raw(own), nullptr));
  std::size_t len = 0;
  if (!ctx || EVP_PKEY_derive_init(ctx.get()) != 1 ||
      EVP_PKEY_derive_set_peer(ctx.get(), EcKeyAccess::raw(peer)) != 1 ||
      EVP_PKEY_derive(ctx.get(), nullptr, &len) != 1) {
    fail(error, "key agreement failed");
    return std::nullopt;
  }
  Bytes secret(len);
  if (EVP_PKEY_derive(ctx.get(), secret.data(), &len) != 1) {
    fail(error, "key agreement failed");
    return std::nullopt;
  }
  secret.resize(len);
  return secret;
}

}  // namespace veltrix::platform
