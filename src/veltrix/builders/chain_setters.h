// The chained setters that the request parameter builders share, written
// once as CRTP mixins: a setter inherited from here returns the concrete
// builder, so that a chain can go on with that builder's own setters.
//
//   ChainSetterSupport<B>    store(): set a field and return the builder.
//   BaseChainSetters<B>      the seven base setters. They write into the
//                            base fields of B: B::baseBuilder() for a
//                            service builder and the base financial builder,
//                            B::financialBuilder().baseBuilder() for a
//                            financial builder. They never touch the base
//                            builder's run-in-background flag.
//   FinancialChainSetters<B> the seven base and the 21 financial setters;
//                            the financial ones write into B itself when B
//                            is BaseFinancialParamBuilder, else into
//                            B::financialBuilder().
//   ServiceBuilder<B>        a service builder's base builder with the seven
//                            base setters.
//
// The mixins hold no state apart from ServiceBuilder's base builder.
// Builders are plain values without locks: use one from one thread at a
// time (in practice inside one configure function). No setter checks or
// converts a value; lists and records given to a setter are copied.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "veltrix/model/codes.h"
#include "veltrix/model/request_base.h"

namespace veltrix::model {

class BaseFinancialParamBuilder;

namespace builder_detail {

// An absent list becomes an empty one; a present list is kept as it is.
template <typename T>
std::optional<std::vector<T>> orEmpty(std::optional<std::vector<T>> list) {
  if (!list) list.emplace();
  return list;
}

// The body of every makeWithBuilder: a fresh builder, the configure
// function once when there is one, then the build.
template <typename Builder>
auto makeWith(const std::function<void(Builder&)>& configure) {
  Builder builder;
  if (configure) configure(builder);
  return builder.build();
}

}  // namespace builder_detail

template <typename B>
class ChainSetterSupport {
 protected:
  B& self() { return static_cast<B&>(*this); }

  template <typename Field, typename Value>
  B& store(Field& field, Value&& value) {
    field = std::forward<Value>(value);
    return self();
  }
};

template <typename B>
class BaseChainSetters : public ChainSetterSupport<B> {
 public:
  B& transactionReference(std::optional<std::string> value) {
    return this->store(baseFields()._transactionReference, std::move(value));
  }
  B& transactionType(TransactionTypeCode value) {
    return this->store(baseFields()._transactionType, value);
  }
  B& accountType(CardAccountTypeCode value) {
    return this->store(baseFields()._accountType, value);
  }
  B& cashierIdentification(std::optional<std::string> value) {
    return this->store(baseFields()._cashierIdentification, std::move(value));
  }
  B& servicesParams(std::optional<DestinationParams> value) {
    return this->store(baseFields()._servicesParams, std::move(value));
  }
  // The destination made by DestinationParams::makeWithBuilder(configure):
  // present, with every field absent, when `configure` is empty.
  B& servicesParamsWithBuilder(const std::function<void(DestinationParamsBuilder&)>& configure) {
    return this->store(baseFields()._servicesParams, DestinationParams::makeWithBuilder(configure));
  }
  // A new destination with these three values; present even when all three
  // are absent.
  B& servicesWithSn(std::optional<std::string> sn, std::optional<std::string> serviceId,
                    std::optional<std::string> address) {
    return this->store(
        baseFields()._servicesParams,
        DestinationParams::makeWithBuilder([&](DestinationParamsBuilder& d) {
          d.sn(std::move(sn)).serviceId(std::move(serviceId)).address(std::move(address));
        }));
  }

 private:
  BaseParamsBuilder& baseFields() {
    if constexpr (requires(B & b) { b.financialBuilder(); }) {
      return this->self().financialBuilder().baseBuilder();
    } else {
      return this->self().baseBuilder();
    }
  }
};

template <typename B>
class FinancialChainSetters : public BaseChainSetters<B> {
 public:
  // An absent list is stored as an empty one.
  B& fees(std::optional<std::vector<DetailedAmount>> value) {
    return this->store(fields()._fees, builder_detail::orEmpty(std::move(value)));
  }
  // An absent list is stored as an empty one.
  B& valueAddedTaxs(std::optional<std::vector<DetailedAmount>> value) {
    return this->store(fields()._valueAddedTaxs, builder_detail::orEmpty(std::move(value)));
  }
  B& additionalSaleData(std::optional<std::string> value) {
    return this->store(fields()._additionalSaleData, std::move(value));
  }
  B& additionalSaleData1(std::optional<std::string> value) {
    return this->store(fields()._additionalSaleData1, std::move(value));
  }
  B& additionalSaleData2(std::optional<std::string> value) {
    return this->store(fields()._additionalSaleData2, std::move(value));
  }
  B& cardBrand(std::optional<std::string> value) {
    return this->store(fields()._cardBrand, std::move(value));
  }
  B& cardDataEntryMode(CardDataReadingCode value) {
    return this->store(fields()._cardDataEntryMode, value);
  }
  B& forceOnlineFlag(bool value) { return this->store(fields()._forceOnlineFlag, value); }
  B& partialApproval(bool value) { return this->store(fields()._partialApproval, value); }
  // Unlike the other lists, an absent one stays absent.
  B& receiptConstruct(std::optional<std::vector<ReceiptConstructEntry>> value) {
    return this->store(fields()._receiptConstruct, std::move(value));
  }
  // An absent list is stored as an empty one.
  B& mobilePhone(std::optional<std::vector<std::string>> value) {
    return this->store(fields()._mobilePhone, builder_detail::orEmpty(std::move(value)));
  }
  B& emailAddress(std::optional<std::string> value) {
    return this->store(fields()._emailAddress, std::move(value));
  }
  B& merchantIdentification(std::optional<std::string> value) {
    return this->store(fields()._merchantIdentification, std::move(value));
  }
  B& merchantIdentificationName(std::optional<std::string> value) {
    return this->store(fields()._merchantIdentificationName, std::move(value));
  }
  B& poiIdentificationId(std::optional<std::string> value) {
    return this->store(fields()._poiIdentificationId, std::move(value));
  }
  B& tokenIdentification(std::optional<std::string> value) {
    return this->store(fields()._tokenIdentification, std::move(value));
  }
  B& requiredESignFlag(bool value) { return this->store(fields()._requiredESignFlag, value); }
  // Kept by the builder only: the facade makes every request's exchange
  // identifier itself.
  B& exchangeIdentification(std::optional<std::string> value) {
    return this->store(fields()._exchangeIdentification, std::move(value));
  }
  // The financial builder's own flag; the request runs in the background
  // when either it or the base builder's flag is set.
  B& runInBackground(bool value) { return this->store(fields()._runInBackground, value); }
  B& attendanceContext(AttendanceContextCode value) {
    return this->store(fields()._attendanceContext, value);
  }
  B& acquireManagerPwd(std::optional<std::string> value) {
    return this->store(fields()._acquireManagerPwd, std::move(value));
  }

 private:
  BaseFinancialParamBuilder& fields() {
    if constexpr (std::is_same_v<B, BaseFinancialParamBuilder>) {
      return this->self();
    } else {
      return this->self().financialBuilder();
    }
  }
};

// A builder of a direct subclass of BaseParams.
template <typename B>
class ServiceBuilder : public BaseChainSetters<B> {
 public:
  // Holds the base fields. Its run-in-background flag is never read: a
  // service builder that has the flag keeps its own.
  BaseParamsBuilder& baseBuilder() { return baseBuilder_; }
  const BaseParamsBuilder& baseBuilder() const { return baseBuilder_; }

 protected:
  // The five base fields, without the run-in-background flag.
  void applyBaseFieldsTo(BaseParams& param) const {
    param.transactionReference = baseBuilder_._transactionReference;
    param.transactionType = baseBuilder_._transactionType;
    param.accountType = baseBuilder_._accountType;
    param.cashierIdentification = baseBuilder_._cashierIdentification;
    param.servicesParams = baseBuilder_._servicesParams;
  }

 private:
  BaseParamsBuilder baseBuilder_;
};

}  // namespace veltrix::model
