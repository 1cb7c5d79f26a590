// UTF-8 well-formedness, for every layer that takes text from outside.
// Stateless and thread-safe.
#pragma once

#include <cstddef>
#include <string_view>

namespace veltrix::platform {

// Length of the well-formed UTF-8 sequence that starts at byte `i` of `text`
// (no overlong forms, no surrogates, nothing beyond U+10FFFF); 0 when none
// starts there.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i);

// True when `text` is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

}  // namespace veltrix::platform
