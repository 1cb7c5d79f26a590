#include "veltrix/transport/http_error.h"

#include <fmt/format.h>

#include "veltrix/platform/url_error.h"

namespace veltrix::transport {

HttpError HttpError::url(std::int64_t code) {
  return HttpError{kURLErrorDomain, code, platform::url_error::describe(code)};
}

std::string HttpError::toString() const {
  return fmt::format("Error Domain={} Code={} \"{}\"", domain, code, description);
}

}  // namespace veltrix::transport
