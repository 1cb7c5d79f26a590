#include "veltrix/platform/time_format.h"

#include <fmt/format.h>

#include <cstdlib>
#include <ctime>

namespace veltrix::platform {
namespace {

struct LocalTime {
  std::tm tm{};
  int millis = 0;
};

LocalTime toLocal(std::int64_t ms) {
  std::int64_t secs = ms / 1000;
  std::int64_t rem = ms % 1000;
  if (rem < 0) {
    rem += 1000;
    secs -= 1;
  }
  LocalTime out;
  std::time_t t = static_cast<std::time_t>(secs);
  localtime_r(&t, &out.tm);
  out.millis = static_cast<int>(rem);
  return out;
}

std::string dateTime(const LocalTime& lt, char separator) {
  return fmt::format("{:04d}-{:02d}-{:02d}{}{:02d}:{:02d}:{:02d}.{:03d}", lt.tm.tm_year + 1900,
                     lt.tm.tm_mon + 1, lt.tm.tm_mday, separator, lt.tm.tm_hour, lt.tm.tm_min,
                     lt.tm.tm_sec, lt.millis);
}

}  // namespace

std::string formatLocalTimestamp(std::int64_t millisSince1970) {
  return dateTime(toLocal(millisSince1970), ' ');
}

std::string formatIso8601(std::int64_t millisSince1970) {
  LocalTime lt = toLocal(millisSince1970);
  std::string out = dateTime(lt, 'T');
  long offset = lt.tm.tm_gmtoff;
  if (offset == 0) return out + "Z";
  char sign = offset < 0 ? '-' : '+';
  offset = std::labs(offset);
  out += fmt::format("{}{:02d}:{:02d}", sign, offset / 3600, (offset % 3600) / 60);
  return out;
}

std::string millisText(double millisSince1970) { return fmt::format("{:.0f}", millisSince1970); }

}  // namespace veltrix::platform
