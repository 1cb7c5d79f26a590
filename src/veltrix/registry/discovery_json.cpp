#include "veltrix/registry/discovery_json.h"

#include <utility>

namespace veltrix::registry {
namespace {

void stripStrings(platform::Json& value) {
  if (value.is_string()) {
    std::string& text = value.get_ref<std::string&>();
    std::erase_if(text, [](char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\\'; });
  } else if (value.is_structured()) {
    for (auto& member : value) stripStrings(member);
  }
}

}  // namespace

std::optional<std::string> discoveryJsonText(platform::Json value, std::string* error) {
  stripStrings(value);
  return platform::dumpJson(value, error);
}

std::optional<std::string> lenientText(const platform::Json& object, std::string_view key) {
  if (!object.is_object()) return std::nullopt;
  const auto it = object.find(key);
  if (it == object.end()) return std::nullopt;
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number()) return platform::jsonNumberText(*it);
  return std::nullopt;
}

bool jsonFlag(const platform::Json& object, std::string_view key) {
  if (!object.is_object()) return false;
  const auto it = object.find(key);
  if (it == object.end()) return false;
  if (it->is_boolean()) return it->get<bool>();
  if (it->is_number_integer()) return it->get<std::int64_t>() != 0;
  if (it->is_number_unsigned()) return it->get<std::uint64_t>() != 0;
  if (it->is_number_float()) return it->get<double>() != 0.0;
  return false;
}

platform::Json copyToDepth(const platform::Json& value, std::size_t levels) {
  if (!value.is_structured()) return value;
  if (levels == 0) return nullptr;
  if (value.is_array()) {
    platform::Json copy = platform::Json::array();
    for (const auto& element : value) copy.push_back(copyToDepth(element, levels - 1));
    return copy;
  }
  // The keys are unique already: appended without the ordered map's
  // linear search per insert.
  platform::Json copy = platform::Json::object();
  auto& members =
      static_cast<platform::Json::object_t::Container&>(copy.get_ref<platform::Json::object_t&>());
  for (const auto& [key, member] : value.get_ref<const platform::Json::object_t&>()) {
    members.emplace_back(key, copyToDepth(member, levels - 1));
  }
  return copy;
}

std::optional<platform::Json> dictionaryFromJSONString(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  std::optional<platform::Json> value = platform::parseJson(*text);
  if (!value || !value->is_object()) return std::nullopt;
  return value;
}

}  // namespace veltrix::registry
