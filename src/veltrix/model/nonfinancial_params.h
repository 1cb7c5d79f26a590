// The request parameters of the services that move no money: abort,
// reprint, message status, card authentication, display, print, NFC tag and
// transmit message, and ActionMessageParam, one message of a display
// request. Field access only; the request encoders decide what each message
// carries.
//
// Plain values like their base (request_base.h): no validation, no thread
// affinity.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/model/codes.h"
#include "veltrix/model/request_base.h"

namespace veltrix::model {

class AbortParamBuilder;
class ReprintParamBuilder;
class MessageStatusParamBuilder;
class CardAuthParamBuilder;
class DisplayParamBuilder;
class PrintParamBuilder;
class NFCTagParamBuilder;
class TransmitMessageParamBuilder;
class ActionMessageParamBuilder;

// The makeWithBuilder of every class here is defined with the request
// parameter builders.

// One message of a display request; not a request of its own.
struct ActionMessageParam {
  OutputFormatCode format{};                      // BARC (0) .. ESC (6)
  std::optional<std::string> messageContent;      // in the format above
  InformationQualifyCode informationQualifier{};  // CUSA (0) .. VCHR (9)
  ReceiptOutputTargetCode messageDestination{};   // CDSP (0) .. VCHR (9)
  std::int64_t minimumDisplayTime = 0;
  bool responseRequiredFlag = false;
  // Texts of a dialog on the terminal.
  std::optional<std::string> title;
  std::optional<std::string> positiveButtonText;
  std::optional<std::string> negativeButtonText;

  bool operator==(const ActionMessageParam&) const = default;

  static ActionMessageParam makeWithBuilder(
      const std::function<void(ActionMessageParamBuilder&)>& configure = {});
};

class AbortParam : public BaseParams {
 public:
  bool operator==(const AbortParam&) const = default;

  std::optional<std::string> exchangeIdentification;
  // The exchange identifier that the library gave the host for the request
  // to abort; the facade looks the exchange up by it.
  std::optional<std::string> orgExchangeIdentification;
  std::optional<std::string> orgTransactionReference;
  std::optional<std::string> abortReason;  // free text
  bool transactionSuccess = false;

  static AbortParam makeWithBuilder(const std::function<void(AbortParamBuilder&)>& configure = {});
};

class ReprintParam : public BaseParams {
 public:
  bool operator==(const ReprintParam&) const = default;

  std::optional<std::string> exchangeIdentification;
  std::optional<std::string> orgExchangeIdentification;
  std::optional<std::string> initiatingPartyIdentification;
  // Receipt document codes; the encoder keeps only the non-empty ones.
  std::optional<std::vector<std::string>> documentQualifier;
  std::optional<std::string> orgTransactionReference;
  TransactionTypeCode orgTransactionType{};

  static ReprintParam makeWithBuilder(
      const std::function<void(ReprintParamBuilder&)>& configure = {});
};

class MessageStatusParam : public BaseParams {
 public:
  bool operator==(const MessageStatusParam&) const = default;

  std::optional<std::string> orgExchangeIdentification;
  std::optional<std::string> initiatingPartyIdentification;
  bool receiptReprintFlag = false;
  // Written to the message unchanged.
  std::optional<std::vector<std::string>> documentQualifier;
  std::optional<std::string> orgTransactionReference;
  TransactionTypeCode orgTransactionType{};

  static MessageStatusParam makeWithBuilder(
      const std::function<void(MessageStatusParamBuilder&)>& configure = {});
};

// Carries the base fields only.
class CardAuthParam : public BaseParams {
 public:
  bool operator==(const CardAuthParam&) const = default;

  static CardAuthParam makeWithBuilder(
      const std::function<void(CardAuthParamBuilder&)>& configure = {});
};

class DisplayParam : public BaseParams {
 public:
  bool operator==(const DisplayParam&) const = default;

  std::int64_t createTime = 0;  // never sent
  std::optional<std::vector<ActionMessageParam>> displayContents;

  static DisplayParam makeWithBuilder(
      const std::function<void(DisplayParamBuilder&)>& configure = {});
};

class PrintParam : public BaseParams {
 public:
  bool operator==(const PrintParam&) const = default;

  OutputFormatCode format{};
  std::optional<std::string> content;

  static PrintParam makeWithBuilder(const std::function<void(PrintParamBuilder&)>& configure = {});
};

class NFCTagParam : public BaseParams {
 public:
  bool operator==(const NFCTagParam&) const = default;

  std::optional<std::string> messageContent;
  std::int64_t detectCount = 0;
  std::int64_t maximumWaitingTime = 0;  // an integer here, text in TransmitMessageParam

  static NFCTagParam makeWithBuilder(
      const std::function<void(NFCTagParamBuilder&)>& configure = {});
};

class TransmitMessageParam : public BaseParams {
 public:
  bool operator==(const TransmitMessageParam&) const = default;

  std::optional<std::string> destinationAddress;
  std::optional<std::string> maximumTransmissionTime;
  std::optional<std::string> messageToSend;
  std::optional<std::string> maximumWaitingTime;  // text here, an integer in NFCTagParam

  static TransmitMessageParam makeWithBuilder(
      const std::function<void(TransmitMessageParamBuilder&)>& configure = {});
};

}  // namespace veltrix::model
