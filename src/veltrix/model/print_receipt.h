// One receipt that a terminal returns in a result's printReceipts list.
//
// A plain value with no thread affinity; the readers are pure and never log
// or throw.
#pragma once

#include <optional>
#include <string>

#include "veltrix/model/codes.h"
#include "veltrix/platform/json.h"

namespace veltrix::model {

struct PrintReceipt {
  ReceiptOutputTargetCode documentQualifier{};  // wire key "documentQualifier"
  OutputFormatCode format{};                    // wire key "format"
  // The receipt content. On the wire its key is "outputContent"; the JSON
  // forms of the results print it as "messageContent".
  std::optional<std::string> messageContent;

  bool operator==(const PrintReceipt&) const = default;

  // A new receipt from one element of a "printReceipts" array: the two codes
  // are matched case-insensitively, with MRCP and TEXT for missing or unknown
  // ones; the content is read from "outputContent". Anything but an object
  // (null included, which stands for a missing value) gives nullopt, without
  // a log: the list readers skip such elements silently.
  static std::optional<PrintReceipt> parseFromDictionary(const platform::Json& value);
  // A text as it is, a number or boolean as its decimal text, anything else
  // absent.
  static std::optional<std::string> safeString(const platform::Json& value);
};

}  // namespace veltrix::model
