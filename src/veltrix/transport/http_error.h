// Errors of the HTTP road: a domain name, a numeric code and a description.
//
// The codes are those of the platform's URL loading (platform/url_error.h)
// and of the JSON reader; the domain names are short stable constants that
// the host sees as the message of a failed exchange.
#pragma once

#include <cstdint>
#include <string>

namespace veltrix::transport {

// Transport failures: time-outs, refused or lost connections, bad URLs,
// over-long messages, cancellation.
inline constexpr const char* kURLErrorDomain = "veltrix.url";
// The response's status or content type was not acceptable (-1011, -1016).
inline constexpr const char* kHTTPResponseErrorDomain = "veltrix.http.response";
// The response's text is not the JSON that was expected.
inline constexpr const char* kJSONErrorDomain = "veltrix.json";
// The JSON reader's code for text that is not (one) JSON document.
inline constexpr std::int64_t kJSONReadErrorCode = 3840;

struct HttpError {
  std::string domain;
  std::int64_t code = 0;
  std::string description;

  // An error of kURLErrorDomain with the standard description of `code`.
  static HttpError url(std::int64_t code);
  std::string toString() const;
  friend bool operator==(const HttpError&, const HttpError&) = default;
};

}  // namespace veltrix::transport
