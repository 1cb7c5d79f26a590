#include "veltrix/builders/balance_inquiry_builder.h"

#include <vector>

namespace veltrix::model {
namespace {

template <typename T>
void append(std::optional<std::vector<T>>& list, std::optional<T> element) {
  if (!element) return;
  if (!list) list.emplace();
  list->push_back(std::move(*element));
}

}  // namespace

BalanceInquiryParamBuilder& BalanceInquiryParamBuilder::addFee(std::optional<DetailedAmount> fee) {
  append(financialBuilder()._fees, std::move(fee));
  return *this;
}

BalanceInquiryParamBuilder& BalanceInquiryParamBuilder::addValueAddedTax(
    std::optional<DetailedAmount> tax) {
  append(financialBuilder()._valueAddedTaxs, std::move(tax));
  return *this;
}

BalanceInquiryParamBuilder& BalanceInquiryParamBuilder::addMobilePhone(
    std::optional<std::string> phone) {
  append(financialBuilder()._mobilePhone, std::move(phone));
  return *this;
}

BalanceInquiryParam BalanceInquiryParamBuilder::build() const {
  BalanceInquiryParam param;
  financialBuilder().applyBaseFinancialParamsTo(param);
  param.accountReference = _accountReference;
  return param;
}

BalanceInquiryParam BalanceInquiryParam::makeWithBuilder(
    const std::function<void(BalanceInquiryParamBuilder&)>& configure) {
  return builder_detail::makeWith(configure);
}

}  // namespace veltrix::model
