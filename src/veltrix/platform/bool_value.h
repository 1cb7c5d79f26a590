// The platform's reading of a value as a boolean, shared by every place that
// reads a flag from a peer's message ("endFlag" of a message header and of a
// streamed HTTP response). Stateless; any thread.
#pragma once

#include <string_view>

#include "veltrix/platform/json.h"

namespace veltrix::platform {

// True when, after leading blanks, an optional sign and leading zeros, the
// first character is 'Y', 'y', 'T', 't' or a digit 1..9 ("YES", "true",
// " +007", "1"); false otherwise ("", "no", "0", "-0", "false").
bool boolValue(std::string_view text);

// A JSON boolean as itself, a number as "not zero", a string as boolValue();
// null, arrays and objects are false.
bool jsonBoolValue(const Json& value);

}  // namespace veltrix::platform
