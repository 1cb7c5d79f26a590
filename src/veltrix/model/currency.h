// The active currencies of ISO 4217. Amounts in requests and results carry
// their currency as an ISO4217ActiveCurrency; messages carry its three-letter
// alphabetic code. Values are positions in the list below (0..179), which
// ends with the bond-market units XBA..XBD, the testing code XTS, the code
// for no currency XXX and the precious metals XAU, XPD, XPT, XAG. A value
// outside the list is legal and survives the model; it converts as XXX.
//
// ISO4217ActiveCurrencyHelper is stateless: its tables are constant and
// built once on first use, and every function may run on any thread at once.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrix::model {

// clang-format off
enum class ISO4217ActiveCurrency : std::int64_t {
  AFN, ALL, DZD, USD, AOA, XCD, ARS, AMD, AWG, AUD,  // 0..9
  AZN, BSD, BHD, BDT, BBD, BYN, BZD, XOF, BMD, INR,  // 10..19
  BTN, BOB, BOV, BAM, BWP, NOK, BRL, BND, BGN, BIF,  // 20..29
  CVE, KHR, XAF, CAD, KYD, CLP, CLF, CNY, COP, COU,  // 30..39
  KMF, CDF, NZD, CRC, CUP, CUC, ANG, CZK, DKK, DJF,  // 40..49
  DOP, EGP, SVC, ERN, SZL, ETB, EUR, FKP, FJD, XPF,  // 50..59
  GMD, GEL, GHS, GIP, GTQ, GBP, GNF, GYD, HTG, HNL,  // 60..69
  HKD, HUF, ISK, IDR, XDR, IRR, IQD, ILS, JMD, JPY,  // 70..79
  JOD, KZT, KES, KPW, KRW, KWD, KGS, LAK, LBP, LSL,  // 80..89
  ZAR, LRD, LYD, CHF, MOP, MKD, MGA, MWK, MYR, MVR,  // 90..99
  MRU, MUR, XUA, MXN, MXV, MDL, MNT, MAD, MZN, MMK,  // 100..109
  NAD, NPR, NIO, NGN, OMR, PKR, PAB, PGK, PYG, PEN,  // 110..119
  PHP, PLN, QAR, RON, RUB, RWF, SHP, WST, STN, SAR,  // 120..129
  RSD, SCR, SLL, SLE, SGD, XSU, SBD, SOS, SSP, LKR,  // 130..139
  SDG, SRD, SEK, CHE, CHW, SYP, TWD, TJS, TZS, THB,  // 140..149
  TOP, TTD, TND, TRY, TMT, UGX, UAH, AED, USN, UYU,  // 150..159
  UYI, UYW, UZS, VUV, VES, VED, VND, YER, ZMW, ZWL,  // 160..169
  XBA, XBB, XBC, XBD, XTS, XXX, XAU, XPD, XPT, XAG,  // 170..179
};
// clang-format on

struct ISO4217ActiveCurrencyHelper {
  // Alphabetic code, "XXX" outside the table.
  static std::string currencyCodeFromEnum(ISO4217ActiveCurrency currency);
  // Numeric code as three digits with leading zeros ("008"), "999" outside
  // the table.
  static std::string numericCodeFromEnum(ISO4217ActiveCurrency currency);
  // Absent, or a length other than 3, gives XXX; otherwise the ASCII
  // upper-cased text is looked up; not found gives XXX.
  static ISO4217ActiveCurrency currencyFromAlphaCode(std::optional<std::string_view> code);
  // Absent, or a length other than 3, gives XXX; otherwise looked up as it
  // is, without trimming or padding ("8" and " 08" never match "008"); not
  // found gives XXX.
  static ISO4217ActiveCurrency currencyFromNumericCode(std::optional<std::string_view> code);
  // The name of the currency in the default locale (platform::currencyDisplayName);
  // the alphabetic code itself where the locale has none.
  static std::string displayNameForCurrency(ISO4217ActiveCurrency currency);
  // XAU, XPD, XPT, XAG.
  static bool isPreciousMetal(ISO4217ActiveCurrency currency);
  // XTS and XXX.
  static bool isTestingCurrency(ISO4217ActiveCurrency currency);

  // The 180 values, ascending.
  static const std::vector<ISO4217ActiveCurrency>& allCurrencies();
  // The 180 alphabetic codes, sorted ("AED" first, "ZWL" last).
  static const std::vector<std::string>& allAlphaCodes();
  // Value -> alphabetic code, and value -> numeric code.
  static const std::map<ISO4217ActiveCurrency, std::string>& alphaCodeMapping();
  static const std::map<ISO4217ActiveCurrency, std::string>& numericCodeMapping();
  // The inverses; they accept std::string_view keys for lookup.
  static const std::map<std::string, ISO4217ActiveCurrency, std::less<>>& alphaToEnumMapping();
  static const std::map<std::string, ISO4217ActiveCurrency, std::less<>>& numericToEnumMapping();
};

}  // namespace veltrix::model
