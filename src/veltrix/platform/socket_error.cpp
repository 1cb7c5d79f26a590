#include "veltrix/platform/socket_error.h"

#include <fmt/format.h>

#include <cerrno>
#include <utility>

namespace veltrix::platform {

SocketError SocketError::posix(std::errc condition, std::string description) {
  return posix(static_cast<int>(condition), std::move(description));
}

SocketError SocketError::posix(int errnoValue, std::string description) {
  if (description.empty()) description = std::generic_category().message(errnoValue);
  return SocketError{std::string(kPosixErrorDomain), errnoValue, std::move(description)};
}

SocketError SocketError::socket(SocketErrorCode code, std::string description) {
  return SocketError{std::string(kSocketErrorDomain), static_cast<std::int64_t>(code),
                     std::move(description)};
}

bool SocketError::isPosix(std::errc condition) const {
  return domain == kPosixErrorDomain && code == static_cast<std::int64_t>(condition);
}

bool SocketError::is(SocketErrorCode c) const {
  return domain == kSocketErrorDomain && code == static_cast<std::int64_t>(c);
}

std::string SocketError::toString() const {
  if (domain == kPosixErrorDomain) {
    if (auto name = errnoName(code)) return fmt::format("{} ({})", *name, description);
    return fmt::format("errno {} ({})", code, description);
  }
  return fmt::format("{} error {} ({})", domain, code, description);
}

std::optional<std::string_view> errnoName(std::int64_t errnoValue) {
  struct Entry {
    int value;
    std::string_view name;
  };
#define VELTRIX_ERRNO(name) \
  Entry { name, #name }
  static constexpr Entry kTable[] = {
      VELTRIX_ERRNO(EPERM),        VELTRIX_ERRNO(ENOENT),
      VELTRIX_ERRNO(EINTR),        VELTRIX_ERRNO(EIO),
      VELTRIX_ERRNO(EBADF),        VELTRIX_ERRNO(EAGAIN),
      VELTRIX_ERRNO(ENOMEM),       VELTRIX_ERRNO(EACCES),
      VELTRIX_ERRNO(EFAULT),       VELTRIX_ERRNO(EBUSY),
      VELTRIX_ERRNO(EEXIST),       VELTRIX_ERRNO(EINVAL),
      VELTRIX_ERRNO(ENFILE),       VELTRIX_ERRNO(EMFILE),
      VELTRIX_ERRNO(ENOSPC),       VELTRIX_ERRNO(EPIPE),
      VELTRIX_ERRNO(ENOTSOCK),     VELTRIX_ERRNO(EDESTADDRREQ),
      VELTRIX_ERRNO(EMSGSIZE),     VELTRIX_ERRNO(EPROTOTYPE),
      VELTRIX_ERRNO(ENOPROTOOPT),  VELTRIX_ERRNO(EPROTONOSUPPORT),
      VELTRIX_ERRNO(EOPNOTSUPP),   VELTRIX_ERRNO(EAFNOSUPPORT),
      VELTRIX_ERRNO(EADDRINUSE),   VELTRIX_ERRNO(EADDRNOTAVAIL),
      VELTRIX_ERRNO(ENETDOWN),     VELTRIX_ERRNO(ENETUNREACH),
      VELTRIX_ERRNO(ENETRESET),    VELTRIX_ERRNO(ECONNABORTED),
      VELTRIX_ERRNO(ECONNRESET),   VELTRIX_ERRNO(ENOBUFS),
      VELTRIX_ERRNO(EISCONN),      VELTRIX_ERRNO(ENOTCONN),
      VELTRIX_ERRNO(ESHUTDOWN),    VELTRIX_ERRNO(ETIMEDOUT),
      VELTRIX_ERRNO(ECONNREFUSED), VELTRIX_ERRNO(EHOSTDOWN),
      VELTRIX_ERRNO(EHOSTUNREACH), VELTRIX_ERRNO(EALREADY),
      VELTRIX_ERRNO(EINPROGRESS),  VELTRIX_ERRNO(ECANCELED),
  };
#undef VELTRIX_ERRNO
  for (const Entry& e : kTable) {
    if (e.value == errnoValue) return e.name;
  }
  return std::nullopt;
}

}  // namespace veltrix::platform
