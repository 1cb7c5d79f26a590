#include "veltrix/platform/json.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>

namespace veltrix::platform {
namespace {

std::optional<Json> parse(std::string_view text, bool allowScalar, std::string* error) {
  try {
    Json value = Json::parse(text.begin(), text.end());
    if (!allowScalar && !value.is_object() && !value.is_array()) {
      if (error) *error = "JSON text did not start with array or object";
      return std::nullopt;
    }
    return value;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
  } catch (...) {
    if (error) *error = "JSON parse failed";
  }
  return std::nullopt;
}

std::optional<std::string> dump(const Json& value, int indent, std::string* error) {
  try {
    return value.dump(indent);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
  } catch (...) {
    if (error) *error = "JSON write failed";
  }
  return std::nullopt;
}

std::string doubleText(double d) {
  if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e17) {
    return fmt::format("{}", static_cast<std::int64_t>(d));
  }
  return fmt::format("{}", d);
}

}  // namespace

std::optional<Json> parseJson(std::string_view text, std::string* error) {
  return parse(text, false, error);
}

std::optional<Json> parseJsonFragment(std::string_view text, std::string* error) {
  return parse(text, true, error);
}

std::optional<std::string> dumpJson(const Json& value, std::string* error) {
  return dump(value, -1, error);
}

std::optional<std::string> dumpJsonPretty(const Json& value, std::string* error) {
  return dump(value, 2, error);
}

std::string jsonNumberText(const Json& value) {
  switch (value.type()) {
    case Json::value_t::boolean:
      return value.get<bool>() ? "1" : "0";
    case Json::value_t::number_integer:
      return fmt::format("{}", value.get<std::int64_t>());
    case Json::value_t::number_unsigned:
      return fmt::format("{}", value.get<std::uint64_t>());
    case Json::value_t::number_float:
      return doubleText(value.get<double>());
    default:
      return "";
  }
}

std::optional<std::string> jsonText(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number() || value.is_boolean()) return jsonNumberText(value);
  return std::nullopt;
}

std::optional<std::string> readText(const Json& object, std::string_view key) {
  if (!object.is_object()) return std::nullopt;
  auto it = object.find(key);
  if (it == object.end()) return std::nullopt;
  return jsonText(*it);
}

const Json* findObject(const Json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it != object.end() && it->is_object() ? &*it : nullptr;
}

const Json* findArray(const Json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it != object.end() && it->is_array() ? &*it : nullptr;
}

}  // namespace veltrix::platform
