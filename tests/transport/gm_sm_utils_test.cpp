#include "veltrix/transport/gm_sm_utils.h"

#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include "veltrix/platform/log.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::transport {
namespace {

using platform::asBytes;
using platform::Bytes;

Bytes hex(std::string_view text) { return *KVISOUtils::hexStr2Data(text); }
std::string hexOf(const Bytes& bytes) { return KVISOUtils::hexStringWithData(bytes); }

TEST(Md5String, Rfc1321VectorsInUpperCase) {
  EXPECT_EQ(md5String(""), "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(md5String("abc"), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(md5String("message digest"), "F96B697D7CB7938D525A2F31AAF161D0");
  // Only the part before a NUL character counts.
  EXPECT_EQ(md5String(std::string_view("abc\0def", 7)), md5String("abc"));
}

TEST(Hmac, Rfc4231Cases1And2) {
  EXPECT_EQ(hexOf(GMSmUtils::hmacSHA256WithData(asBytes("Hi There"), Bytes(20, 0x0B))),
            "B0344C61D8DB38535CA8AFCEAF0BF12B881DC200C9833DA726E9376C2E32CFF7");
  EXPECT_EQ(GMSmUtils::hmacSHA256WithString("what do ya want for nothing?", "Jefe"),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  const std::string empty = GMSmUtils::hmacSHA256WithString("", "");
  EXPECT_EQ(empty, "b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad");
}

struct HkdfCase {
  const char* ikm;
  const char* salt;
  const char* info;
  std::uint64_t length;
  const char* okm;
};

TEST(Hkdf, Rfc5869Vectors) {
  const HkdfCase cases[] = {
      {"0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B", "000102030405060708090A0B0C",
       "F0F1F2F3F4F5F6F7F8F9", 42,
       "3CB25F25FAACD57A90434F64D0362F2A2D2D0A90CF1A5A4C5DB02D56ECC4C5BF34007208D5B887185865"},
      {"000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F"
       "202122232425262728292A2B2C2D2E2F303132333435363738393A3B3C3D3E3F"
       "404142434445464748494A4B4C4D4E4F",
       "606162636465666768696A6B6C6D6E6F707172737475767778797A7B7C7D7E7F"
       "808182838485868788898A8B8C8D8E8F909192939495969798999A9B9C9D9E9F"
       "A0A1A2A3A4A5A6A7A8A9AAABACADAEAF",
       "B0B1B2B3B4B5B6B7B8B9BABBBCBDBEBFC0C1C2C3C4C5C6C7C8C9CACBCCCDCECF"
       "D0D1D2D3D4D5D6D7D8D9DADBDCDDDEDFE0E1E2E3E4E5E6E7E8E9EAEBECEDEEEF"
       "F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF",
       82,
       "B11E398DC80327A1C8E7F78C596A49344F012EDA2D4EFAD8A050CC4C19AFA97C"
       "59045A99CAC7827271CB41C65E590E09DA3275600C2F09B8367793A9ACA3DB71"
       "CC30C58179EC3E87C14C01D5C1F3434F1D87"},
      {"0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B", "", "", 42,
       "8DA4E775A563C18F715F802A063C5A31B8A11F5C5EE1879EC3454E5F3C738D2D9D201395FAA4B61A96C8"},
  };
  for (const HkdfCase& c : cases) {
    const auto okm = GMSmUtils::deriveKeyWithHKDF(hex(c.ikm), hex(c.salt), hex(c.info), c.length);
    ASSERT_TRUE(okm);
    EXPECT_EQ(hexOf(*okm), c.okm);
  }
}

// OpenSSL's own HKDF, for the cross-check.
Bytes providerHkdf(const Bytes& ikm, const Bytes& salt, const Bytes& info, std::size_t length) {
  EVP_KDF* kdf = EVP_KDF_fetch(nullptr, "HKDF", nullptr);
  EVP_KDF_CTX* ctx = EVP_KDF_CTX_new(kdf);
  EVP_KDF_free(kdf);
  char digest[] = "SHA256";
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, const_cast<std::uint8_t*>(ikm.data()),
                                        ikm.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<std::uint8_t*>(salt.data()),
                                        salt.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, const_cast<std::uint8_t*>(info.data()),
                                        info.size()),
      OSSL_PARAM_construct_end()};
  Bytes out(length);
  const bool ok = ctx != nullptr && EVP_KDF_derive(ctx, out.data(), out.size(), params) == 1;
  EVP_KDF_CTX_free(ctx);
  return ok ? out : Bytes{};
}

TEST(Hkdf, AgreesWithOpenSslAndPrefixesAgree) {
  const Bytes ikm = platform::toBytes("input key material");
  const Bytes salt = {1, 2, 3};
  const Bytes info = {9, 8};
  for (const std::size_t length : {1u, 31u, 32u, 33u, 64u, 100u, 8160u}) {
    const auto ours = GMSmUtils::deriveKeyWithHKDF(ikm, salt, info, length);
    ASSERT_TRUE(ours);
    EXPECT_EQ(*ours, providerHkdf(ikm, salt, info, length)) << length;
  }
  const auto k32 = *GMSmUtils::deriveKeyWithHKDF(ikm, salt, info, 32);
  const auto k40 = *GMSmUtils::deriveKeyWithHKDF(ikm, salt, info, 40);
  const auto k64 = *GMSmUtils::deriveKeyWithHKDF(ikm, salt, info, 64);
  EXPECT_EQ(k40.size(), 40u);
  EXPECT_TRUE(std::equal(k32.begin(), k32.end(), k40.begin()));
  EXPECT_TRUE(std::equal(k32.begin(), k32.end(), k64.begin()));
  EXPECT_EQ(GMSmUtils::deriveKeyWithHKDF({}, {}, {}, 0), Bytes{});
  EXPECT_EQ(GMSmUtils::deriveKeyWithHKDF({}, {}, {}, 16)->size(), 16u);
  EXPECT_FALSE(GMSmUtils::deriveKeyWithHKDF(ikm, salt, info, 8161));
}

TEST(EcKeys, PairsExportInTheExternalForms) {
  const auto pair = GMSmUtils::generateECKeyPair();
  ASSERT_TRUE(pair);
  EXPECT_EQ(pair->privateKey.label, kPrivateKeyLabel);
  EXPECT_EQ(pair->publicKey.label, kPublicKeyLabel);
  EXPECT_TRUE(pair->privateKey.hasPrivateKey());
  EXPECT_FALSE(pair->publicKey.hasPrivateKey());

  const auto pub = GMSmUtils::exportPublicKey(pair->publicKey);
  const auto priv = GMSmUtils::exportPrivateKey(pair->privateKey);
  ASSERT_TRUE(pub && priv);
  EXPECT_EQ(pub->size(), 65u);
  EXPECT_EQ((*pub)[0], 0x04);
  EXPECT_EQ(priv->size(), 97u);
  EXPECT_TRUE(std::equal(pub->begin(), pub->end(), priv->begin()));

  const auto unlabelled = GMSmUtils::generateECKeyPair2();
  ASSERT_TRUE(unlabelled);
  EXPECT_TRUE(unlabelled->privateKey.label.empty());
  EXPECT_NE(GMSmUtils::exportPublicKey(unlabelled->publicKey), pub);
}

TEST(EcKeys, SharedSecretIsSymmetric) {
  const auto a = GMSmUtils::generateECKeyPair2();
  const auto b = GMSmUtils::generateECKeyPair2();
  ASSERT_TRUE(a && b);
  const auto ab = GMSmUtils::computeSharedSecretWithPrivateKey(a->privateKey, b->publicKey);
  const auto ba = GMSmUtils::computeSharedSecretWithPrivateKey(b->privateKey, a->publicKey);
  ASSERT_TRUE(ab && ba);
  EXPECT_EQ(ab->size(), 32u);
  EXPECT_EQ(*ab, *ba);
  const auto c = GMSmUtils::generateECKeyPair2();
  EXPECT_NE(GMSmUtils::computeSharedSecretWithPrivateKey(a->privateKey, c->publicKey), ab);
}

TEST(EcKeys, FailuresAreLoggedNotThrown) {
  platform::ScopedLogCapture log;
  const auto pair = GMSmUtils::generateECKeyPair2();
  ASSERT_TRUE(pair);
  EXPECT_FALSE(GMSmUtils::computeSharedSecretWithPrivateKey(pair->publicKey, pair->publicKey));
  EXPECT_TRUE(log.contains("计算共享密钥失败: "));
  EXPECT_FALSE(GMSmUtils::exportPublicKey(ECKey{}));
  EXPECT_TRUE(log.contains("导出公钥失败: no key"));
  EXPECT_FALSE(GMSmUtils::exportPrivateKey(ECKey{}));
  EXPECT_TRUE(log.contains("导出私钥失败: no key"));
}

}  // namespace
}  // namespace veltrix::transport
