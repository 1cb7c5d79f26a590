// The results of the abort and reprint services, which print themselves as
// JSON text, and EventNotificationParam, the record of one event that the
// terminal notifies during an exchange (a result, despite its name).
//
// Plain values like their base (result_base.h). The receipt record they
// carry is PrintReceipt (print_receipt.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "veltrix/model/codes.h"
#include "veltrix/model/print_receipt.h"
#include "veltrix/model/result_base.h"

namespace veltrix::model {

class AbortResult : public BaseResult {
 public:
  bool operator==(const AbortResult&) const = default;

  // Pretty-printed JSON of the eight printable base fields, each only when
  // present or not 0 (a SUCC result has no "response" member);
  // "Error converting to JSON: <reason>" when a text cannot be written.
  std::string toString() const;
};

class ReprintResult : public BaseResult {
 public:
  bool operator==(const ReprintResult&) const = default;

  // The exchange whose receipts were reprinted.
  std::optional<std::string> orgExchangeIdentification;
  std::optional<std::vector<PrintReceipt>> printReceipts;

  // As AbortResult, plus, for SUCC only, "orgExchangeIdentification" and
  // the non-empty "printReceipts" array.
  std::string toString() const;
};

// Of the base fields, the notification parser fills the recipient party,
// the three codes and the additional information. No text form.
class EventNotificationParam : public BaseResult {
 public:
  bool operator==(const EventNotificationParam&) const = default;

  EventToNotifyCode event{};
  std::optional<std::string> eventTime;  // as the terminal wrote it
};

}  // namespace veltrix::model
