// The service-category property list reader over arbitrary text, and a
// dictionary it read written back as a property list and read again.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "veltrix/registry/service_categories.h"

using namespace veltrix::registry;

namespace {

std::string escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veltrix::fuzz::silenceLog();
  const std::string_view xml = veltrix::fuzz::asText(data, size);
  const std::optional<StringDictionary> read = plistStringDictionary(xml, kServiceCategoryKey);
  (void)plistStringDictionary(xml, "");
  if (!read) return 0;

  std::string written =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
      "<key>ServiceCategroy</key>\n<dict>\n";
  for (const auto& [key, value] : *read) {
    written += "<key>" + escaped(key) + "</key><string>" + escaped(value) + "</string>\n";
  }
  written += "</dict>\n</dict>\n</plist>\n";
  const std::optional<StringDictionary> again = plistStringDictionary(written, kServiceCategoryKey);
  VELTRIX_FUZZ_CHECK(again && *again == *read);
  return 0;
}
