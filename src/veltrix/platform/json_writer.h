// A fast writer of indented JSON text, for the hot path of the request
// encoders. Its output is byte for byte that of dumpJsonPretty() (two-space
// indent, "key": value, UTF-8 kept, control characters escaped), but runs of
// plain text are copied in one go instead of byte by byte. Text that is not
// valid UTF-8 is an error, as in dumpJsonPretty(). Stateless; any thread.
#pragma once

#include <optional>
#include <string>

#include "veltrix/platform/json.h"

namespace veltrix::platform {

// Indented text of `value`; nullopt (and a one-line description in `error`)
// when a text in it is not valid UTF-8.
std::optional<std::string> writeJsonPretty(const Json& value, std::string* error = nullptr);

}  // namespace veltrix::platform
