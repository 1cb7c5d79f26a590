#include "veltrix/platform/locale.h"

#include <unicode/ucurr.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <array>

namespace veltrix::platform {

std::optional<std::string> currencyDisplayName(std::string_view isoCode) {
  if (isoCode.size() != 3) return std::nullopt;
  std::array<UChar, 4> code{};
  for (std::size_t i = 0; i < 3; ++i) {
    const char c = isoCode[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return std::nullopt;
    code[i] = static_cast<UChar>(c);
  }

  UErrorCode status = U_ZERO_ERROR;
  UBool isChoiceFormat = false;
  int32_t length = 0;
  const UChar* name = ucurr_getName(code.data(), uloc_getDefault(), UCURR_LONG_NAME,
                                    &isChoiceFormat, &length, &status);
  // ICU answers with the code itself (or the root locale's entry, which is
  // the code too) and a default warning when the locale has no name.
  if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING || name == nullptr || length <= 0) {
    return std::nullopt;
  }

  UErrorCode convert = U_ZERO_ERROR;
  int32_t needed = 0;
  u_strToUTF8(nullptr, 0, &needed, name, length, &convert);
  if (convert != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(convert)) return std::nullopt;
  std::string out(static_cast<std::size_t>(needed), '\0');
  convert = U_ZERO_ERROR;
  u_strToUTF8(out.data(), needed, nullptr, name, length, &convert);
  if (U_FAILURE(convert)) return std::nullopt;
  return out;
}

void setDefaultLocaleForTesting(std::string_view localeId) {
  UErrorCode status = U_ZERO_ERROR;
  if (localeId.empty()) {
    uloc_setDefault(nullptr, &status);
  } else {
    const std::string id(localeId);
    uloc_setDefault(id.c_str(), &status);
  }
}

std::string defaultLocaleId() { return uloc_getDefault(); }

}  // namespace veltrix::platform
