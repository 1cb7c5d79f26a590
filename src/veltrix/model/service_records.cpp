#include "veltrix/model/service_records.h"

#include <fmt/format.h>

#include <string_view>

namespace veltrix::model {
namespace {

std::string_view orNull(const std::optional<std::string>& value) {
  return value ? std::string_view(*value) : std::string_view("(null)");
}

}  // namespace

std::string TransactionHeader::toString() const {
  return fmt::format(
      "<TransactionHeader: exchangeId={}, creationDateTime={}, serviceId={}, endFlag={}>",
      orNull(exchangeIdentification), orNull(creationDateTime), orNull(serviceId), endFlag ? 1 : 0);
}

}  // namespace veltrix::model
