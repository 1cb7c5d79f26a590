#include "veltrix/model/abort_reprint_results.h"

#include "veltrix/model/text_form.h"

namespace veltrix::model {

using platform::Json;

std::string AbortResult::toString() const {
  Json out = Json::object();
  JsonForm::putBaseMembers(out, *this);
  return JsonForm::text(out);
}

std::string ReprintResult::toString() const {
  Json out = Json::object();
  JsonForm::putBaseMembers(out, *this);
  if (ResponseCodeHelper::isSuccess(response)) {
    JsonForm::putText(out, "orgExchangeIdentification", orgExchangeIdentification);
    if (printReceipts && !printReceipts->empty()) {
      out["printReceipts"] = JsonForm::receiptArray(*printReceipts);
    }
  }
  return JsonForm::text(out);
}

}  // namespace veltrix::model
