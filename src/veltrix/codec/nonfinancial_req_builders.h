// The request encoders of the services that move no money: abort, card
// authentication, display, message status, NFC tag, print and transmit
// message. Each writes the header keys of the chosen terminal service beside
// one "request" object whose last key is "runInBackground" false.
//
// They differ from the financial encoders on purpose (the terminal expects
// it): empty texts are dropped (rule of addIfNotNull below), abort, card
// authentication, display, message status and NFC tag send an unset
// transaction type as "Unknown", and the text never fails: a null service
// record gives "{}", and so does a message that cannot be written (logged).
//
// An encoder is a plain object without state, made for one request on the
// caller's thread (the facade's).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/model/nonfinancial_params.h"
#include "veltrix/model/service_records.h"
#include "veltrix/platform/json.h"

namespace veltrix::codec {

namespace detail {
// The envelope of a non-financial request: empty without a service record,
// else the header keys and, with a body, "request".
platform::Json nonFinancialMessage(const model::ServiceParams* service,
                                   std::optional<platform::Json> body);
// The indented text of `message`, or "{}" after logging `errorPrefix` and
// the reason.
std::string nonFinancialJson(const platform::Json& message, std::string_view errorPrefix);
}  // namespace detail

// `Derived` gives requestBody(const Param&), the whole body, and
// kSerializationError, the log text in front of the reason.
template <typename Derived, typename Param>
class NonFinancialReqBuilder {
 public:
  using ParamType = Param;

  // The request message as JSON text, never absent ("{}" on failure).
  std::string buildJsonWithParameters(const Param* param,
                                      const model::ServiceParams* service) const {
    return detail::nonFinancialJson(buildRequestDictionaryWithParameters(param, service),
                                    Derived::kSerializationError);
  }

  platform::Json buildRequestDictionaryWithParameters(const Param* param,
                                                      const model::ServiceParams* service) const {
    std::optional<platform::Json> body;
    if (param != nullptr && service != nullptr) {
      body = static_cast<const Derived&>(*this).requestBody(*param);
    }
    return detail::nonFinancialMessage(service, std::move(body));
  }

  // Writes a present text that is not empty.
  static void addIfNotNull(platform::Json& body, std::string_view key,
                           const std::optional<std::string>& value) {
    if (value && !value->empty()) body[key] = *value;
  }
  // Writes a present list, the empty list included.
  static void addIfNotNull(platform::Json& body, std::string_view key,
                           const std::optional<std::vector<std::string>>& value) {
    if (value) body[key] = *value;
  }
};

class AbortReqBuilder : public NonFinancialReqBuilder<AbortReqBuilder, model::AbortParam> {
 public:
  static constexpr std::string_view kSerializationError = "JSON serialization error: ";

  // Empty for a null parameter.
  platform::Json buildBodyWithAbortParam(const model::AbortParam* param) const;
  platform::Json requestBody(const model::AbortParam& param) const;
};

class CardAuthReqBuilder : public NonFinancialReqBuilder<CardAuthReqBuilder, model::CardAuthParam> {
 public:
  static constexpr std::string_view kSerializationError =
      "CardAuthReqBuilder JSON serialization error: ";

  platform::Json buildBodyWithCardAuthParam(const model::CardAuthParam* param) const;
  platform::Json requestBody(const model::CardAuthParam& param) const;
};

class DisplayReqBuilder : public NonFinancialReqBuilder<DisplayReqBuilder, model::DisplayParam> {
 public:
  static constexpr std::string_view kSerializationError =
      "DisplayReqBuilder JSON serialization error: ";

  platform::Json buildBodyWithDisplayParam(const model::DisplayParam* param) const;
  platform::Json requestBody(const model::DisplayParam& param) const;
  // "displayContents" when the list holds a message.
  void addDisplayContentsIfNeeded(platform::Json& body, const model::DisplayParam& param) const;
  // One display message: unset codes left out, "minimumDisplayTime" and
  // "responseRequiredFlag" always, texts when present (empty included).
  platform::Json toDictionary(const model::ActionMessageParam& message) const;
};

class MessageStatusReqBuilder
    : public NonFinancialReqBuilder<MessageStatusReqBuilder, model::MessageStatusParam> {
 public:
  static constexpr std::string_view kSerializationError =
      "MessageStatusReqBuilder JSON serialization error: ";

  platform::Json buildBodyWithMessageStatusParam(const model::MessageStatusParam* param) const;
  platform::Json requestBody(const model::MessageStatusParam& param) const;
};

class NFCTagReqBuilder : public NonFinancialReqBuilder<NFCTagReqBuilder, model::NFCTagParam> {
 public:
  static constexpr std::string_view kSerializationError =
      "NFCTagReqBuilder JSON serialization error: ";

  platform::Json buildBodyWithNFCTagParam(const model::NFCTagParam* param) const;
  platform::Json requestBody(const model::NFCTagParam& param) const;
};

// Print and transmit message leave an unset transaction type and account
// type out, and keep empty texts.
class PrintReqBuilder : public NonFinancialReqBuilder<PrintReqBuilder, model::PrintParam> {
 public:
  static constexpr std::string_view kSerializationError =
      "PrintReqBuilder JSON serialization error: ";

  // The body; empty for a null parameter.
  platform::Json toDictionary(const model::PrintParam* param) const;
  platform::Json requestBody(const model::PrintParam& param) const;
};

class TransmitMessageReqBuilder
    : public NonFinancialReqBuilder<TransmitMessageReqBuilder, model::TransmitMessageParam> {
 public:
  static constexpr std::string_view kSerializationError =
      "TransmitMessageReqBuilder JSON serialization error: ";

  // The four texts are passed unchanged (not Base64-encoded).
  platform::Json requestBody(const model::TransmitMessageParam& param) const;
};

}  // namespace veltrix::codec
