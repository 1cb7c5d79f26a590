#include "veltrix/platform/url_error.h"

#include <fmt/format.h>

namespace veltrix::platform::url_error {

std::string describe(std::int64_t code) {
  switch (code) {
    case kCancelled:
      return "cancelled";
    case kBadURL:
      return "bad URL";
    case kTimedOut:
      return "The request timed out.";
    case kUnsupportedURL:
      return "unsupported URL";
    case kCannotFindHost:
      return "A server with the specified hostname could not be found.";
    case kCannotConnectToHost:
      return "Could not connect to the server.";
    case kNetworkConnectionLost:
      return "The network connection was lost.";
    case kNotConnectedToInternet:
      return "The Internet connection appears to be offline.";
    case kBadServerResponse:
      return "bad server response";
    case kCannotDecodeContentData:
      return "cannot decode content data";
    case kDataLengthExceedsMaximum:
      return "resource exceeds maximum size";
    case kSecureConnectionFailed:
      return "An SSL error has occurred and a secure connection to the server cannot be made.";
    default:
      return fmt::format("URL error {}", code);
  }
}

}  // namespace veltrix::platform::url_error
