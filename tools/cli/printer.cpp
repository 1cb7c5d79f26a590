#include "cli/printer.h"

#include <fmt/format.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "veltrix/model/codes.h"

namespace veltrix::cli {

namespace {

using Json = nlohmann::ordered_json;

Json textOrNull(const std::optional<std::string>& text) { return text ? Json(*text) : Json(); }

// Output must never fail on what a terminal sent: bytes that are not UTF-8
// are replaced.
std::string dump(const Json& object) {
  return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

void Printer::emit(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Printer::exchange(const std::string& exchangeId) {
  if (json_) {
    emit(dump(Json{{"type", "exchange"}, {"exchangeId", exchangeId}}));
  } else {
    emit(fmt::format("exchange {}", exchangeId));
  }
}

void Printer::notification(const std::string& exchangeId,
                           const model::EventNotificationParam& param) {
  const std::string event = model::EventToNotifyCodeHelper::stringFromCode(param.event);
  if (json_) {
    emit(dump(Json{{"type", "notification"},
                   {"exchangeId", exchangeId},
                   {"event", event},
                   {"eventTime", textOrNull(param.eventTime)}}));
  } else {
    emit(fmt::format("notification {} {}", event, param.eventTime.value_or("-")));
  }
}

void Printer::result(std::int64_t code, const std::optional<std::string>& message, bool endFlag,
                     const std::optional<std::string>& text) {
  if (json_) {
    emit(dump(Json{{"type", "result"},
                   {"code", code},
                   {"message", textOrNull(message)},
                   {"endFlag", endFlag},
                   {"text", textOrNull(text)}}));
    return;
  }
  if (code != 0) {
    emit(fmt::format("error {} {}", code, message.value_or("")));
    return;
  }
  emit(fmt::format("result {}{}", code, endFlag ? "" : " (more to come)"));
  if (text) {
    std::string body = *text;
    while (!body.empty() && body.back() == '\n') body.pop_back();
    if (!body.empty()) emit(body);
  }
}

void Printer::service(const registry::ServiceInfo& info) {
  if (json_) {
    emit(dump(Json{{"type", "service"},
                   {"sn", textOrNull(info.deviceSn)},
                   {"model", textOrNull(info.model)},
                   {"address", textOrNull(info.address)},
                   {"parameter", textOrNull(info.parameter)},
                   {"serviceType", textOrNull(info.serviceType)},
                   {"serviceTypeName", textOrNull(info.serviceTypeName)},
                   {"serviceId", textOrNull(info.serviceId)},
                   {"serviceName", textOrNull(info.serviceName)}}));
    return;
  }
  // People get one heading per terminal, then its services.
  const std::string terminal =
      fmt::format("{}  {}  {}  {}", info.deviceSn.value_or("-"), info.model.value_or("-"),
                  info.address.value_or("-"), info.parameter.value_or("-"));
  if (terminal != lastTerminal_) {
    emit(terminal);
    lastTerminal_ = terminal;
  }
  emit(fmt::format("  {:<20} {:<8} {}", info.serviceType.value_or("-"),
                   info.serviceId.value_or("-"), info.serviceName.value_or("-")));
}

void Printer::note(const std::string& line) {
  if (!json_) emit(line);
}

}  // namespace veltrix::cli
