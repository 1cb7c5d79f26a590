// Text that comes from outside (serial numbers, models, service names and
// Bluetooth names that any device on the network or in radio range
// chooses), made safe to show.
//
// A label that shows outside text draws it through this, so a name cannot
// reorder itself or pose as another (a right-to-left override turns
// "SIM-\u202E4321" into what reads as "SIM-1234"), hide characters, or
// break its line. The text itself, as stored and sent, is never changed.
//
// Thread: any (a pure function).
#pragma once

#include <string>
#include <string_view>

namespace veltrix::ui {

// `text` as it may be shown: control characters (C0 with line feeds and
// tabs, DEL, C1), bidirectional controls (U+202A-202E, U+2066-2069, U+200E,
// U+200F, U+061C), line and paragraph separators and the zero-width
// characters that would make two names look alike (U+200B-200D, U+2060-
// 2064, U+FEFF, the soft hyphen) each show as U+FFFD, the replacement
// character, as does every byte that is not UTF-8. Everything else is kept
// as it is.
std::string displayableOutsideText(std::string_view text);

}  // namespace veltrix::ui
