// BaseFinancialParamBuilder, the builder of the fields shared by the eight
// card-transaction requests, and FinancialBuilder<B>, the base of the eight
// builders of those requests, which owns one and forwards the 28 base and
// financial setters to it.
//
// Plain values used on the caller's thread, without locks. A builder owns
// its inner builders for its whole life; the built parameter object owns
// copies of everything.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/builders/chain_setters.h"
#include "veltrix/model/codes.h"
#include "veltrix/model/request_base.h"

namespace veltrix::model {

class BaseFinancialParamBuilder : public FinancialChainSetters<BaseFinancialParamBuilder> {
 public:
  // The base fields live in baseBuilder(); these are the financial ones.
  std::optional<std::vector<DetailedAmount>> _fees;
  std::optional<std::vector<DetailedAmount>> _valueAddedTaxs;
  std::optional<std::string> _additionalSaleData;
  std::optional<std::string> _additionalSaleData1;
  std::optional<std::string> _additionalSaleData2;
  std::optional<std::string> _cardBrand;
  CardDataReadingCode _cardDataEntryMode{};
  bool _forceOnlineFlag = false;
  bool _partialApproval = false;
  std::optional<std::vector<ReceiptConstructEntry>> _receiptConstruct;
  std::optional<std::vector<std::string>> _mobilePhone;
  std::optional<std::string> _emailAddress;
  std::optional<std::string> _merchantIdentification;
  std::optional<std::string> _merchantIdentificationName;
  std::optional<std::string> _poiIdentificationId;
  std::optional<std::string> _tokenIdentification;
  bool _requiredESignFlag = false;
  std::optional<std::string> _exchangeIdentification;  // never applied
  bool _runInBackground = false;
  AttendanceContextCode _attendanceContext{};
  std::optional<std::string> _acquireManagerPwd;

  // The base fields. Its own run-in-background flag, reachable only as
  // baseBuilder().runInBackground(...), is or-ed with _runInBackground.
  BaseParamsBuilder& baseBuilder() { return baseBuilder_; }
  const BaseParamsBuilder& baseBuilder() const { return baseBuilder_; }

  // Sets on `param` the five base fields, the run-in-background flag and
  // the 19 financial fields; every other field of `param` is left alone.
  void applyBaseFinancialParamsTo(BaseFinancialParam& param) const;

 private:
  BaseParamsBuilder baseBuilder_;
};

// A builder of a subclass of BaseFinancialParam.
template <typename B>
class FinancialBuilder : public FinancialChainSetters<B> {
 public:
  BaseFinancialParamBuilder& financialBuilder() { return financialBuilder_; }
  const BaseFinancialParamBuilder& financialBuilder() const { return financialBuilder_; }

 private:
  BaseFinancialParamBuilder financialBuilder_;
};

}  // namespace veltrix::model
