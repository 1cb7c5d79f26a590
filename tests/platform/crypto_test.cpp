#include "veltrix/platform/crypto.h"

#include <gtest/gtest.h>

namespace veltrix::platform {
namespace {

TEST(P256, PublicKeyFromPointRoundTripsAndRejectsBadPoints) {
  std::string error;
  const auto pair = generateP256Key(&error);
  ASSERT_TRUE(pair) << error;
  const auto point = exportEcKey(*p256PublicKeyOf(*pair));
  ASSERT_TRUE(point);
  const auto imported = p256PublicKeyFromPoint(*point, &error);
  ASSERT_TRUE(imported) << error;
  EXPECT_FALSE(imported->hasPrivateKey());
  EXPECT_EQ(exportEcKey(*imported), point);

  Bytes offCurve = *point;
  offCurve[64] ^= 0x01;
  error.clear();
  EXPECT_FALSE(p256PublicKeyFromPoint(offCurve, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(p256PublicKeyFromPoint(ByteView(point->data(), 33)));
  Bytes compressedTag = *point;
  compressedTag[0] = 0x02;
  EXPECT_FALSE(p256PublicKeyFromPoint(compressedTag));
}

TEST(P256, PrivateExportIsAlways97Bytes) {
  // Some scalars have leading zero bytes; padding must keep the size.
  for (int i = 0; i < 64; ++i) {
    const auto key = generateP256Key();
    ASSERT_TRUE(key);
    const auto exported = exportEcKey(*key);
    ASSERT_TRUE(exported);
    ASSERT_EQ(exported->size(), 97u);
  }
}

TEST(P256, AgreementNeedsAPrivateKey) {
  const auto key = generateP256Key();
  const auto pub = p256PublicKeyOf(*key);
  std::string error;
  EXPECT_FALSE(ecdhSharedSecret(*pub, *key, &error));
  EXPECT_EQ(error, "key agreement needs a private key");
  EXPECT_EQ(ecdhSharedSecret(*key, *pub)->size(), 32u);
}

}  // namespace
}  // namespace veltrix::platform
