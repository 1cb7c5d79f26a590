#include "veltrix/model/currency.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <map>
#include <set>
#include <string>

#include "veltrix/platform/file.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/locale.h"

namespace veltrix::model {
namespace {

using C = ISO4217ActiveCurrency;
using H = ISO4217ActiveCurrencyHelper;

C cur(std::int64_t v) { return static_cast<C>(v); }

TEST(Currency, TellingRowsInBothDirections) {
  struct Row {
    std::int64_t value;
    const char* alpha;
    const char* numeric;
  };
  const Row rows[] = {
      {0, "AFN", "971"},   {1, "ALL", "008"},   {3, "USD", "840"},   {37, "CNY", "156"},
      {56, "EUR", "978"},  {65, "GBP", "826"},  {79, "JPY", "392"},  {170, "XBA", "955"},
      {171, "XBB", "956"}, {172, "XBC", "957"}, {173, "XBD", "958"}, {174, "XTS", "963"},
      {175, "XXX", "999"}, {176, "XAU", "959"}, {177, "XPD", "964"}, {178, "XPT", "962"},
      {179, "XAG", "961"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.alpha);
    EXPECT_EQ(H::currencyCodeFromEnum(cur(r.value)), r.alpha);
    EXPECT_EQ(H::numericCodeFromEnum(cur(r.value)), r.numeric);
    EXPECT_EQ(H::currencyFromAlphaCode(r.alpha), cur(r.value));
    EXPECT_EQ(H::currencyFromNumericCode(r.numeric), cur(r.value));
  }
}

TEST(Currency, EveryValueRoundTripsThroughBothCodes) {
  std::set<std::string> alphas;
  std::set<std::string> numerics;
  for (C c : H::allCurrencies()) {
    const std::string alpha = H::currencyCodeFromEnum(c);
    const std::string numeric = H::numericCodeFromEnum(c);
    EXPECT_EQ(numeric.size(), 3u) << alpha;
    EXPECT_EQ(H::currencyFromAlphaCode(alpha), c) << alpha;
    EXPECT_EQ(H::currencyFromNumericCode(numeric), c) << numeric;
    alphas.insert(alpha);
    numerics.insert(numeric);
  }
  EXPECT_EQ(alphas.size(), 180u);
  EXPECT_EQ(numerics.size(), 180u);
}

TEST(Currency, ValuesOutsideTheTableConvertAsNoCurrency) {
  for (std::int64_t v : {std::int64_t{-1}, std::int64_t{180}, std::int64_t{200},
                         std::numeric_limits<std::int64_t>::min()}) {
    EXPECT_EQ(H::currencyCodeFromEnum(cur(v)), "XXX") << v;
    EXPECT_EQ(H::numericCodeFromEnum(cur(v)), "999") << v;
  }
}

TEST(Currency, AlphabeticLookup) {
  EXPECT_EQ(H::currencyFromAlphaCode("EUR"), C::EUR);
  EXPECT_EQ(H::currencyFromAlphaCode("eur"), C::EUR);
  EXPECT_EQ(H::currencyFromAlphaCode("eUr"), C::EUR);
  for (std::optional<std::string_view> text :
       {std::optional<std::string_view>{}, std::optional<std::string_view>{""},
        std::optional<std::string_view>{"EU"}, std::optional<std::string_view>{"EURO"},
        std::optional<std::string_view>{" EUR"}, std::optional<std::string_view>{"EU "},
        std::optional<std::string_view>{"HRK"}, std::optional<std::string_view>{"978"},
        std::optional<std::string_view>{"XXX"}}) {
    EXPECT_EQ(H::currencyFromAlphaCode(text), C::XXX) << text.value_or("(absent)");
  }
  const std::optional<std::string> fromMessage = "usd";
  EXPECT_EQ(H::currencyFromAlphaCode(fromMessage), C::USD);
}

TEST(Currency, LookAlikeLettersAreNoCodes) {
  // Letters whose Unicode upper case is an ASCII letter (dotless i, long s,
  // the Kelvin sign), Cyrillic and full-width look-alikes: none is a code.
  for (std::string_view text :
       {"\u0131NR", "U\u017FD", "\u212AES", "\u0415UR", "\uFF25\uFF35\uFF32", "E\u00DCR"}) {
    EXPECT_EQ(H::currencyFromAlphaCode(text), C::XXX) << text;
  }
}

TEST(Currency, NumericLookupNeitherTrimsNorPads) {
  EXPECT_EQ(H::currencyFromNumericCode("840"), C::USD);
  EXPECT_EQ(H::currencyFromNumericCode("008"), C::ALL);
  for (const char* text : {"", "8", "08", " 08", "08 ", "0840", "840 ", "000", "USD"}) {
    EXPECT_EQ(H::currencyFromNumericCode(text), C::XXX) << '"' << text << '"';
  }
  EXPECT_EQ(H::currencyFromNumericCode(std::nullopt), C::XXX);
}

TEST(Currency, MetalsAndTestingCodes) {
  for (std::int64_t v = -1; v <= 181; ++v) {
    EXPECT_EQ(H::isPreciousMetal(cur(v)), v >= 176 && v <= 179) << v;
    EXPECT_EQ(H::isTestingCurrency(cur(v)), v == 174 || v == 175) << v;
  }
}

TEST(Currency, ListsAndMappings) {
  const auto& all = H::allCurrencies();
  ASSERT_EQ(all.size(), 180u);
  for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i], cur(static_cast<std::int64_t>(i)));

  const auto& codes = H::allAlphaCodes();
  ASSERT_EQ(codes.size(), 180u);
  EXPECT_EQ(codes.front(), "AED");
  EXPECT_EQ(codes.back(), "ZWL");
  EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));

  EXPECT_EQ(H::alphaCodeMapping().size(), 180u);
  EXPECT_EQ(H::numericCodeMapping().size(), 180u);
  EXPECT_EQ(H::alphaToEnumMapping().size(), 180u);
  EXPECT_EQ(H::numericToEnumMapping().size(), 180u);
  EXPECT_EQ(H::alphaCodeMapping().at(C::GBP), "GBP");
  EXPECT_EQ(H::numericCodeMapping().at(C::ALL), "008");
  EXPECT_EQ(H::alphaToEnumMapping().find(std::string_view("JPY"))->second, C::JPY);
  EXPECT_EQ(H::numericToEnumMapping().find(std::string_view("156"))->second, C::CNY);
}

// Every row against the ISO 4217 list that Debian's iso-codes package
// ships, where it is installed.
TEST(Currency, MatchesTheIsoCodesList) {
  const std::filesystem::path file = "/usr/share/iso-codes/json/iso_4217.json";
  const auto text = platform::readWholeFile(file);
  if (!text) GTEST_SKIP() << file << " is not installed";
  const auto json = platform::parseJson(*text);
  ASSERT_TRUE(json);
  const auto* list = platform::findArray(*json, "4217");
  ASSERT_NE(list, nullptr);
  std::map<std::string, std::string> numericOf;
  for (const auto& row : *list) {
    const auto alpha = platform::readText(row, "alpha_3");
    const auto numeric = platform::readText(row, "numeric");
    if (alpha && numeric) numericOf[*alpha] = *numeric;
  }
  for (C c : H::allCurrencies()) {
    const std::string alpha = H::currencyCodeFromEnum(c);
    const auto it = numericOf.find(alpha);
    ASSERT_NE(it, numericOf.end()) << alpha << " is not in " << file;
    EXPECT_EQ(H::numericCodeFromEnum(c), it->second) << alpha;
  }
}

class CurrencyNames : public ::testing::Test {
 protected:
  CurrencyNames() : previous_(platform::defaultLocaleId()) {}
  ~CurrencyNames() override { platform::setDefaultLocaleForTesting(previous_); }

 private:
  std::string previous_;
};

TEST_F(CurrencyNames, ComeFromTheDefaultLocale) {
  platform::setDefaultLocaleForTesting("en_US");
  EXPECT_EQ(H::displayNameForCurrency(C::USD), "US Dollar");
  EXPECT_EQ(H::displayNameForCurrency(C::XAU), "Gold");
  EXPECT_EQ(H::displayNameForCurrency(cur(200)), "Unknown Currency");  // XXX

  platform::setDefaultLocaleForTesting("zh_CN");
  EXPECT_EQ(H::displayNameForCurrency(C::CNY), "人民币");
}

TEST_F(CurrencyNames, FallBackToTheCodeWhereTheLocaleHasNoName) {
  platform::setDefaultLocaleForTesting("de_DE");
  EXPECT_EQ(H::displayNameForCurrency(C::USD), "US-Dollar");
  EXPECT_EQ(H::displayNameForCurrency(C::VED), "VED");
}

}  // namespace
}  // namespace veltrix::model
