// Base64 for texts, shared by the codecs and the transports. Stateless and
// thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veltrix::platform {

// Base64 decoded (characters outside the alphabet are skipped, padding is
// optional) and read as UTF-8; nullopt for empty input, nothing to decode, a
// dangling character, or bytes that are not UTF-8.
std::optional<std::string> base64ToString(std::string_view text);
// The text's bytes in Base64 on one line with "=" padding; nullopt when
// empty.
std::optional<std::string> stringToBase64(std::string_view text);

}  // namespace veltrix::platform
