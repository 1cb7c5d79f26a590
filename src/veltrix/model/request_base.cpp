#include "veltrix/model/request_base.h"

namespace veltrix::model {

// --- DestinationParams ------------------------------------------------------

DestinationParams DestinationParams::makeWithBuilder(
    const std::function<void(DestinationParamsBuilder&)>& configure) {
  DestinationParamsBuilder builder;
  if (configure) configure(builder);
  return builder.build();
}

DestinationParamsBuilder& DestinationParamsBuilder::sn(std::optional<std::string> value) {
  _sn = std::move(value);
  return *this;
}

DestinationParamsBuilder& DestinationParamsBuilder::serviceId(std::optional<std::string> value) {
  _serviceId = std::move(value);
  return *this;
}

DestinationParamsBuilder& DestinationParamsBuilder::address(std::optional<std::string> value) {
  _address = std::move(value);
  return *this;
}

DestinationParamsBuilder& DestinationParamsBuilder::destination(
    std::optional<std::string> sn, std::optional<std::string> serviceId,
    std::optional<std::string> address) {
  _sn = std::move(sn);
  _serviceId = std::move(serviceId);
  _address = std::move(address);
  return *this;
}

DestinationParams DestinationParamsBuilder::build() const {
  DestinationParams params;
  params.sn = _sn;
  params.serviceId = _serviceId;
  params.address = _address;
  return params;
}

// --- BaseParams -------------------------------------------------------------

BaseParams BaseParams::makeWithBuilder(const std::function<void(BaseParamsBuilder&)>& configure) {
  BaseParamsBuilder builder;
  if (configure) configure(builder);
  return builder.build();
}

BaseParamsBuilder& BaseParamsBuilder::transactionReference(std::optional<std::string> value) {
  _transactionReference = std::move(value);
  return *this;
}

BaseParamsBuilder& BaseParamsBuilder::transactionType(TransactionTypeCode value) {
  _transactionType = value;
  return *this;
}

BaseParamsBuilder& BaseParamsBuilder::accountType(CardAccountTypeCode value) {
  _accountType = value;
  return *this;
}

BaseParamsBuilder& BaseParamsBuilder::cashierIdentification(std::optional<std::string> value) {
  _cashierIdentification = std::move(value);
  return *this;
}

BaseParamsBuilder& BaseParamsBuilder::servicesParams(std::optional<DestinationParams> value) {
  _servicesParams = std::move(value);
  return *this;
}

BaseParamsBuilder& BaseParamsBuilder::runInBackground(bool value) {
  _runInBackground = value;
  return *this;
}

BaseParamsBuilder& BaseParamsBuilder::servicesParamsWithBuilder(
    const std::function<void(DestinationParamsBuilder&)>& configure) {
  _servicesParams = DestinationParams::makeWithBuilder(configure);
  return *this;
}

BaseParamsBuilder& BaseParamsBuilder::setServicesWithSn(std::optional<std::string> sn,
                                                        std::optional<std::string> serviceId,
                                                        std::optional<std::string> address) {
  _servicesParams = DestinationParams::makeWithBuilder([&](DestinationParamsBuilder& d) {
    d.sn(std::move(sn)).serviceId(std::move(serviceId)).address(std::move(address));
  });
  return *this;
}

BaseParams BaseParamsBuilder::build() const {
  BaseParams params;
  params.transactionReference = _transactionReference;
  params.transactionType = _transactionType;
  params.accountType = _accountType;
  params.cashierIdentification = _cashierIdentification;
  params.servicesParams = _servicesParams;
  params.runInBackground = _runInBackground;
  return params;
}

}  // namespace veltrix::model
