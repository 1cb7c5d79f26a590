// Numeric error codes of URL loading, as the platform's URL error domain
// numbers them. The transports, the probes and the facade's logs share
// these numbers, so a failure reads the same whichever layer reports it.
#pragma once

#include <cstdint>
#include <string>

namespace veltrix::platform::url_error {

inline constexpr std::int64_t kUnknown = -1;
inline constexpr std::int64_t kCancelled = -999;
inline constexpr std::int64_t kBadURL = -1000;
inline constexpr std::int64_t kTimedOut = -1001;
inline constexpr std::int64_t kUnsupportedURL = -1002;
inline constexpr std::int64_t kCannotFindHost = -1003;
inline constexpr std::int64_t kCannotConnectToHost = -1004;
inline constexpr std::int64_t kNetworkConnectionLost = -1005;
inline constexpr std::int64_t kNotConnectedToInternet = -1009;
inline constexpr std::int64_t kBadServerResponse = -1011;
inline constexpr std::int64_t kUserCancelledAuthentication = -1012;
inline constexpr std::int64_t kUserAuthenticationRequired = -1013;
inline constexpr std::int64_t kCannotDecodeContentData = -1016;
inline constexpr std::int64_t kDataLengthExceedsMaximum = -1103;
inline constexpr std::int64_t kSecureConnectionFailed = -1200;

// A short English description of `code`, for logs and error texts.
std::string describe(std::int64_t code);

}  // namespace veltrix::platform::url_error
