// The builders of the print, display, abort and card authentication
// requests and of ActionMessageParam, one message of a display request;
// reached through the makeWithBuilder of PrintParam, DisplayParam,
// AbortParam, CardAuthParam and ActionMessageParam.
//
// Each request builder builds from the five base fields of its base builder
// and its own fields. Only the abort builder has a run-in-background flag;
// print, display and card authentication requests never run in the
// background. No builder sets DisplayParam::createTime or the dialog texts
// of ActionMessageParam (title and button texts): the host sets those on
// the built object.
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

class PrintParamBuilder : public ServiceBuilder<PrintParamBuilder> {
 public:
  OutputFormatCode _format{};
  std::optional<std::string> _content;

  PrintParamBuilder& format(OutputFormatCode v) { return store(_format, v); }
  PrintParamBuilder& content(std::optional<std::string> v) { return store(_content, std::move(v)); }

  PrintParam build() const;
};

// Its list of messages is never absent: it starts empty.
class DisplayParamBuilder : public ServiceBuilder<DisplayParamBuilder> {
 public:
  std::vector<ActionMessageParam> _displayContents;

  // Replaces the list; an absent list empties it.
  DisplayParamBuilder& displayContents(std::optional<std::vector<ActionMessageParam>> v) {
    return store(_displayContents, v ? std::move(*v) : std::vector<ActionMessageParam>{});
  }
  // Appends a present message; an absent one changes nothing.
  DisplayParamBuilder& addDisplayContent(std::optional<ActionMessageParam> v) {
    if (v) _displayContents.push_back(std::move(*v));
    return *this;
  }

  DisplayParam build() const;
};

class ActionMessageParamBuilder : public ChainSetterSupport<ActionMessageParamBuilder> {
 public:
  OutputFormatCode _format{};
  std::optional<std::string> _messageContent;
  InformationQualifyCode _informationQualifier{};
  ReceiptOutputTargetCode _messageDestination{};
  std::int64_t _minimumDisplayTime = 0;
  // A response is required exactly when a text is held, whatever the text
  // ("" and "0" included).
  std::optional<std::string> _responseRequiredFlag;

  ActionMessageParamBuilder& format(OutputFormatCode v) { return store(_format, v); }
  ActionMessageParamBuilder& messageContent(std::optional<std::string> v) {
    return store(_messageContent, std::move(v));
  }
  ActionMessageParamBuilder& informationQualifier(InformationQualifyCode v) {
    return store(_informationQualifier, v);
  }
  ActionMessageParamBuilder& messageDestination(ReceiptOutputTargetCode v) {
    return store(_messageDestination, v);
  }
  ActionMessageParamBuilder& minimumDisplayTime(std::int64_t v) {
    return store(_minimumDisplayTime, v);
  }
  ActionMessageParamBuilder& responseRequiredFlag(std::optional<std::string> v) {
    return store(_responseRequiredFlag, std::move(v));
  }

  ActionMessageParam build() const;
};

class AbortParamBuilder : public ServiceBuilder<AbortParamBuilder> {
 public:
  std::optional<std::string> _exchangeIdentification;
  bool _runInBackground = false;
  // The exchange identifier of the request to abort.
  std::optional<std::string> _orgExchangeIdentification;
  std::optional<std::string> _orgTransactionReference;
  std::optional<std::string> _abortReason;
  bool _transactionSuccess = false;

  AbortParamBuilder& exchangeIdentification(std::optional<std::string> v) {
    return store(_exchangeIdentification, std::move(v));
  }
  AbortParamBuilder& runInBackground(bool v) { return store(_runInBackground, v); }
  AbortParamBuilder& orgExchangeIdentification(std::optional<std::string> v) {
    return store(_orgExchangeIdentification, std::move(v));
  }
  AbortParamBuilder& orgTransactionReference(std::optional<std::string> v) {
    return store(_orgTransactionReference, std::move(v));
  }
  AbortParamBuilder& abortReason(std::optional<std::string> v) {
    return store(_abortReason, std::move(v));
  }
  AbortParamBuilder& transactionSuccess(bool v) { return store(_transactionSuccess, v); }

  AbortParam build() const;
};

// The base setters only.
class CardAuthParamBuilder : public ServiceBuilder<CardAuthParamBuilder> {
 public:
  CardAuthParam build() const;
};

}  // namespace veltrix::model
