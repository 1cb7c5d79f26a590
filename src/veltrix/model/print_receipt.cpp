#include "veltrix/model/print_receipt.h"

namespace veltrix::model {

std::optional<PrintReceipt> PrintReceipt::parseFromDictionary(const platform::Json& value) {
  if (!value.is_object()) return std::nullopt;
  PrintReceipt receipt;
  receipt.documentQualifier =
      ReceiptOutputTargetHelper::targetFromString(platform::readText(value, "documentQualifier"));
  receipt.format = OutputFormatCodeHelper::codeFromString(platform::readText(value, "format"));
  receipt.messageContent = platform::readText(value, "outputContent");
  return receipt;
}

std::optional<std::string> PrintReceipt::safeString(const platform::Json& value) {
  return platform::jsonText(value);
}

}  // namespace veltrix::model
