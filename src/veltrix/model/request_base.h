// The root of the request parameters: BaseParams with its destination
// record DestinationParams, the shared base of the eight card-transaction
// requests BaseFinancialParam, the amount record DetailedAmount and the two
// builders of the base fields.
//
// Every type here is a plain value: public fields, no validation, no
// locking, no thread affinity (use one object from one thread at a time).
// Fields start empty (absent, 0, false). Copies are independent: lists and
// destination records are copied, never shared. BaseParams is polymorphic
// because the facade keeps the parameter of the running request through a
// pointer to the base.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "veltrix/model/codes.h"
#include "veltrix/platform/json.h"

namespace veltrix::model {

class DestinationParamsBuilder;
class BaseParamsBuilder;
class BaseFinancialParamBuilder;

// An amount as decimal text (never converted) with its label. Requests and
// responses write it as {"amount", "label"}; PaymentParam::toDictionary as
// {"value", "label"}.
struct DetailedAmount {
  std::optional<std::string> amount;
  std::optional<std::string> label;

  bool operator==(const DetailedAmount&) const = default;
};

// Where the host wants a request to go; every field may be absent. Only the
// facade interprets it.
struct DestinationParams {
  std::optional<std::string> sn;         // serial number of the terminal
  std::optional<std::string> serviceId;  // identifier of the terminal service
  std::optional<std::string> address;    // "ip:port" of the terminal service

  bool operator==(const DestinationParams&) const = default;

  // A new record filled by `configure`; without it, an empty record.
  static DestinationParams makeWithBuilder(
      const std::function<void(DestinationParamsBuilder&)>& configure = {});
};

// Chained filling of a DestinationParams. The fields keep their underscore
// names so that the chain setters can take the plain ones.
class DestinationParamsBuilder {
 public:
  std::optional<std::string> _sn;
  std::optional<std::string> _serviceId;
  std::optional<std::string> _address;

  DestinationParamsBuilder& sn(std::optional<std::string> value);
  DestinationParamsBuilder& serviceId(std::optional<std::string> value);
  DestinationParamsBuilder& address(std::optional<std::string> value);
  // Sets the three fields, in that order.
  DestinationParamsBuilder& destination(std::optional<std::string> sn,
                                        std::optional<std::string> serviceId,
                                        std::optional<std::string> address);

  DestinationParams build() const;
};

// Root of every request parameter class except PowerOffCardReaderParam.
class BaseParams {
 public:
  BaseParams() = default;
  BaseParams(const BaseParams&) = default;
  BaseParams(BaseParams&&) = default;
  BaseParams& operator=(const BaseParams&) = default;
  BaseParams& operator=(BaseParams&&) = default;
  virtual ~BaseParams() = default;

  bool operator==(const BaseParams&) const = default;

  std::optional<std::string> transactionReference;
  TransactionTypeCode transactionType{};  // counts from 1; 0 = not set
  CardAccountTypeCode accountType{};      // 0 = not set (also the code CTDP)
  std::optional<std::string> cashierIdentification;
  bool runInBackground = false;
  // Absent: the library chooses the terminal service.
  std::optional<DestinationParams> servicesParams;

  // A new BaseParams (never a subclass) filled by `configure`; without it,
  // an empty one. Each subclass declares its own.
  static BaseParams makeWithBuilder(const std::function<void(BaseParamsBuilder&)>& configure = {});
};

// Chained filling of the six base fields. The per-service builders own one
// and read and write its fields directly.
class BaseParamsBuilder {
 public:
  std::optional<std::string> _transactionReference;
  TransactionTypeCode _transactionType{};
  CardAccountTypeCode _accountType{};
  std::optional<std::string> _cashierIdentification;
  std::optional<DestinationParams> _servicesParams;
  bool _runInBackground = false;

  BaseParamsBuilder& transactionReference(std::optional<std::string> value);
  BaseParamsBuilder& transactionType(TransactionTypeCode value);
  BaseParamsBuilder& accountType(CardAccountTypeCode value);
  BaseParamsBuilder& cashierIdentification(std::optional<std::string> value);
  BaseParamsBuilder& servicesParams(std::optional<DestinationParams> value);
  BaseParamsBuilder& runInBackground(bool value);
  // The destination made by DestinationParams::makeWithBuilder(configure):
  // present even when `configure` is empty.
  BaseParamsBuilder& servicesParamsWithBuilder(
      const std::function<void(DestinationParamsBuilder&)>& configure);
  // A new destination with these three values (absent ones stay absent);
  // present even when all three are absent.
  BaseParamsBuilder& setServicesWithSn(std::optional<std::string> sn,
                                       std::optional<std::string> serviceId,
                                       std::optional<std::string> address);

  BaseParams build() const;
};

// Anything with a dictionary form, held as one element of
// BaseFinancialParam::receiptConstruct: a model record (RetailerSaleItem,
// PaymentParam, ...) or a dictionary given as JSON. The encoder needs nothing
// but toDictionary(). Immutable once made, so copies may share the record.
class ReceiptConstructEntry {
 public:
  template <typename T>
  requires(!std::same_as<std::remove_cvref_t<T>, ReceiptConstructEntry> &&
           requires(const std::remove_cvref_t<T>& t) {
             { t.toDictionary() } -> std::convertible_to<platform::Json>;
           }) ReceiptConstructEntry(T&& record)  // NOLINT(google-explicit-constructor)
      : record_(std::make_shared<Holder<std::remove_cvref_t<T>>>(std::forward<T>(record))) {}
  ReceiptConstructEntry(platform::Json dictionary)  // NOLINT(google-explicit-constructor)
      : record_(std::make_shared<Holder<JsonRecord>>(JsonRecord{std::move(dictionary)})) {}

  platform::Json toDictionary() const { return record_->toDictionary(); }

  bool operator==(const ReceiptConstructEntry& other) const {
    return toDictionary() == other.toDictionary();
  }

 private:
  struct JsonRecord {
    platform::Json value;
    platform::Json toDictionary() const { return value; }
  };
  struct Concept {
    virtual ~Concept() = default;
    virtual platform::Json toDictionary() const = 0;
  };
  template <typename T>
  struct Holder final : Concept {
    template <typename U>
    explicit Holder(U&& v) : value(std::forward<U>(v)) {}
    platform::Json toDictionary() const override { return value.toDictionary(); }
    T value;
  };

  std::shared_ptr<const Concept> record_;
};

// The fields shared by the eight card-transaction requests.
class BaseFinancialParam : public BaseParams {
 public:
  bool operator==(const BaseFinancialParam&) const = default;

  std::optional<std::vector<DetailedAmount>> fees;
  // Written to the wire as "valueAddedTax".
  std::optional<std::vector<DetailedAmount>> valueAddedTaxs;
  std::optional<std::string> additionalSaleData;
  std::optional<std::string> additionalSaleData1;
  std::optional<std::string> additionalSaleData2;
  std::optional<std::string> cardBrand;
  CardDataReadingCode cardDataEntryMode{};  // 0 = not set
  bool forceOnlineFlag = false;
  bool partialApproval = false;
  std::optional<std::vector<ReceiptConstructEntry>> receiptConstruct;
  // Written to the message unchanged.
  std::optional<std::vector<std::string>> mobilePhone;
  std::optional<std::string> emailAddress;
  std::optional<std::string> merchantIdentification;
  std::optional<std::string> merchantIdentificationName;
  std::optional<std::string> poiIdentificationId;
  bool requiredESignFlag = false;
  std::optional<std::string> tokenIdentification;
  AttendanceContextCode attendanceContext{};  // 0 is ATTD and also "not set"
  // Passed through unchanged.
  std::optional<std::string> acquireManagerPwd;

  // Defined with the request parameter builders.
  static BaseFinancialParam makeWithBuilder(
      const std::function<void(BaseFinancialParamBuilder&)>& configure = {});
};

}  // namespace veltrix::model
