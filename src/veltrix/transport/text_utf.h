// Small UTF-8 helpers for the text codecs. Texts inside the library are
// UTF-8; lengths that the platform counted in UTF-16 units are counted the
// same way here. Stateless and thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "veltrix/platform/bytes.h"
#include "veltrix/platform/utf8.h"

namespace veltrix::transport {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
using platform::isValidUtf8;

// Length of `text` in UTF-16 units: a character beyond U+FFFF counts two.
// A byte that does not start a well-formed sequence counts one.
std::size_t utf16Length(std::string_view text);

// True for the platform's white-space-and-newline set: U+0009 to U+000D,
// space, NEL, no-break space and the other Unicode space separators.
bool isWhiteSpaceOrNewline(char32_t c);

// Length in bytes of the white-space-or-newline character that starts
// `text`; 0 when it starts with anything else. When given, `incomplete` is
// set if `text` ends inside a multi-byte character that may still become
// one once more bytes arrive.
std::size_t leadingWhiteSpaceLength(std::string_view text, bool* incomplete = nullptr);

// Each byte taken as an ISO-8859-1 character, written as UTF-8.
std::string latin1ToUtf8(platform::ByteView bytes);

}  // namespace veltrix::transport
