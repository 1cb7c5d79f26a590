#include "veltrix/model/currency.h"

#include <algorithm>
#include <array>
#include <utility>

#include "veltrix/platform/locale.h"

namespace veltrix::model {
namespace {

struct CurrencyRow {
  std::string_view alpha;
  std::string_view numeric;
};

// Codes of ISO 4217 in enumeration order (value = position).
// clang-format off
constexpr std::array<CurrencyRow, 180> kCurrencies{{
    {"AFN", "971"}, {"ALL", "008"}, {"DZD", "012"}, {"USD", "840"}, {"AOA", "973"}, {"XCD", "951"},
    {"ARS", "032"}, {"AMD", "051"}, {"AWG", "533"}, {"AUD", "036"}, {"AZN", "944"}, {"BSD", "044"},
    {"BHD", "048"}, {"BDT", "050"}, {"BBD", "052"}, {"BYN", "933"}, {"BZD", "084"}, {"XOF", "952"},
    {"BMD", "060"}, {"INR", "356"}, {"BTN", "064"}, {"BOB", "068"}, {"BOV", "984"}, {"BAM", "977"},
    {"BWP", "072"}, {"NOK", "578"}, {"BRL", "986"}, {"BND", "096"}, {"BGN", "975"}, {"BIF", "108"},
    {"CVE", "132"}, {"KHR", "116"}, {"XAF", "950"}, {"CAD", "124"}, {"KYD", "136"}, {"CLP", "152"},
    {"CLF", "990"}, {"CNY", "156"}, {"COP", "170"}, {"COU", "970"}, {"KMF", "174"}, {"CDF", "976"},
    {"NZD", "554"}, {"CRC", "188"}, {"CUP", "192"}, {"CUC", "931"}, {"ANG", "532"}, {"CZK", "203"},
    {"DKK", "208"}, {"DJF", "262"}, {"DOP", "214"}, {"EGP", "818"}, {"SVC", "222"}, {"ERN", "232"},
    {"SZL", "748"}, {"ETB", "230"}, {"EUR", "978"}, {"FKP", "238"}, {"FJD", "242"}, {"XPF", "953"},
    {"GMD", "270"}, {"GEL", "981"}, {"GHS", "936"}, {"GIP", "292"}, {"GTQ", "320"}, {"GBP", "826"},
    {"GNF", "324"}, {"GYD", "328"}, {"HTG", "332"}, {"HNL", "340"}, {"HKD", "344"}, {"HUF", "348"},
    {"ISK", "352"}, {"IDR", "360"}, {"XDR", "960"}, {"IRR", "364"}, {"IQD", "368"}, {"ILS", "376"},
    {"JMD", "388"}, {"JPY", "392"}, {"JOD", "400"}, {"KZT", "398"}, {"KES", "404"}, {"KPW", "408"},
    {"KRW", "410"}, {"KWD", "414"}, {"KGS", "417"}, {"LAK", "418"}, {"LBP", "422"}, {"LSL", "426"},
    {"ZAR", "710"}, {"LRD", "430"}, {"LYD", "434"}, {"CHF", "756"}, {"MOP", "446"}, {"MKD", "807"},
    {"MGA", "969"}, {"MWK", "454"}, {"MYR", "458"}, {"MVR", "462"}, {"MRU", "929"}, {"MUR", "480"},
    {"XUA", "965"}, {"MXN", "484"}, {"MXV", "979"}, {"MDL", "498"}, {"MNT", "496"}, {"MAD", "504"},
    {"MZN", "943"}, {"MMK", "104"}, {"NAD", "516"}, {"NPR", "524"}, {"NIO", "558"}, {"NGN", "566"},
    {"OMR", "512"}, {"PKR", "586"}, {"PAB", "590"}, {"PGK", "598"}, {"PYG", "600"}, {"PEN", "604"},
    {"PHP", "608"}, {"PLN", "985"}, {"QAR", "634"}, {"RON", "946"}, {"RUB", "643"}, {"RWF", "646"},
    {"SHP", "654"}, {"WST", "882"}, {"STN", "930"}, {"SAR", "682"}, {"RSD", "941"}, {"SCR", "690"},
    {"SLL", "694"}, {"SLE", "925"}, {"SGD", "702"}, {"XSU", "994"}, {"SBD", "090"}, {"SOS", "706"},
    {"SSP", "728"}, {"LKR", "144"}, {"SDG", "938"}, {"SRD", "968"}, {"SEK", "752"}, {"CHE", "947"},
    {"CHW", "948"}, {"SYP", "760"}, {"TWD", "901"}, {"TJS", "972"}, {"TZS", "834"}, {"THB", "764"},
    {"TOP", "776"}, {"TTD", "780"}, {"TND", "788"}, {"TRY", "949"}, {"TMT", "934"}, {"UGX", "800"},
    {"UAH", "980"}, {"AED", "784"}, {"USN", "997"}, {"UYU", "858"}, {"UYI", "940"}, {"UYW", "927"},
    {"UZS", "860"}, {"VUV", "548"}, {"VES", "928"}, {"VED", "926"}, {"VND", "704"}, {"YER", "886"},
    {"ZMW", "967"}, {"ZWL", "932"}, {"XBA", "955"}, {"XBB", "956"}, {"XBC", "957"}, {"XBD", "958"},
    {"XTS", "963"}, {"XXX", "999"}, {"XAU", "959"}, {"XPD", "964"}, {"XPT", "962"}, {"XAG", "961"},
}};
// clang-format on

constexpr std::int64_t kCount = static_cast<std::int64_t>(kCurrencies.size());
constexpr auto kNoCurrency = ISO4217ActiveCurrency::XXX;

// Every alphabetic code is three capitals and every numeric code three
// digits, and no code appears twice in either column.
constexpr bool tableIsSound() {
  auto allOf = [](std::string_view s, char lo, char hi) {
    if (s.size() != 3) return false;
    for (char c : s) {
      if (c < lo || c > hi) return false;
    }
    return true;
  };
  for (std::size_t i = 0; i < kCurrencies.size(); ++i) {
    if (!allOf(kCurrencies[i].alpha, 'A', 'Z') || !allOf(kCurrencies[i].numeric, '0', '9')) {
      return false;
    }
    for (std::size_t j = i + 1; j < kCurrencies.size(); ++j) {
      if (kCurrencies[i].alpha == kCurrencies[j].alpha) return false;
      if (kCurrencies[i].numeric == kCurrencies[j].numeric) return false;
    }
  }
  return true;
}
static_assert(tableIsSound());
static_assert(kCurrencies[static_cast<std::size_t>(ISO4217ActiveCurrency::XAG)].alpha == "XAG" &&
              static_cast<std::int64_t>(ISO4217ActiveCurrency::XAG) == kCount - 1);
static_assert(kCurrencies[static_cast<std::size_t>(kNoCurrency)].alpha == "XXX");

constexpr bool inTable(ISO4217ActiveCurrency currency) {
  const auto v = static_cast<std::int64_t>(currency);
  return v >= 0 && v < kCount;
}

constexpr const CurrencyRow& rowFor(ISO4217ActiveCurrency currency) {
  return kCurrencies[static_cast<std::size_t>(inTable(currency) ? currency : kNoCurrency)];
}

template <typename Field>
std::map<ISO4217ActiveCurrency, std::string> valueToCode(Field field) {
  std::map<ISO4217ActiveCurrency, std::string> out;
  for (std::int64_t i = 0; i < kCount; ++i) {
    out.emplace(static_cast<ISO4217ActiveCurrency>(i),
                std::string(kCurrencies[static_cast<std::size_t>(i)].*field));
  }
  return out;
}

std::map<std::string, ISO4217ActiveCurrency, std::less<>> invert(
    const std::map<ISO4217ActiveCurrency, std::string>& forward) {
  std::map<std::string, ISO4217ActiveCurrency, std::less<>> out;
  for (const auto& [value, code] : forward) out.emplace(code, value);
  return out;
}

ISO4217ActiveCurrency lookUp(const std::map<std::string, ISO4217ActiveCurrency, std::less<>>& map,
                             std::string_view code) {
  const auto it = map.find(code);
  return it == map.end() ? kNoCurrency : it->second;
}

}  // namespace

std::string ISO4217ActiveCurrencyHelper::currencyCodeFromEnum(ISO4217ActiveCurrency currency) {
  return std::string(rowFor(currency).alpha);
}

std::string ISO4217ActiveCurrencyHelper::numericCodeFromEnum(ISO4217ActiveCurrency currency) {
  return std::string(rowFor(currency).numeric);
}

ISO4217ActiveCurrency ISO4217ActiveCurrencyHelper::currencyFromAlphaCode(
    std::optional<std::string_view> code) {
  if (!code || code->size() != 3) return kNoCurrency;
  char upper[3];
  for (std::size_t i = 0; i < 3; ++i) {
    const char c = (*code)[i];
    upper[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return lookUp(alphaToEnumMapping(), std::string_view(upper, 3));
}

ISO4217ActiveCurrency ISO4217ActiveCurrencyHelper::currencyFromNumericCode(
    std::optional<std::string_view> code) {
  if (!code || code->size() != 3) return kNoCurrency;
  return lookUp(numericToEnumMapping(), *code);
}

std::string ISO4217ActiveCurrencyHelper::displayNameForCurrency(ISO4217ActiveCurrency currency) {
  std::string code = currencyCodeFromEnum(currency);
  std::optional<std::string> name = platform::currencyDisplayName(code);
  return name ? std::move(*name) : code;
}

bool ISO4217ActiveCurrencyHelper::isPreciousMetal(ISO4217ActiveCurrency currency) {
  using C = ISO4217ActiveCurrency;
  return currency == C::XAU || currency == C::XPD || currency == C::XPT || currency == C::XAG;
}

bool ISO4217ActiveCurrencyHelper::isTestingCurrency(ISO4217ActiveCurrency currency) {
  return currency == ISO4217ActiveCurrency::XTS || currency == ISO4217ActiveCurrency::XXX;
}

const std::vector<ISO4217ActiveCurrency>& ISO4217ActiveCurrencyHelper::allCurrencies() {
  static const auto* all = new std::vector<ISO4217ActiveCurrency>([] {
    std::vector<ISO4217ActiveCurrency> out;
    out.reserve(kCurrencies.size());
    for (std::int64_t i = 0; i < kCount; ++i) out.push_back(static_cast<ISO4217ActiveCurrency>(i));
    return out;
  }());
  return *all;
}

const std::vector<std::string>& ISO4217ActiveCurrencyHelper::allAlphaCodes() {
  static const auto* all = new std::vector<std::string>([] {
    std::vector<std::string> out;
    out.reserve(kCurrencies.size());
    for (const auto& row : kCurrencies) out.emplace_back(row.alpha);
    std::sort(out.begin(), out.end());
    return out;
  }());
  return *all;
}

const std::map<ISO4217ActiveCurrency, std::string>&
ISO4217ActiveCurrencyHelper::alphaCodeMapping() {
  static const auto* map = new auto(valueToCode(&CurrencyRow::alpha));
  return *map;
}

const std::map<ISO4217ActiveCurrency, std::string>&
ISO4217ActiveCurrencyHelper::numericCodeMapping() {
  static const auto* map = new auto(valueToCode(&CurrencyRow::numeric));
  return *map;
}

const std::map<std::string, ISO4217ActiveCurrency, std::less<>>&
ISO4217ActiveCurrencyHelper::alphaToEnumMapping() {
  static const auto* map = new auto(invert(alphaCodeMapping()));
  return *map;
}

const std::map<std::string, ISO4217ActiveCurrency, std::less<>>&
ISO4217ActiveCurrencyHelper::numericToEnumMapping() {
  static const auto* map = new auto(invert(numericCodeMapping()));
  return *map;
}

}  // namespace veltrix::model
