#include "veltrix/codec/financial_req_builders.h"

#include <gtest/gtest.h>

#include "codec/codec_fixture.h"
#include "veltrix/platform/log.h"

namespace veltrix::codec::test {
namespace {

using namespace veltrix::model;

// ---- Fixtures -------------------------------------------------------------------------------

void fillFinancial(BaseFinancialParam& p) {
  p.transactionReference = "TXN-0001";
  p.transactionType = TransactionTypeCode::CRDP;
  p.accountType = CardAccountTypeCode::CRDT;
  p.cashierIdentification = "cashier-7";
  p.runInBackground = true;  // never reaches the message
  p.servicesParams = DestinationParams{"TV1", "svc-9", "10.0.0.9:80"};
  p.additionalSaleData = "extra";
  p.additionalSaleData1 = "";
  p.additionalSaleData2 = "extra-2";
  p.cardBrand = "VISA";
  p.attendanceContext = AttendanceContextCode::SATT;
  p.cardDataEntryMode = CardDataReadingCode::CICC;
  p.emailAddress = "buyer@example.com";
  p.merchantIdentification = "M-1";
  p.merchantIdentificationName = "街角小店";
  p.poiIdentificationId = "POI-9";
  p.tokenIdentification = "tok-1";
  p.acquireManagerPwd = "0000";
  p.forceOnlineFlag = true;
  p.partialApproval = false;
  p.requiredESignFlag = true;
  p.mobilePhone = std::vector<std::string>{"+8613800000000"};
  p.valueAddedTaxs = std::vector<DetailedAmount>{{"1.30", "VAT 13%"}};
  p.fees = std::vector<DetailedAmount>{{"0.50", "service"}, {std::nullopt, "no amount"}};
  RetailerSaleItem receiptItem;
  receiptItem.productCode = "R1";
  p.receiptConstruct = std::vector<ReceiptConstructEntry>{
      ReceiptConstructEntry(receiptItem), ReceiptConstructEntry(Json{{"line", "谢谢惠顾"}})};
}

constexpr std::string_view kFinancialBody = R"({
  "transactionReference": "TXN-0001",
  "transactionType": "CRDP",
  "cashierIdentification": "cashier-7",
  "accountType": "CRDT",
  "additionalSaleData": "extra",
  "additionalSaleData1": "",
  "additionalSaleData2": "extra-2",
  "cardBrand": "VISA",
  "attendanceContext": "SATT",
  "cardDataEntryMode": "CICC",
  "emailAddress": "buyer@example.com",
  "merchantIdentification": "M-1",
  "merchantIdentificationName": "街角小店",
  "poiIdentificationId": "POI-9",
  "tokenIdentification": "tok-1",
  "acquireManagerPwd": "0000",
  "forceOnlineFlag": true,
  "partialApproval": false,
  "requiredESignFlag": true,
  "mobilePhone": ["+8613800000000"],
  "valueAddedTax": [{"amount": "1.30", "label": "VAT 13%"}],
  "fees": [{"amount": "0.50", "label": "service"}, {"label": "no amount"}],
  "receiptConstruct": [{"productCode": "R1"}, {"line": "谢谢惠顾"}]
})";

constexpr std::string_view kEmptyFinancialBody = R"({
  "accountType": "CTDP",
  "forceOnlineFlag": false,
  "partialApproval": false,
  "requiredESignFlag": false
})";

std::vector<RetailerSaleItem> saleItems() {
  RetailerSaleItem full;
  full.productCode = "A1";
  full.unitOfMeasure = UnitOfMeasureCode::KILO;
  full.productAmount = "30.00";
  full.productQuantity = "2";
  full.unitPrice = "15.00";
  full.productLabel = "Apples";
  full.productDescription = "Red apples";
  full.valueAddedTax = "3.90";
  full.taxType = "VAT";
  RetailerSaleItem sparse;
  sparse.productCode = "B2";
  sparse.productDescription = "";
  return {full, sparse};
}

// The payment form of saleItems(): empty texts kept, the unit always.
constexpr std::string_view kPaymentFormItems = R"({"saleItems": [
  {"productCode": "A1", "productAmount": "30.00", "productDescription": "Red apples",
   "unitOfMeasure": "KILO", "unitPrice": "15.00", "productQuantity": "2",
   "productLabel": "Apples", "valueAddedTax": "3.90", "taxType": "VAT"},
  {"productCode": "B2", "productDescription": "", "unitOfMeasure": "PIEC"}
]})";

class FinancialEncoderTest : public CodecTest {};

// ---- Golden messages per service --------------------------------------------------------------

TEST_F(FinancialEncoderTest, Payment) {
  PaymentParam p;
  fillFinancial(p);
  p.totalAmount = "100.00";
  p.gratuity = "5.00";
  p.cashBack = "20.00";
  p.currency = ISO4217ActiveCurrency::CNY;
  p.pan = "4111111111111111";
  p.track1 = "B4111111111111111^DOE/J^2512";
  p.track2 = "4111111111111111=2512";
  p.track3 = "";
  p.maskedPAN = "411111******1111";
  p.requestedAmount = "125.00";
  p.postCode = "200000";
  p.addressLine = "1 Main St";
  p.expiryDate = "2512";
  p.cvv2 = "123";
  p.saleItems = saleItems();
  EXPECT_TRUE(sameMessage(encode<PaymentReqBuilder>(p, lanService("Purchase")),
                          lanMessage("Purchase", joined({kFinancialBody, R"({
    "totalAmount": "100.00", "gratuity": "5.00", "cashBack": "20.00", "currency": "CNY",
    "pan": "4111111111111111", "track1": "B4111111111111111^DOE/J^2512",
    "track2": "4111111111111111=2512", "track3": "", "maskedPAN": "411111******1111",
    "requestedAmount": "125.00", "postCode": "200000", "addressLine": "1 Main St",
    "expiryDate": "2512", "cvv2": "123"})",
                                                         kPaymentFormItems}))));

  // An unset currency is not sent as "AFN" by the payment.
  EXPECT_TRUE(sameMessage(encode<PaymentReqBuilder>(PaymentParam(), lanService("Purchase")),
                          lanMessage("Purchase", literal(kEmptyFinancialBody))));

  PaymentParam onlyTotal;
  onlyTotal.totalAmount = "12.00";
  EXPECT_EQ(PaymentReqBuilder().buildBodyWithParam(&onlyTotal).dump(),
            joined({kEmptyFinancialBody, R"({"totalAmount": "12.00"})"}).dump());
}

TEST_F(FinancialEncoderTest, PreAuthWritesItemsInTheirOwnForm) {
  PreAuthParam p;
  fillFinancial(p);
  p.totalAmount = "80.00";
  p.gratuity = "";
  p.cashback = "10.00";
  p.currency = ISO4217ActiveCurrency::USD;
  p.pan = "4111111111111111";
  p.track1 = "T1";
  p.track2 = "T2";
  p.track3 = "T3";
  p.maskedPAN = "411111******1111";
  p.postCode = "10001";
  p.addressLine = "5th Ave";
  p.expiryDate = "2601";
  p.cvv2 = "999";
  p.merchantCategoryCode = "5411";
  p.saleItems = saleItems();
  EXPECT_TRUE(sameMessage(encode<PreAuthReqBuilder>(p, lanService("PreAuth")),
                          lanMessage("PreAuth", joined({kFinancialBody, R"({
    "totalAmount": "80.00", "gratuity": "", "cashback": "10.00", "currency": "USD",
    "pan": "4111111111111111", "track1": "T1", "track2": "T2", "track3": "T3",
    "maskedPAN": "411111******1111", "postCode": "10001", "addressLine": "5th Ave",
    "expiryDate": "2601", "cvv2": "999", "merchantCategoryCode": "5411",
    "saleItems": [
      {"productCode": "A1", "unitOfMeasure": "KILO", "productAmount": "30.00",
       "productQuantity": "2", "unitPrice": "15.00", "productLabel": "Apples",
       "productDescription": "Red apples", "valueAddedTax": "3.90", "taxType": "VAT"},
      {"productCode": "B2"}
    ]})"}))));

  EXPECT_TRUE(
      sameMessage(encode<PreAuthReqBuilder>(PreAuthParam(), lanService("PreAuth")),
                  lanMessage("PreAuth", joined({kEmptyFinancialBody, R"({"currency": "AFN"})"}))));
}

TEST_F(FinancialEncoderTest, Refund) {
  RefundParam p;
  fillFinancial(p);
  p.orgTransactionReference = "TXN-0000";
  p.orgTransactionDateTime = "2026-01-30T10:00:00.000+08:00";
  p.orgIssuerReferenceData = "ISS-1";
  p.orgPoiIdentificationId = "POI-8";
  p.orgPoiTransactionIdentification = "PT-77";
  p.orgAuthorisationCode = "AUTH01";
  p.isFullReversal = true;
  p.totalAmount = "30.00";
  p.gratuity = "0.00";
  p.currency = ISO4217ActiveCurrency::EUR;
  p.postCode = "75001";
  p.addressLine = "Rue 1";
  p.maskedPAN = "5500******0004";
  p.pan = "5500000000000004";
  p.expiryDate = "2703";
  p.invoiceNumber = "INV-5";
  p.cvv2 = "321";
  p.saleItems = saleItems();
  EXPECT_TRUE(sameMessage(encode<RefundReqBuilder>(p, lanService("Refund")),
                          lanMessage("Refund", joined({kFinancialBody, R"({
    "orgTransactionReference": "TXN-0000",
    "orgTransactionDateTime": "2026-01-30T10:00:00.000+08:00",
    "orgIssuerReferenceData": "ISS-1", "orgPoiIdentificationId": "POI-8",
    "orgPoiTransactionIdentification": "PT-77", "orgAuthorisationCode": "AUTH01",
    "isFullReversal": true, "totalAmount": "30.00", "gratuity": "0.00", "currency": "EUR",
    "postCode": "75001", "addressLine": "Rue 1", "maskedPAN": "5500******0004",
    "pan": "5500000000000004", "expiryDate": "2703", "invoiceNumber": "INV-5",
    "cvv2": "321"})",
                                                       kPaymentFormItems}))));

  // A refund always says whether it is a full reversal.
  EXPECT_TRUE(sameMessage(encode<RefundReqBuilder>(RefundParam(), lanService("Refund")),
                          lanMessage("Refund", joined({kEmptyFinancialBody, R"({
    "isFullReversal": false, "currency": "AFN"})"}))));
}

TEST_F(FinancialEncoderTest, Reversal) {
  ReversalParam p;
  fillFinancial(p);
  p.orgTransactionDateTime = "2026-01-31T09:00:00.000+08:00";
  p.orgTransactionReference = "TXN-0000";
  p.orgIssuerReferenceData = "ISS-1";
  p.orgPoiTransactionIdentification = "PT-77";
  p.totalAmount = "100.00";
  p.gratuity = "5.00";
  p.currency = ISO4217ActiveCurrency::GBP;
  p.reversalReason = ReversalReasonCode::UNAB;
  p.isFullReversal = true;
  p.cashback = "20.00";
  p.issuerReferenceData = "ISS-2";
  p.invoiceNumber = "INV-6";
  p.maskedPAN = "411111******1111";
  p.cvv2 = "123";
  p.reversedAmount = "100.00";
  p.requestedAmount = "125.00";
  p.authorisationCode = "AUTH02";
  p.postCode = "SW1A";
  p.addressLine = "Downing St";
  p.pan = "4111111111111111";
  p.expiryDate = "2512";
  // Not part of a reversal request.
  p.orgPoiIdentificationId = "POI-8";
  p.orgAuthorisationIdentification = "AI-1";
  p.orgAuthorisationCode = "AUTH01";
  EXPECT_TRUE(sameMessage(encode<ReversalReqBuilder>(p, lanService("Reversal")),
                          lanMessage("Reversal", joined({kFinancialBody, R"({
    "orgTransactionDateTime": "2026-01-31T09:00:00.000+08:00",
    "orgTransactionReference": "TXN-0000", "orgIssuerReferenceData": "ISS-1",
    "orgPoiTransactionIdentification": "PT-77", "totalAmount": "100.00", "gratuity": "5.00",
    "currency": "GBP", "cashback": "20.00", "reversedAmount": "100.00",
    "requestedAmount": "125.00", "reversalReason": "UNAB", "isFullReversal": true,
    "authorisationCode": "AUTH02", "issuerReferenceData": "ISS-2",
    "maskedPAN": "411111******1111", "pan": "4111111111111111", "expiryDate": "2512",
    "cvv2": "123", "invoiceNumber": "INV-6", "postCode": "SW1A",
    "addressLine": "Downing St"})"}))));

  // "isFullReversal" only when true; the reason is always there.
  EXPECT_TRUE(sameMessage(encode<ReversalReqBuilder>(ReversalParam(), lanService("Reversal")),
                          lanMessage("Reversal", joined({kEmptyFinancialBody, R"({
    "currency": "AFN", "reversalReason": "CUSC"})"}))));
}

TEST_F(FinancialEncoderTest, ReversalReasonCodes) {
  using R = ReversalReasonCode;
  EXPECT_EQ(ReversalReqBuilder::reversalReasonToString(R::CUSC), "CUSC");
  EXPECT_EQ(ReversalReqBuilder::reversalReasonToString(R::MALF), "MALF");
  EXPECT_EQ(ReversalReqBuilder::reversalReasonToString(R::MERC), "MERC");
  EXPECT_EQ(ReversalReqBuilder::reversalReasonToString(R::UNAB), "UNAB");
  EXPECT_EQ(ReversalReqBuilder::reversalReasonToString(R{7}), "MERC");
  EXPECT_EQ(ReversalReqBuilder::reversalReasonToString(R{-1}), "MERC");
}

TEST_F(FinancialEncoderTest, PreAuthCompletion) {
  PreAuthCompletionParam p;
  fillFinancial(p);
  p.orgTransactionReference = "TXN-0000";
  p.orgTransactionDateTime = "2026-01-29T08:00:00.000+08:00";
  p.orgIssuerReferenceData = "ISS-1";
  p.orgAuthorisationCode = "AUTH01";
  p.orgPoiIdentificationId = "POI-8";
  p.orgPoiTransactionIdentification = "PT-77";
  p.orgAuthorisationIdentification = "AI-1";
  p.totalAmount = "75.00";
  p.gratuity = "3.00";
  p.currency = ISO4217ActiveCurrency::JPY;
  p.invoiceNumber = "INV-7";
  p.postCode = "100-0001";
  p.addressLine = "Chiyoda";
  EXPECT_TRUE(sameMessage(encode<PreAuthCompletionReqBuilder>(p, lanService("PreAuthCompletion")),
                          lanMessage("PreAuthCompletion", joined({kFinancialBody, R"({
    "orgTransactionReference": "TXN-0000",
    "orgTransactionDateTime": "2026-01-29T08:00:00.000+08:00",
    "orgIssuerReferenceData": "ISS-1", "orgAuthorisationCode": "AUTH01",
    "orgPoiIdentificationId": "POI-8", "orgPoiTransactionIdentification": "PT-77",
    "orgAuthorisationIdentification": "AI-1", "totalAmount": "75.00", "gratuity": "3.00",
    "currency": "JPY", "invoiceNumber": "INV-7", "postCode": "100-0001",
    "addressLine": "Chiyoda"})"}))));

  EXPECT_TRUE(sameMessage(
      encode<PreAuthCompletionReqBuilder>(PreAuthCompletionParam(),
                                          lanService("PreAuthCompletion")),
      lanMessage("PreAuthCompletion", joined({kEmptyFinancialBody, R"({"currency": "AFN"})"}))));
}

TEST_F(FinancialEncoderTest, AuthAdjustment) {
  AuthAdjustmentParam p;
  fillFinancial(p);
  p.amountQualifier = TypeOfAmountCode::INCR;
  p.orgTransactionReference = "TXN-0000";
  p.orgIssuerReferenceData = "ISS-1";
  p.orgPoiIdentificationId = "POI-8";
  p.orgAuthorisationCode = "AUTH01";
  p.orgAuthorisationIdentification = "AI-1";
  p.orgPoiTransactionIdentification = "PT-77";
  p.orgTransactionDateTime = "2026-01-29T08:00:00.000+08:00";
  p.totalAmount = "90.00";
  p.gratuity = "";
  p.currency = ISO4217ActiveCurrency::HKD;
  p.invoiceNumber = "INV-8";
  EXPECT_TRUE(sameMessage(encode<AuthAdjustmentReqBuilder>(p, lanService("AuthAdjustment")),
                          lanMessage("AuthAdjustment", joined({kFinancialBody, R"({
    "amountQualifier": "INCR", "orgTransactionReference": "TXN-0000",
    "orgIssuerReferenceData": "ISS-1", "orgPoiIdentificationId": "POI-8",
    "orgAuthorisationCode": "AUTH01", "orgAuthorisationIdentification": "AI-1",
    "orgPoiTransactionIdentification": "PT-77",
    "orgTransactionDateTime": "2026-01-29T08:00:00.000+08:00", "totalAmount": "90.00",
    "gratuity": "", "currency": "HKD", "invoiceNumber": "INV-8"})"}))));

  EXPECT_TRUE(sameMessage(
      encode<AuthAdjustmentReqBuilder>(AuthAdjustmentParam(), lanService("AuthAdjustment")),
      lanMessage("AuthAdjustment", joined({kEmptyFinancialBody, R"({
    "amountQualifier": "ACTL", "currency": "AFN"})"}))));
}

TEST_F(FinancialEncoderTest, BalanceInquiry) {
  BalanceInquiryParam p;
  fillFinancial(p);
  p.accountReference = "ACC-42";
  EXPECT_TRUE(sameMessage(
      encode<BalanceInquiryReqBuilder>(p, lanService("BalanceInquiry")),
      lanMessage("BalanceInquiry", joined({kFinancialBody, R"({"accountReference": "ACC-42"})"}))));
  EXPECT_TRUE(sameMessage(
      encode<BalanceInquiryReqBuilder>(BalanceInquiryParam(), lanService("BalanceInquiry")),
      lanMessage("BalanceInquiry", literal(kEmptyFinancialBody))));
}

TEST_F(FinancialEncoderTest, Reconciliation) {
  ReconciliationParam p;
  fillFinancial(p);
  p.reconciliationType = ReconciliationTypeCode::SREC;
  p.acquirerIdentification = "ACQ-1";
  p.poiReconciliationIdentification = "REC-0031";
  EXPECT_TRUE(sameMessage(encode<ReconciliationReqBuilder>(p, lanService("Reconciliation")),
                          lanMessage("Reconciliation", joined({kFinancialBody, R"({
    "reconciliationType": "SREC", "acquirerIdentification": "ACQ-1",
    "poiReconciliationIdentification": "REC-0031"})"}))));
  EXPECT_TRUE(sameMessage(
      encode<ReconciliationReqBuilder>(ReconciliationParam(), lanService("Reconciliation")),
      lanMessage("Reconciliation",
                 joined({kEmptyFinancialBody, R"({"reconciliationType": "AREC"})"}))));
}

TEST_F(FinancialEncoderTest, ReprintHasBaseFieldsAndFilteredQualifiers) {
  ReprintParam p;
  p.transactionReference = "TXN-0003";
  p.transactionType = TransactionTypeCode::RFND;
  p.accountType = CardAccountTypeCode::SVNG;
  p.cashierIdentification = "";
  p.exchangeIdentification = "not sent";
  p.orgExchangeIdentification = "0A1B2C3D4E5F60718293A4B5C6D7E8F0";
  p.initiatingPartyIdentification = "5B0E4C1A";
  p.documentQualifier = std::vector<std::string>{"CRCP", "", "MRCP"};
  p.orgTransactionReference = "not sent";
  p.orgTransactionType = TransactionTypeCode::CRDP;
  EXPECT_TRUE(sameMessage(encode<ReprintReqBuilder>(p, lanService("Reprint")),
                          lanMessage("Reprint", literal(R"({
    "transactionReference": "TXN-0003", "transactionType": "RFND",
    "cashierIdentification": "", "accountType": "SVNG",
    "orgExchangeIdentification": "0A1B2C3D4E5F60718293A4B5C6D7E8F0",
    "initiatingPartyIdentification": "5B0E4C1A", "orgTransactionType": "CRDP",
    "documentQualifiers": ["CRCP", "MRCP"]})"))));

  ReprintParam empty;
  empty.documentQualifier = std::vector<std::string>{"", ""};
  EXPECT_TRUE(sameMessage(encode<ReprintReqBuilder>(empty, lanService("Reprint")),
                          lanMessage("Reprint", literal(R"({
    "accountType": "CTDP", "orgTransactionType": "Unknown"})"))));
}

// ---- Envelope and edge cases --------------------------------------------------------------------

TEST_F(FinancialEncoderTest, MissingParameterOrServiceRecord) {
  const ServiceParams service = lanService("Purchase");
  const PaymentParam param;
  PaymentReqBuilder builder;

  Json headerOnly = literal(kLanHeader);
  headerOnly["serviceType"] = "Purchase";
  EXPECT_TRUE(sameMessage(builder.buildJsonWithParameters(nullptr, &service), headerOnly));

  Json requestOnly = Json::object();
  requestOnly["request"] = literal(kEmptyFinancialBody);
  EXPECT_TRUE(sameMessage(builder.buildJsonWithParameters(&param, nullptr), requestOnly));

  EXPECT_EQ(builder.buildJsonWithParameters(nullptr, nullptr), "{}");
  EXPECT_EQ(ReprintReqBuilder().buildBodyWithParam(nullptr), Json::object());
}

TEST_F(FinancialEncoderTest, ListsAndCodesAtTheirLimits) {
  PaymentParam p;
  p.fees = std::vector<DetailedAmount>{};
  p.valueAddedTaxs = std::vector<DetailedAmount>{DetailedAmount{}};
  p.mobilePhone = std::vector<std::string>{};
  p.receiptConstruct = std::vector<ReceiptConstructEntry>{};
  p.saleItems = std::vector<RetailerSaleItem>{};
  // Values outside their tables go out as the tables' fallback codes.
  p.accountType = CardAccountTypeCode{99};
  p.transactionType = TransactionTypeCode{42};
  p.currency = ISO4217ActiveCurrency{999};
  p.cardDataEntryMode = CardDataReadingCode{77};
  EXPECT_EQ(PaymentReqBuilder().buildBodyWithParam(&p).dump(), literal(R"({
    "transactionType": "Unknown", "accountType": "DFLT", "cardDataEntryMode": "UNKW",
    "forceOnlineFlag": false, "partialApproval": false, "requiredESignFlag": false,
    "valueAddedTax": [{}], "currency": "XXX"})")
                                                                   .dump());
}

TEST_F(FinancialEncoderTest, TextThatIsNotUtf8GivesNoMessage) {
  platform::ScopedLogCapture log;
  RefundParam p;
  p.invoiceNumber = std::string("INV-\xff");
  EXPECT_EQ(encode<RefundReqBuilder>(p, lanService("Refund")), std::nullopt);
  EXPECT_EQ(log.count("JSON serialization error: "), 1u);
}

}  // namespace
}  // namespace veltrix::codec::test
