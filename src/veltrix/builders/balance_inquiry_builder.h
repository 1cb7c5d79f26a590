// BalanceInquiryParamBuilder, the builder of a balance inquiry request,
// reached through BalanceInquiryParam::makeWithBuilder. Besides the
// forwarded setters it appends single fees, taxes and phone numbers to the
// financial builder's lists.
//
// A plain value used on the caller's thread, without locks.
#pragma once

#include <optional>
#include <string>

#include "veltrix/builders/base_financial_builder.h"
#include "veltrix/model/financial_params.h"
#include "veltrix/model/request_base.h"

namespace veltrix::model {

class BalanceInquiryParamBuilder : public FinancialBuilder<BalanceInquiryParamBuilder> {
 public:
  std::optional<std::string> _accountReference;

  BalanceInquiryParamBuilder& accountReference(std::optional<std::string> v) {
    return store(_accountReference, std::move(v));
  }

  // Each appender adds one element at the end of the financial builder's
  // list, starting a list when there is none; duplicates are kept. An
  // absent element changes nothing (an absent list stays absent). A later
  // whole-list setter (fees, valueAddedTaxs, mobilePhone) replaces what the
  // appender built.
  BalanceInquiryParamBuilder& addFee(std::optional<DetailedAmount> fee);
  BalanceInquiryParamBuilder& addValueAddedTax(std::optional<DetailedAmount> tax);
  BalanceInquiryParamBuilder& addMobilePhone(std::optional<std::string> phone);

  BalanceInquiryParam build() const;
};

}  // namespace veltrix::model
