// The JSON helpers every received message goes through: the strict and the
// fragment parse, writing a value back and reading it again, the lenient
// readers, and the parse a loan stands in for.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "veltrix/platform/json.h"

using veltrix::platform::Json;
namespace vp = veltrix::platform;

namespace {

// Depth of the value, without recursion.
std::size_t depthOf(const Json& value) {
  std::size_t deepest = 0;
  std::vector<std::pair<const Json*, std::size_t>> stack{{&value, 1}};
  while (!stack.empty()) {
    const auto [node, level] = stack.back();
    stack.pop_back();
    if (!node->is_structured()) continue;
    deepest = std::max(deepest, level);
    for (const Json& child : *node) stack.emplace_back(&child, level + 1);
  }
  return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veltrix::fuzz::silenceLog();
  const std::string_view text = veltrix::fuzz::asText(data, size);

  std::string error;
  const std::optional<Json> strict = vp::parseJson(text, &error);
  const std::optional<Json> fragment = vp::parseJsonFragment(text);
  if (strict) {
    VELTRIX_FUZZ_CHECK(strict->is_object() || strict->is_array());
    VELTRIX_FUZZ_CHECK(fragment && *fragment == *strict);
    VELTRIX_FUZZ_CHECK(veltrix::fuzz::isUtf8(text));
  }
  if (!fragment) return 0;
  VELTRIX_FUZZ_CHECK(depthOf(*fragment) <= vp::kMaxJsonDepth);

  // What was read can be written, and reads back the same.
  const std::optional<std::string> compact = vp::dumpJson(*fragment);
  VELTRIX_FUZZ_CHECK(compact.has_value());
  const std::optional<Json> again = vp::parseJsonFragment(*compact);
  VELTRIX_FUZZ_CHECK(again.has_value());
  VELTRIX_FUZZ_CHECK(vp::dumpJson(*again) == compact);
  const std::optional<std::string> pretty = vp::dumpJsonPretty(*fragment);
  VELTRIX_FUZZ_CHECK(pretty && vp::parseJsonFragment(*pretty) == again);

  (void)vp::jsonNumberText(*fragment);
  (void)vp::jsonText(*fragment);
  if (fragment->is_object()) {
    for (const auto& [key, member] : fragment->items()) {
      (void)vp::readText(*fragment, key);
      (void)vp::findObject(*fragment, key);
      (void)vp::findArray(*fragment, key);
      (void)vp::jsonNumberText(member);
    }
  }

  // A loan stands for the parse of its own text only, once.
  {
    vp::ParsedJsonLoan loan(text, *fragment);
    const std::optional<Json> lent = vp::parseJsonFragment(text);
    VELTRIX_FUZZ_CHECK(lent && *lent == *fragment);
  }
  return 0;
}
