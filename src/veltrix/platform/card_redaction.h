// Masks card data in texts that are kept: the stored exchange messages, the
// log file and the platform log.
//
// The text is searched for JSON members (anywhere in it, so a log line such
// as "repuestData = {...}" is covered as well as a whole message) whose key
// is one of "pan", "track1", "track2", "track3", "cvv2", "expiryDate",
// "acquireManagerPwd". Their string or number values are replaced: "pan"
// keeps its first 6 and last 4 characters with "*" between (a value shorter
// than 13 characters, or one that is not plain ASCII, becomes "***"); the
// others become "***". Empty values, null, booleans, objects and arrays are
// left as they are. JSON that travels escaped inside a string value
// (\"pan\":\"...\") is masked too, and a value cut off by the end of the
// text is masked up to the end. Everything else stays byte for byte.
//
// Stateless and thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace veltrix::platform {

std::string redactCardData(std::string_view text);

}  // namespace veltrix::platform
