#include "veltrix/codec/financial_req_builders.h"

#include <vector>

#include "veltrix/model/codes.h"
#include "veltrix/model/currency.h"

namespace veltrix::codec {
namespace {

using platform::Json;
using H = ReqBuilderHelper;

std::string currencyCode(model::ISO4217ActiveCurrency currency) {
  return model::ISO4217ActiveCurrencyHelper::currencyCodeFromEnum(currency);
}

void addPaymentFormSaleItems(Json& body,
                             const std::optional<std::vector<model::RetailerSaleItem>>& items) {
  if (!items || items->empty()) return;
  Json list = Json::array();
  for (const model::RetailerSaleItem& item : *items) list.push_back(H::saleItemPaymentForm(item));
  body["saleItems"] = std::move(list);
}

}  // namespace

// ---- Payment ----------------------------------------------------------------------------

Json PaymentReqBuilder::buildBodyWithParam(const model::PaymentParam* param) const {
  Json body = Json::object();
  if (param == nullptr) return body;
  const model::PaymentParam& p = *param;
  H::addFinancialParamsToBody(body, p);
  H::addIfNotNull(body, "totalAmount", p.totalAmount);
  H::addIfNotNull(body, "gratuity", p.gratuity);
  H::addIfNotNull(body, "cashBack", p.cashBack);
  // The payment alone leaves an unset currency out instead of sending "AFN".
  if (p.currency != model::ISO4217ActiveCurrency{}) body["currency"] = currencyCode(p.currency);
  H::addIfNotNull(body, "pan", p.pan);
  H::addIfNotNull(body, "track1", p.track1);
  H::addIfNotNull(body, "track2", p.track2);
  H::addIfNotNull(body, "track3", p.track3);
  H::addIfNotNull(body, "maskedPAN", p.maskedPAN);
  H::addIfNotNull(body, "requestedAmount", p.requestedAmount);
  H::addIfNotNull(body, "postCode", p.postCode);
  H::addIfNotNull(body, "addressLine", p.addressLine);
  H::addIfNotNull(body, "expiryDate", p.expiryDate);
  H::addIfNotNull(body, "cvv2", p.cvv2);
  addSaleItemsIfNeeded(body, p);
  return body;
}

void PaymentReqBuilder::addSaleItemsIfNeeded(Json& body, const model::PaymentParam& param) const {
  addPaymentFormSaleItems(body, param.saleItems);
}

// ---- Pre-authorisation --------------------------------------------------------------------

Json PreAuthReqBuilder::buildBodyWithParam(const model::PreAuthParam* param) const {
  Json body = Json::object();
  if (param == nullptr) return body;
  const model::PreAuthParam& p = *param;
  H::addFinancialParamsToBody(body, p);
  H::addIfNotNull(body, "totalAmount", p.totalAmount);
  H::addIfNotNull(body, "gratuity", p.gratuity);
  H::addIfNotNull(body, "cashback", p.cashback);
  body["currency"] = currencyCode(p.currency);
  H::addIfNotNull(body, "pan", p.pan);
  H::addIfNotNull(body, "track1", p.track1);
  H::addIfNotNull(body, "track2", p.track2);
  H::addIfNotNull(body, "track3", p.track3);
  H::addIfNotNull(body, "maskedPAN", p.maskedPAN);
  H::addIfNotNull(body, "postCode", p.postCode);
  H::addIfNotNull(body, "addressLine", p.addressLine);
  H::addIfNotNull(body, "expiryDate", p.expiryDate);
  H::addIfNotNull(body, "cvv2", p.cvv2);
  H::addIfNotNull(body, "merchantCategoryCode", p.merchantCategoryCode);
  addSaleItemsIfNeeded(body, p);
  return body;
}

void PreAuthReqBuilder::addSaleItemsIfNeeded(Json& body, const model::PreAuthParam& param) const {
  if (!param.saleItems || param.saleItems->empty()) return;
  Json list = Json::array();
  for (const model::RetailerSaleItem& item : *param.saleItems) list.push_back(item.toDictionary());
  body["saleItems"] = std::move(list);
}

// ---- Refund -------------------------------------------------------------------------------

Json RefundReqBuilder::buildBodyWithParam(const model::RefundParam* param) const {
  Json body = Json::object();
  if (param == nullptr) return body;
  const model::RefundParam& p = *param;
  H::addFinancialParamsToBody(body, p);
  H::addIfNotNull(body, "orgTransactionReference", p.orgTransactionReference);
  H::addIfNotNull(body, "orgTransactionDateTime", p.orgTransactionDateTime);
  H::addIfNotNull(body, "orgIssuerReferenceData", p.orgIssuerReferenceData);
  H::addIfNotNull(body, "orgPoiIdentificationId", p.orgPoiIdentificationId);
  H::addIfNotNull(body, "orgPoiTransactionIdentification", p.orgPoiTransactionIdentification);
  H::addIfNotNull(body, "orgAuthorisationCode", p.orgAuthorisationCode);
  body["isFullReversal"] = p.isFullReversal;
  H::addIfNotNull(body, "totalAmount", p.totalAmount);
  H::addIfNotNull(body, "gratuity", p.gratuity);
  body["currency"] = currencyCode(p.currency);
  H::addIfNotNull(body, "postCode", p.postCode);
  H::addIfNotNull(body, "addressLine", p.addressLine);
  H::addIfNotNull(body, "maskedPAN", p.maskedPAN);
  H::addIfNotNull(body, "pan", p.pan);
  H::addIfNotNull(body, "expiryDate", p.expiryDate);
  H::addIfNotNull(body, "invoiceNumber", p.invoiceNumber);
  H::addIfNotNull(body, "cvv2", p.cvv2);
  addSaleItemsIfNeeded(body, p);
  return body;
}

void RefundReqBuilder::addSaleItemsIfNeeded(Json& body, const model::RefundParam& param) const {
  addPaymentFormSaleItems(body, param.saleItems);
}

// ---- Reversal -----------------------------------------------------------------------------

Json ReversalReqBuilder::buildBodyWithParam(const model::ReversalParam* param) const {
  Json body = Json::object();
  if (param == nullptr) return body;
  const model::ReversalParam& p = *param;
  H::addFinancialParamsToBody(body, p);
  H::addIfNotNull(body, "orgTransactionDateTime", p.orgTransactionDateTime);
  H::addIfNotNull(body, "orgTransactionReference", p.orgTransactionReference);
  H::addIfNotNull(body, "orgIssuerReferenceData", p.orgIssuerReferenceData);
  H::addIfNotNull(body, "orgPoiTransactionIdentification", p.orgPoiTransactionIdentification);
  H::addIfNotNull(body, "totalAmount", p.totalAmount);
  H::addIfNotNull(body, "gratuity", p.gratuity);
  body["currency"] = currencyCode(p.currency);
  H::addIfNotNull(body, "cashback", p.cashback);
  H::addIfNotNull(body, "reversedAmount", p.reversedAmount);
  H::addIfNotNull(body, "requestedAmount", p.requestedAmount);
  body["reversalReason"] = reversalReasonToString(p.reversalReason);
  if (p.isFullReversal) body["isFullReversal"] = true;
  H::addIfNotNull(body, "authorisationCode", p.authorisationCode);
  H::addIfNotNull(body, "issuerReferenceData", p.issuerReferenceData);
  H::addIfNotNull(body, "maskedPAN", p.maskedPAN);
  H::addIfNotNull(body, "pan", p.pan);
  H::addIfNotNull(body, "expiryDate", p.expiryDate);
  H::addIfNotNull(body, "cvv2", p.cvv2);
  H::addIfNotNull(body, "invoiceNumber", p.invoiceNumber);
  H::addIfNotNull(body, "postCode", p.postCode);
  H::addIfNotNull(body, "addressLine", p.addressLine);
  return body;
}

std::string ReversalReqBuilder::reversalReasonToString(model::ReversalReasonCode reason) {
  switch (reason) {
    case model::ReversalReasonCode::CUSC:
      return "CUSC";
    case model::ReversalReasonCode::MALF:
      return "MALF";
    case model::ReversalReasonCode::UNAB:
      return "UNAB";
    case model::ReversalReasonCode::MERC:
    default:
      return "MERC";
  }
}

// ---- Pre-authorisation completion -----------------------------------------------------------

Json PreAuthCompletionReqBuilder::buildBodyWithParam(
    const model::PreAuthCompletionParam* param) const {
  Json body = Json::object();
  if (param == nullptr) return body;
  const model::PreAuthCompletionParam& p = *param;
  H::addFinancialParamsToBody(body, p);
  H::addIfNotNull(body, "orgTransactionReference", p.orgTransactionReference);
  H::addIfNotNull(body, "orgTransactionDateTime", p.orgTransactionDateTime);
  H::addIfNotNull(body, "orgIssuerReferenceData", p.orgIssuerReferenceData);
  H::addIfNotNull(body, "orgAuthorisationCode", p.orgAuthorisationCode);
  H::addIfNotNull(body, "orgPoiIdentificationId", p.orgPoiIdentificationId);
  H::addIfNotNull(body, "orgPoiTransactionIdentification", p.orgPoiTransactionIdentification);
  H::addIfNotNull(body, "orgAuthorisationIdentification", p.orgAuthorisationIdentification);
  H::addIfNotNull(body, "totalAmount", p.totalAmount);
  H::addIfNotNull(body, "gratuity", p.gratuity);
  body["currency"] = currencyCode(p.currency);
  H::addIfNotNull(body, "invoiceNumber", p.invoiceNumber);
  H::addIfNotNull(body, "postCode", p.postCode);
  H::addIfNotNull(body, "addressLine", p.addressLine);
  return body;
}

// ---- Authorisation adjustment ---------------------------------------------------------------

Json AuthAdjustmentReqBuilder::buildBodyWithParam(const model::AuthAdjustmentParam* param) const {
  Json body = Json::object();
  if (param == nullptr) return body;
  const model::AuthAdjustmentParam& p = *param;
  H::addFinancialParamsToBody(body, p);
  body["amountQualifier"] = model::TypeOfAmountCodeHelper::stringFromCode(p.amountQualifier);
  H::addIfNotNull(body, "orgTransactionReference", p.orgTransactionReference);
  H::addIfNotNull(body, "orgIssuerReferenceData", p.orgIssuerReferenceData);
  H::addIfNotNull(body, "orgPoiIdentificationId", p.orgPoiIdentificationId);
  H::addIfNotNull(body, "orgAuthorisationCode", p.orgAuthorisationCode);
  H::addIfNotNull(body, "orgAuthorisationIdentification", p.orgAuthorisationIdentification);
  H::addIfNotNull(body, "orgPoiTransactionIdentification", p.orgPoiTransactionIdentification);
  H::addIfNotNull(body, "orgTransactionDateTime", p.orgTransactionDateTime);
  H::addIfNotNull(body, "totalAmount", p.totalAmount);
  H::addIfNotNull(body, "gratuity", p.gratuity);
  body["currency"] = currencyCode(p.currency);
  H::addIfNotNull(body, "invoiceNumber", p.invoiceNumber);
  return body;
}

// ---- Balance inquiry ------------------------------------------------------------------------

Json BalanceInquiryReqBuilder::buildBodyWithParam(const model::BalanceInquiryParam* param) const {
  Json body = Json::object();
  if (param == nullptr) return body;
  H::addFinancialParamsToBody(body, *param);
  H::addIfNotNull(body, "accountReference", param->accountReference);
  return body;
}

// ---- Reconciliation -------------------------------------------------------------------------

Json ReconciliationReqBuilder::buildBodyWithParam(const model::ReconciliationParam* param) const {
  Json body = Json::object();
  if (param == nullptr) return body;
  const model::ReconciliationParam& p = *param;
  H::addFinancialParamsToBody(body, p);
  body["reconciliationType"] =
      model::ReconciliationTypeCodeHelper::stringFromCode(p.reconciliationType);
  H::addIfNotNull(body, "acquirerIdentification", p.acquirerIdentification);
  H::addIfNotNull(body, "poiReconciliationIdentification", p.poiReconciliationIdentification);
  return body;
}

// ---- Reprint --------------------------------------------------------------------------------

Json ReprintReqBuilder::buildBodyWithParam(const model::ReprintParam* param) const {
  Json body = Json::object();
  if (param == nullptr) return body;
  const model::ReprintParam& p = *param;
  H::addBaseParamsToBody(body, &p);
  H::addIfNotNull(body, "orgExchangeIdentification", p.orgExchangeIdentification);
  H::addIfNotNull(body, "initiatingPartyIdentification", p.initiatingPartyIdentification);
  body["orgTransactionType"] =
      model::TransactionTypeHelper::stringFromTransactionType(p.orgTransactionType);
  addDocumentQualifiersIfNeeded(body, p);
  return body;
}

void ReprintReqBuilder::addDocumentQualifiersIfNeeded(Json& body,
                                                      const model::ReprintParam& param) const {
  if (!param.documentQualifier) return;
  Json kept = Json::array();
  for (const std::string& qualifier : *param.documentQualifier) {
    if (!qualifier.empty()) kept.push_back(qualifier);
  }
  if (!kept.empty()) body["documentQualifiers"] = std::move(kept);
}

}  // namespace veltrix::codec
