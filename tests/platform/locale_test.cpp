#include "veltrix/platform/locale.h"

#include <gtest/gtest.h>

namespace veltrix::platform {
namespace {

class LocaleTest : public ::testing::Test {
 protected:
  LocaleTest() : previous_(defaultLocaleId()) {}
  ~LocaleTest() override { setDefaultLocaleForTesting(previous_); }

 private:
  std::string previous_;
};

TEST_F(LocaleTest, PinnedLocaleNamesCurrencies) {
  setDefaultLocaleForTesting("fr_FR");
  EXPECT_EQ(defaultLocaleId(), "fr_FR");
  EXPECT_EQ(currencyDisplayName("EUR"), "euro");
  EXPECT_EQ(currencyDisplayName("eur"), "euro");
  setDefaultLocaleForTesting("en_US");
  EXPECT_EQ(currencyDisplayName("EUR"), "Euro");
}

TEST_F(LocaleTest, NoNameIsAbsentRatherThanTheCode) {
  setDefaultLocaleForTesting("de_DE");
  EXPECT_EQ(currencyDisplayName("VED"), std::nullopt);
  // A locale ICU knows nothing of falls back to root, whose names are codes.
  setDefaultLocaleForTesting("xx_YY");
  EXPECT_EQ(currencyDisplayName("USD"), std::nullopt);
}

TEST_F(LocaleTest, RejectsTextsThatAreNoCurrencyCode) {
  setDefaultLocaleForTesting("en_US");
  for (const char* text : {"", "US", "USDX", "U$D", "1 2"}) {
    EXPECT_EQ(currencyDisplayName(text), std::nullopt) << text;
  }
  EXPECT_EQ(currencyDisplayName(std::string_view("US\0", 3)), std::nullopt);
}

TEST_F(LocaleTest, EmptyIdGoesBackToTheEnvironment) {
  setDefaultLocaleForTesting("");
  const std::string environment = defaultLocaleId();
  setDefaultLocaleForTesting("ja_JP");
  setDefaultLocaleForTesting("");
  EXPECT_EQ(defaultLocaleId(), environment);
}

}  // namespace
}  // namespace veltrix::platform
