// The builders of the message-service requests: NFC tag, transmit message,
// message status and reprint, reached through the makeWithBuilder of
// NFCTagParam, TransmitMessageParam, MessageStatusParam and ReprintParam.
//
// Each builds its request from the five base fields of its base builder and
// its own fields. The run-in-background flag comes from the builder's own
// setter (NFC tag, message status, reprint), never from the base builder; a
// transmit message never runs in the background.
//
// Plain values used on the caller's thread, without locks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/builders/chain_setters.h"
#include "veltrix/model/codes.h"
#include "veltrix/model/nonfinancial_params.h"

namespace veltrix::model {

class NFCTagParamBuilder : public ServiceBuilder<NFCTagParamBuilder> {
 public:
  bool _runInBackground = false;
  std::optional<std::string> _messageContent;
  std::int64_t _maximumWaitingTime = 0;
  std::int64_t _detectCount = 0;
  // Never applied: the facade makes every request's exchange identifier.
  std::optional<std::string> _exchangeIdentification;

  NFCTagParamBuilder& runInBackground(bool v) { return store(_runInBackground, v); }
  NFCTagParamBuilder& messageContent(std::optional<std::string> v) {
    return store(_messageContent, std::move(v));
  }
  NFCTagParamBuilder& maximumWaitingTime(std::int64_t v) { return store(_maximumWaitingTime, v); }
  NFCTagParamBuilder& detectCount(std::int64_t v) { return store(_detectCount, v); }
  NFCTagParamBuilder& exchangeIdentification(std::optional<std::string> v) {
    return store(_exchangeIdentification, std::move(v));
  }

  NFCTagParam build() const;
};

// Both time limits are text, passed through unchanged.
class TransmitMessageParamBuilder : public ServiceBuilder<TransmitMessageParamBuilder> {
 public:
  std::optional<std::string> _destinationAddress;
  std::optional<std::string> _maximumTransmissionTime;
  std::optional<std::string> _messageToSend;
  std::optional<std::string> _maximumWaitingTime;

  TransmitMessageParamBuilder& destinationAddress(std::optional<std::string> v) {
    return store(_destinationAddress, std::move(v));
  }
  TransmitMessageParamBuilder& maximumTransmissionTime(std::optional<std::string> v) {
    return store(_maximumTransmissionTime, std::move(v));
  }
  TransmitMessageParamBuilder& messageToSend(std::optional<std::string> v) {
    return store(_messageToSend, std::move(v));
  }
  TransmitMessageParamBuilder& maximumWaitingTime(std::optional<std::string> v) {
    return store(_maximumWaitingTime, std::move(v));
  }

  TransmitMessageParam build() const;
};

class MessageStatusParamBuilder : public ServiceBuilder<MessageStatusParamBuilder> {
 public:
  std::optional<std::string> _orgExchangeIdentification;
  std::optional<std::string> _initiatingPartyIdentification;
  bool _receiptReprintFlag = false;
  std::optional<std::vector<std::string>> _documentQualifier;
  std::optional<std::string> _orgTransactionReference;
  TransactionTypeCode _orgTransactionType{};
  bool _runInBackground = false;

  MessageStatusParamBuilder& orgExchangeIdentification(std::optional<std::string> v) {
    return store(_orgExchangeIdentification, std::move(v));
  }
  MessageStatusParamBuilder& initiatingPartyIdentification(std::optional<std::string> v) {
    return store(_initiatingPartyIdentification, std::move(v));
  }
  MessageStatusParamBuilder& receiptReprintFlag(bool v) { return store(_receiptReprintFlag, v); }
  // An absent list is stored as an empty one.
  MessageStatusParamBuilder& documentQualifier(std::optional<std::vector<std::string>> v) {
    return store(_documentQualifier, builder_detail::orEmpty(std::move(v)));
  }
  // Appends a present text (the empty one included) at the end of the list;
  // the list is present afterwards even when `v` is absent.
  MessageStatusParamBuilder& addDocumentQualifier(std::optional<std::string> v);
  MessageStatusParamBuilder& orgTransactionReference(std::optional<std::string> v) {
    return store(_orgTransactionReference, std::move(v));
  }
  MessageStatusParamBuilder& orgTransactionType(TransactionTypeCode v) {
    return store(_orgTransactionType, v);
  }
  MessageStatusParamBuilder& runInBackground(bool v) { return store(_runInBackground, v); }

  MessageStatusParam build() const;
};

// Unlike the NFC tag builder's, its exchange identification reaches the
// request.
class ReprintParamBuilder : public ServiceBuilder<ReprintParamBuilder> {
 public:
  std::optional<std::string> _exchangeIdentification;
  bool _runInBackground = false;
  std::optional<std::string> _orgExchangeIdentification;
  std::optional<std::string> _initiatingPartyIdentification;
  std::optional<std::vector<std::string>> _documentQualifier;
  std::optional<std::string> _orgTransactionReference;
  TransactionTypeCode _orgTransactionType{};

  ReprintParamBuilder& exchangeIdentification(std::optional<std::string> v) {
    return store(_exchangeIdentification, std::move(v));
  }
  ReprintParamBuilder& runInBackground(bool v) { return store(_runInBackground, v); }
  ReprintParamBuilder& orgExchangeIdentification(std::optional<std::string> v) {
    return store(_orgExchangeIdentification, std::move(v));
  }
  ReprintParamBuilder& initiatingPartyIdentification(std::optional<std::string> v) {
    return store(_initiatingPartyIdentification, std::move(v));
  }
  // An absent list is stored as an empty one.
  ReprintParamBuilder& documentQualifier(std::optional<std::vector<std::string>> v) {
    return store(_documentQualifier, builder_detail::orEmpty(std::move(v)));
  }
  // As MessageStatusParamBuilder::addDocumentQualifier.
  ReprintParamBuilder& addDocumentQualifier(std::optional<std::string> v);
  ReprintParamBuilder& orgTransactionReference(std::optional<std::string> v) {
    return store(_orgTransactionReference, std::move(v));
  }
  ReprintParamBuilder& orgTransactionType(TransactionTypeCode v) {
    return store(_orgTransactionType, v);
  }

  ReprintParam build() const;
};

}  // namespace veltrix::model
