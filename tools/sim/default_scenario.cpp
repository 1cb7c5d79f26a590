#include "sim/default_scenario.h"

#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <nlohmann/json.hpp>
#include <set>

namespace veltrix::sim {
namespace {

using nlohmann::json;

constexpr const char* kNotificationFormat = R"({{
  "exchangeIdentification": "{ex}",
  "creationDateTime": "{time}",
  "initiatingPartyId": "{serial}",
  "initiatingPartyType": "POI",
  "protocolVersion": "1.0.01",
  "contentType": "caspResp",
  "serviceType": "EventNotification",
  "endFlag": false,
  "response": {{
    "response": "SUCC",
    "event": "{event}",
    "eventTime": "{eventTime}",
    "additionalResponseInformation": "{info}"
  }}
}}
)";

constexpr const char* kResponseFormat = R"({{
  "exchangeIdentification": "{ex}",
  "creationDateTime": "{time}",
  "initiatingPartyId": "{serial}",
  "initiatingPartyType": "POI",
  "recipientPartyId": "{recipient}",
  "protocolVersion": "1.0.01",
  "contentType": "caspResp",
  "serviceType": "{serviceType}",
  "endFlag": true,
  "response": {{
{body}
  }}
}}
)";

constexpr const char* kFieldFormat = R"(    "{}": "{}")";

constexpr const char* kReconciliationTotalsFormat = R"(    "transTotalsSets": [
      {{
        "paymentInstrumentTypeCode": "CARD",
        "brand": "VISA",
        "poiIdentification": "{serial}",
        "acquirerIdentification": "SIMACQ",
        "transactionTotals": [{totals}]
      }}
    ])";

constexpr const char* kTotalsEntryFormat = R"(
          {{
            "transactionTotalsType": "{type}",
            "totalNum": "{count}",
            "totalAmount": "{amount}",
            "activeCurrency": "{currency}"
          }})";

constexpr const char* kDisplayOutputFormat = R"(    "outputResultList": [
      {{
        "deviceType": "CDSP",
        "informationQualifier": "DISP",
        "response": "SUCC"
      }}
    ])";

const std::set<std::string, std::less<>> kCardServices = {
    "Purchase", "Scan Code Purchase", "Cash Purchase",   "QR Code Purchase", "Refund",
    "PreAuth",  "PreAuth Completion", "Auth Adjustment", "Reversal",         "Tip Adjustment"};

std::atomic<std::uint64_t> transactionCounter{1};

// Local-free stamps: the terminal speaks UTC.
std::string isoNow() {
  const auto now = std::chrono::system_clock::now();
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:03}Z", tm.tm_year + 1900, tm.tm_mon + 1,
                     tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms % 1000);
}

std::string millisNow() {
  return fmt::format("{}", std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count());
}

// A request member as text: strings as they are, numbers as written.
std::optional<std::string> textOf(const json& object, const char* key) {
  if (!object.is_object()) return std::nullopt;
  const auto it = object.find(key);
  if (it == object.end()) return std::nullopt;
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number()) return it->dump();
  return std::nullopt;
}

class BodyWriter {
 public:
  void add(const char* key, const std::string& value) {
    lines_.push_back(fmt::format(kFieldFormat, key, jsonEscape(value)));
  }
  void addRaw(std::string block) { lines_.push_back(std::move(block)); }
  std::string text() const { return fmt::format("{}", fmt::join(lines_, ",\n")); }

 private:
  std::vector<std::string> lines_;
};

std::string notification(const std::string& ex, const std::string& serial, const char* event,
                         const char* info) {
  return fmt::format(kNotificationFormat, fmt::arg("ex", jsonEscape(ex)),
                     fmt::arg("time", isoNow()), fmt::arg("serial", jsonEscape(serial)),
                     fmt::arg("event", event), fmt::arg("eventTime", millisNow()),
                     fmt::arg("info", info));
}

std::string totalsBlock(const std::string& serial, const Ledger* ledger) {
  std::vector<std::string> entries;
  if (ledger) {
    for (const LedgerTotal& total : ledger->totals()) {
      entries.push_back(fmt::format(kTotalsEntryFormat, fmt::arg("type", jsonEscape(total.type)),
                                    fmt::arg("count", total.count),
                                    fmt::arg("amount", jsonEscape(total.amount)),
                                    fmt::arg("currency", jsonEscape(total.currency))));
    }
  }
  std::string totals = fmt::format("{}", fmt::join(entries, ","));
  if (!entries.empty()) totals += "\n        ";
  return fmt::format(kReconciliationTotalsFormat, fmt::arg("serial", jsonEscape(serial)),
                     fmt::arg("totals", totals));
}

std::string responseBody(const std::string& serviceType, const std::string& ex, const json& req,
                         const std::string& serial, Ledger* ledger) {
  const std::uint64_t number = transactionCounter.fetch_add(1);
  const std::string amount = textOf(req, "totalAmount").value_or("0.00");
  const std::string currency = textOf(req, "currency").value_or("USD");
  BodyWriter body;
  body.add("exchangeIdentification", ex);
  body.add("response", "SUCC");
  body.add("additionalResponseInformation", "Approved");
  if (kCardServices.count(serviceType) > 0 || serviceType == "Card Auth" ||
      serviceType == "BalanceInquiry") {
    if (serviceType != "BalanceInquiry") {
      body.add("transactionReference",
               textOf(req, "transactionReference").value_or(fmt::format("SIM{:06}", number)));
    }
    if (auto type = textOf(req, "transactionType")) body.add("transactionType", *type);
    body.add("transactionDateTime", isoNow());
    body.add("merchantIdentification",
             textOf(req, "merchantIdentification").value_or("100000000000001"));
    body.add("merchantIdentificationName", "Tavio Demo Store");
    body.add("poiIdentificationId", serial);
    body.add("maskedPAN", "476173******0119");
    body.add("cardBrand", "VISA");
    body.add("poiTransactionIdentification", fmt::format("{:012}", 880000000000 + number));
  }
  if (kCardServices.count(serviceType) > 0) {
    body.add("totalAmount", amount);
    body.add("currency", currency);
    body.add("accountType", textOf(req, "accountType").value_or("DFLT"));
    body.add("authorisationCode", fmt::format("A{:05}", number % 100000));
    body.add("cardDataEntryMode", "CTLS");
    body.add("acquirerShortName", "SIMACQ");
    body.add("poiReconciliationIdentification", "001");
    body.add("aid", "A0000000031010");
    body.add("invoiceNumber", fmt::format("{:06}", number % 1000000));
    if (auto gratuity = textOf(req, "gratuity")) body.add("gratuity", *gratuity);
    if (auto type = Ledger::totalsTypeOf(serviceType); type && ledger) {
      ledger->record(currency, *type, amount);
    }
  }
  if (serviceType == "Purchase" || serviceType == "Scan Code Purchase" ||
      serviceType == "Cash Purchase" || serviceType == "QR Code Purchase") {
    body.add("requestedAmount", textOf(req, "requestedAmount").value_or(amount));
    body.add("authorisedAmount", amount);
    if (auto cashback = textOf(req, "cashBack")) body.add("cashback", *cashback);
  } else if (serviceType == "Refund" || serviceType == "PreAuth Completion" ||
             serviceType == "Reversal") {
    if (auto ref = textOf(req, "orgTransactionReference"))
      body.add("orgTransactionReference", *ref);
    if (auto at = textOf(req, "orgTransactionDateTime")) body.add("orgTransactionDateTime", *at);
  } else if (serviceType == "Auth Adjustment") {
    body.add("requestedAmount", textOf(req, "requestedAmount").value_or(amount));
    body.add("authorisedAmount", amount);
  } else if (serviceType == "BalanceInquiry") {
    body.add("currency", currency);
    body.add("currentBalance", "1000.00");
  } else if (serviceType == "Card Auth") {
    body.add("tokenIdentification", fmt::format("TKN{:010}", number));
  } else if (serviceType == "Reconciliation") {
    body.add("reconciliationType", textOf(req, "reconciliationType").value_or("AREC"));
    body.add("poiReconciliationIdentification",
             textOf(req, "poiReconciliationIdentification").value_or("001"));
    body.add("transactionDateTime", isoNow());
    body.add("merchantIdentification",
             textOf(req, "merchantIdentification").value_or("100000000000001"));
    body.add("merchantIdentificationName", "Tavio Demo Store");
    body.add("poiIdentificationId", serial);
    body.addRaw(totalsBlock(serial, ledger));
  } else if (serviceType == "Message Status" || serviceType == "Reprint") {
    if (auto org = textOf(req, "orgExchangeIdentification")) {
      body.add("orgExchangeIdentification", *org);
    }
  } else if (serviceType == "Display") {
    body.addRaw(fmt::format(kDisplayOutputFormat));
  } else if (serviceType == "NFCTag") {
    body.add("detectCount", "1");
  } else if (serviceType == "Transmit Message") {
    body.add("receivedMessage", "T0s=");  // "OK"
  }
  return body.text();
}

}  // namespace

Reply defaultReply(const RecordedRequest& request, Millis gap, std::string_view serialView,
                   Ledger* ledger) {
  const std::string serial(serialView);
  if (request.method == "HEAD" || request.method == "GET") {
    return Reply::plain(200, "OK", request.method == "GET" ? "OK\n" : "", "text/plain");
  }
  const json message = json::parse(request.body, nullptr, false);
  if (!message.is_object()) {
    return Reply::plain(400, "Bad Request", "the body is not a casp JSON message\n", "text/plain");
  }
  const std::string ex = textOf(message, "exchangeIdentification").value_or("");
  const std::string serviceType = textOf(message, "serviceType").value_or("");
  const json req = message.contains("request") ? message.at("request") : json::object();
  const bool card = kCardServices.count(serviceType) > 0 || serviceType == "Card Auth" ||
                    serviceType == "BalanceInquiry";

  std::vector<std::string> texts;
  if (card) {
    texts.push_back(notification(ex, serial, "CRDI", "Card inserted"));
    texts.push_back(notification(ex, serial, "ONPR", "Online processing"));
  } else {
    texts.push_back(notification(ex, serial, "INIT", "Request received"));
    texts.push_back(notification(ex, serial, "COMP", "Processing"));
  }
  texts.push_back(fmt::format(
      kResponseFormat, fmt::arg("ex", jsonEscape(ex)), fmt::arg("time", isoNow()),
      fmt::arg("serial", jsonEscape(serial)),
      fmt::arg("recipient", jsonEscape(textOf(message, "initiatingPartyId").value_or(""))),
      fmt::arg("serviceType", jsonEscape(serviceType)),
      fmt::arg("body", responseBody(serviceType, ex, req, serial, ledger))));
  return Reply::messages(texts, gap);
}

}  // namespace veltrix::sim
