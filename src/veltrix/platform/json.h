// JSON helpers over nlohmann::ordered_json that never let an exception out.
//
// Parsing is strict like the platform's parser: the top level must be an
// object or an array, and invalid UTF-8 is an error. It is also safe for
// text from the network: nesting deeper than kMaxJsonDepth is refused before
// any value is built (copying and printing a value recurse once per level),
// and the cost grows with the text's length alone (a member is appended,
// not looked up among its siblings; a repeated key keeps its first place
// and takes the last value). Dumping reports values
// that cannot be written (invalid UTF-8 in a text) as an error instead of
// throwing. Readers are lenient: a text is taken as it is, a number (or a
// boolean, which the platform treats as a number) becomes its decimal text,
// anything else is absent. Stateless and thread-safe.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace veltrix::platform {

using Json = nlohmann::ordered_json;

// The deepest nesting of arrays and objects a parse accepts; the top level
// is level 1.
inline constexpr std::size_t kMaxJsonDepth = 512;

// Parses `text`. On failure returns nullopt and, when `error` is given,
// stores a one-line description.
std::optional<Json> parseJson(std::string_view text, std::string* error = nullptr);

// Parses `text` as parseJson does but also accepts a scalar at the top level.
std::optional<Json> parseJsonFragment(std::string_view text, std::string* error = nullptr);

// Lends a value parsed from `text` to the first parseJson or
// parseJsonFragment of that same text on this thread while the loan lives,
// so a message handed on as text through several layers is parsed once.
// The value stands for the whole text: a transport that cut a message from
// a stream may lend the value of the document it carries with the blanks
// around it. `text` must outlive the loan. Loans nest; a parse looks at the
// innermost one only. Lives on the stack of one thread; non-copyable.
class ParsedJsonLoan {
 public:
  ParsedJsonLoan(std::string_view text, Json value);
  ~ParsedJsonLoan();
  ParsedJsonLoan(const ParsedJsonLoan&) = delete;
  ParsedJsonLoan& operator=(const ParsedJsonLoan&) = delete;

  // The lent value when `text` is the innermost loan's text and the value is
  // still there; it is handed over once.
  static std::optional<Json> take(std::string_view text);

 private:
  std::string_view text_;
  std::optional<Json> value_;
  ParsedJsonLoan* outer_;
};

// Compact text ({"a":1}); nullopt when the value cannot be written.
std::optional<std::string> dumpJson(const Json& value, std::string* error = nullptr);
// Indented text (two spaces); nullopt when the value cannot be written.
std::optional<std::string> dumpJsonPretty(const Json& value, std::string* error = nullptr);

// Decimal text of a number: 100.0 gives "100", 12.5 gives "12.5", true "1",
// false "0". Any other type gives "".
std::string jsonNumberText(const Json& value);

// The text as a JSON string, or null when absent.
inline Json jsonTextOrNull(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

// Lenient value reader: text as is, number or boolean as jsonNumberText,
// anything else (null, object, array) absent.
std::optional<std::string> jsonText(const Json& value);
// jsonText of `object[key]`; absent when `object` is not an object or has no
// such key.
std::optional<std::string> readText(const Json& object, std::string_view key);

// The member `key` of `object` when it is an object; nullptr otherwise.
const Json* findObject(const Json& object, std::string_view key);
// The member `key` of `object` when it is an array; nullptr otherwise.
const Json* findArray(const Json& object, std::string_view key);

}  // namespace veltrix::platform
