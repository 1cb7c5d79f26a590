// JSON helpers shared by the discovery wire records (discover packet,
// handshake, pairing messages). Stateless; any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "veltrix/platform/json.h"

namespace veltrix::registry {

// The wire text of a discovery record: line feeds, carriage returns, spaces
// and backslashes are removed from every string value (peers expect values
// without them), then the value is written compactly, members in the
// object's own order, "/" not escaped. Always valid JSON. nullopt (with
// `error` set) when a text is not valid UTF-8.
std::optional<std::string> discoveryJsonText(platform::Json value, std::string* error = nullptr);

// A member read leniently: a text as it is, a number as its decimal text;
// absent for every other type or a missing member.
std::optional<std::string> lenientText(const platform::Json& object, std::string_view key);

// A flag member: true for JSON true and for a non-zero number.
bool jsonFlag(const platform::Json& object, std::string_view key);

// A copy of `value` that keeps `levels` levels of arrays and objects;
// deeper ones become null. The copy recurses at most `levels` deep, so
// keeping received values this way lets no peer decide how deep later
// copies of them go.
platform::Json copyToDepth(const platform::Json& value, std::size_t levels);

// The text as a JSON object; nullopt when it is absent, empty, not JSON or
// not an object.
std::optional<platform::Json> dictionaryFromJSONString(const std::optional<std::string>& text);

}  // namespace veltrix::registry
