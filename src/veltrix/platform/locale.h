// Names from the user's locale, through ICU. The locale is ICU's default
// locale, which follows the process environment (LC_ALL, LC_MESSAGES, LANG)
// unless a test pins it. Thread-safe, except setDefaultLocaleForTesting.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veltrix::platform {

// The long name of the currency with the ISO 4217 alphabetic code `isoCode`
// ("USD" gives "US Dollar" in English) in the default locale, as UTF-8.
// nullopt when the locale has no name for it, or `isoCode` is not three
// ASCII letters.
std::optional<std::string> currencyDisplayName(std::string_view isoCode);

// Pins the default locale ("en_US", "de_DE"); an empty id goes back to the
// one of the environment. Tests only: it must not race with lookups.
void setDefaultLocaleForTesting(std::string_view localeId);

// The id of the default locale ("en_US_POSIX" under LANG=C).
std::string defaultLocaleId();

}  // namespace veltrix::platform
