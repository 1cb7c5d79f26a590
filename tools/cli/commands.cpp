#include "cli/commands.h"

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "veltrix/model/currency.h"
#include "veltrix/model/financial_params.h"
#include "veltrix/model/nonfinancial_params.h"

namespace veltrix::cli {

namespace {

using facade::ExchangeIdBlock;
using facade::ResultBlock;
using facade::RetailerManager;

// The fields every request has: reference, transaction type, destination.
template <typename P>
void fillBase(P& param, const CommandLine& line) {
  param.transactionReference = line.get("reference");
  if (auto type = line.get("transaction-type")) {
    param.transactionType = model::TransactionTypeHelper::transactionTypeFromString(*type);
  }
  auto sn = line.get("sn");
  auto serviceId = line.get("service-id");
  auto address = line.get("address");
  if (sn || serviceId || address) {
    model::DestinationParams destination;
    destination.sn = std::move(sn);
    destination.serviceId = std::move(serviceId);
    destination.address = std::move(address);
    param.servicesParams = std::move(destination);
  }
}

template <typename P>
void fillAmount(P& param, const CommandLine& line) {
  param.totalAmount = line.get("amount");
  param.currency = model::ISO4217ActiveCurrencyHelper::currencyFromAlphaCode(
      line.get("currency").value_or(kDefaultCurrency));
}

// Runs `method` of the manager with `param`.
template <typename P, typename R>
Outcome run(CliHost& host,
            void (RetailerManager::*method)(const P&, ExchangeIdBlock, ResultBlock<R>),
            const P& param) {
  return host.run<R>([&host, method, &param](ExchangeIdBlock block, ResultBlock<R> result) {
    (host.manager().*method)(param, std::move(block), std::move(result));
  });
}

using Runner = std::function<Outcome(CliHost&, const CommandLine&)>;

const std::map<std::string, Runner, std::less<>>& runners() {
  static const std::map<std::string, Runner, std::less<>> table = {
      {"payment",
       [](CliHost& host, const CommandLine& line) {
         model::PaymentParam param;
         fillBase(param, line);
         fillAmount(param, line);
         return run(host, &RetailerManager::payment, param);
       }},
      {"refund",
       [](CliHost& host, const CommandLine& line) {
         model::RefundParam param;
         fillBase(param, line);
         fillAmount(param, line);
         param.orgTransactionReference = line.get("org-reference");
         return run(host, &RetailerManager::refund, param);
       }},
      {"reversal",
       [](CliHost& host, const CommandLine& line) {
         model::ReversalParam param;
         fillBase(param, line);
         fillAmount(param, line);
         param.orgTransactionReference = line.get("org-reference");
         return run(host, &RetailerManager::reversal, param);
       }},
      {"preauth",
       [](CliHost& host, const CommandLine& line) {
         model::PreAuthParam param;
         fillBase(param, line);
         fillAmount(param, line);
         return run(host, &RetailerManager::preAuth, param);
       }},
      {"completion",
       [](CliHost& host, const CommandLine& line) {
         model::PreAuthCompletionParam param;
         fillBase(param, line);
         fillAmount(param, line);
         param.orgTransactionReference = line.get("org-reference");
         return run(host, &RetailerManager::preAuthCompletion, param);
       }},
      {"adjustment",
       [](CliHost& host, const CommandLine& line) {
         model::AuthAdjustmentParam param;
         fillBase(param, line);
         fillAmount(param, line);
         param.orgTransactionReference = line.get("org-reference");
         return run(host, &RetailerManager::authAdjustment, param);
       }},
      {"balance",
       [](CliHost& host, const CommandLine& line) {
         model::BalanceInquiryParam param;
         fillBase(param, line);
         return run(host, &RetailerManager::balanceInquiry, param);
       }},
      {"reconciliation",
       [](CliHost& host, const CommandLine& line) {
         model::ReconciliationParam param;
         fillBase(param, line);
         if (auto type = line.get("reconciliation-type")) {
           param.reconciliationType = model::ReconciliationTypeCodeHelper::codeFromString(*type);
         }
         return run(host, &RetailerManager::reconciliation, param);
       }},
      {"abort",
       [](CliHost& host, const CommandLine& line) {
         model::AbortParam param;
         fillBase(param, line);
         param.orgExchangeIdentification = line.get("org-exchange-id");
         param.orgTransactionReference = line.get("org-reference");
         return host.runAbort(
             [&host, &param](ExchangeIdBlock block, facade::AbortResultBlock result) {
               host.manager().abort(param, std::move(block), std::move(result));
             });
       }},
      {"cardauth",
       [](CliHost& host, const CommandLine& line) {
         model::CardAuthParam param;
         fillBase(param, line);
         return run(host, &RetailerManager::cardAuthentication, param);
       }},
      {"messagestatus",
       [](CliHost& host, const CommandLine& line) {
         model::MessageStatusParam param;
         fillBase(param, line);
         param.orgExchangeIdentification = line.get("org-exchange-id");
         param.orgTransactionReference = line.get("org-reference");
         return run(host, &RetailerManager::messageStatus, param);
       }},
      {"reprint",
       [](CliHost& host, const CommandLine& line) {
         model::ReprintParam param;
         fillBase(param, line);
         param.orgExchangeIdentification = line.get("org-exchange-id");
         param.orgTransactionReference = line.get("org-reference");
         return run(host, &RetailerManager::reprint, param);
       }},
      {"print",
       [](CliHost& host, const CommandLine& line) {
         model::PrintParam param;
         fillBase(param, line);
         param.content = line.get("text");
         return run(host, &RetailerManager::print, param);
       }},
      {"display",
       [](CliHost& host, const CommandLine& line) {
         model::DisplayParam param;
         fillBase(param, line);
         if (auto text = line.get("text")) {
           model::ActionMessageParam message;
           message.messageContent = std::move(text);
           param.displayContents = std::vector<model::ActionMessageParam>{std::move(message)};
         }
         return run(host, &RetailerManager::display, param);
       }},
      {"nfctag",
       [](CliHost& host, const CommandLine& line) {
         model::NFCTagParam param;
         fillBase(param, line);
         param.messageContent = line.get("text");
         return run(host, &RetailerManager::nfcTag, param);
       }},
      {"transmit",
       [](CliHost& host, const CommandLine& line) {
         model::TransmitMessageParam param;
         fillBase(param, line);
         param.messageToSend = line.get("text");
         param.destinationAddress = line.get("destination-address");
         return run(host, &RetailerManager::transmitMessage, param);
       }},
  };
  return table;
}

}  // namespace

Outcome runRequestCommand(CliHost& host, const CommandLine& line) {
  auto found = runners().find(line.command);
  if (found == runners().end()) return {};
  return found->second(host, line);
}

}  // namespace veltrix::cli
