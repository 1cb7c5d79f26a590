// The pieces every text form of the results (and the JSON form of the
// requests) is made of, written once so that the printers differ only in
// their labels, order and markers.
//
// A form prints an absent text as its absent marker ("N/A", "nil", "null")
// and, inside the elements of a list, as its element marker (the empty
// string or "N/A"). An enumeration value 0 counts as absent, except where a
// printer converts a field in every case. The JSON forms leave absent
// members out instead. Everything here is pure and thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "veltrix/model/result_base.h"
#include "veltrix/platform/json.h"

namespace veltrix::model {

struct TextForm {
  std::string_view absentMarker;
  std::string_view elementMarker;

  std::string_view text(const std::optional<std::string>& value) const {
    return value ? std::string_view(*value) : absentMarker;
  }
  std::string_view elementText(const std::optional<std::string>& value) const {
    return value ? std::string_view(*value) : elementMarker;
  }
  // The code of `value`, or the absent marker for 0.
  template <typename E>
  std::string code(E value, std::string (*toCode)(E)) const {
    return value == E{} ? std::string(absentMarker) : toCode(value);
  }
  template <typename E>
  std::string elementCode(E value, std::string (*toCode)(E)) const {
    return value == E{} ? std::string(elementMarker) : toCode(value);
  }
  // The result's response and response reason codes, by code().
  std::string response(const BaseResult& r) const {
    return code(r.response, &ResponseCodeHelper::stringFromCode);
  }
  std::string responseReason(const BaseResult& r) const {
    return code(r.responseReason, &RetailerResultDetailCodeHelper::stringFromCode);
  }
  // The whole list as compact JSON on one line ("[]" when empty), or the
  // absent marker. Text that is no valid UTF-8 is replaced, not refused:
  // display text must never fail.
  std::string jsonList(const std::optional<std::vector<platform::Json>>& list) const;

  // Appends "<label>: <value>\n".
  static void line(std::string& out, std::string_view label, std::string_view value);

  // Appends "<label>: [\n", one "<indent><element>\n" per element and
  // "]<end>"; an absent or empty list appends "<label>: <absent marker><end>".
  template <typename T, typename F>
  void listBlock(std::string& out, std::string_view label,
                 const std::optional<std::vector<T>>& list, std::string_view indent, F&& element,
                 std::string_view end) const {
    out += label;
    if (!list || list->empty()) {
      out += ": ";
      out += absentMarker;
      out += end;
      return;
    }
    out += ": [\n";
    for (const T& entry : *list) {
      out += indent;
      out += element(entry);
      out += '\n';
    }
    out += ']';
    out += end;
  }
};

// The element texts of `list` joined by `separator`.
template <typename T, typename F>
std::string joinedTexts(const std::vector<T>& list, std::string_view separator, F&& element) {
  std::string out;
  bool first = true;
  for (const T& entry : list) {
    if (!first) out += separator;
    first = false;
    out += element(entry);
  }
  return out;
}

// The JSON forms: members only for present values, enumerations left out at
// 0, the object written pretty-printed.
struct JsonForm {
  static void putText(platform::Json& out, const char* key,
                      const std::optional<std::string>& value) {
    if (value) out[key] = *value;
  }
  template <typename E>
  static void putCode(platform::Json& out, const char* key, E value, std::string (*toCode)(E)) {
    if (value != E{}) out[key] = toCode(value);
  }
  // The eight printable members of BaseResult, each under its condition;
  // refualResponse is never printed.
  static void putBaseMembers(platform::Json& out, const BaseResult& result);
  // The four members of a request's base fields, each under its condition:
  // "transactionReference", "transactionType", "accountType",
  // "cashierIdentification" (runInBackground and the destination are not
  // among them).
  static void putBaseParamMembers(platform::Json& out, const BaseParams& param);
  // The receipts as an array of {"format", "messageContent",
  // "documentQualifier"}, 0 and absent as "".
  static platform::Json receiptArray(const std::vector<PrintReceipt>& receipts);
  // Pretty-printed UTF-8 text, or "Error converting to JSON: <reason>".
  static std::string text(const platform::Json& object);
  // Pretty-printed UTF-8 text; nullopt after the log line
  // "<failure>: <reason>" when it cannot be written.
  static std::optional<std::string> textOrLog(const platform::Json& object,
                                              std::string_view failure);
};

}  // namespace veltrix::model
