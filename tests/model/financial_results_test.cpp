#include "veltrix/model/financial_results.h"

#include <gtest/gtest.h>

#include <string>

#include "veltrix/platform/json.h"

namespace veltrix::model {
namespace {

using platform::Json;

// Every field of BaseFinancialResult but the response codes and
// attendanceContext, with an absent amount inside a fee and a receipt whose
// codes are 0.
void fillFinancial(BaseFinancialResult& r) {
  r.exchangeIdentification = "EX1";
  r.cashierIdentification = "C7";
  r.recipientPartyIdentification = "SN123";
  r.authRspnReason = "00";
  r.additionalResponseInformation = "ok";
  r.issuerReferenceData = "IRD";
  r.transactionReference = "TR-1";
  r.transactionType = TransactionTypeCode::SCDP;
  r.totalAmount = "10.00";
  r.transactionDateTime = "2026-01-02T03:04:05";
  r.currency = ISO4217ActiveCurrency::USD;
  r.authorisationCode = "A1";
  r.gratuity = "1.00";
  r.merchantIdentification = "M1";
  r.merchantIdentificationName = "Shop";
  r.poiIdentificationId = "POI1";
  r.maskedPAN = "4111****1111";
  r.cardDataEntryMode = CardDataReadingCode::CTLS;
  r.cardBrand = "VISA";
  r.acquirerShortName = "ACQ";
  r.poiReconciliationIdentification = "PR1";
  r.poiTransactionIdentification = "PT1";
  r.additionalSaleData = "extra";
  r.aid = "A0000000031010";
  r.tokenIdentification = "TOK";
  r.expiryDate = "2812";
  r.invoiceNumber = "INV9";
  r.pan = "4111111111111111";
  r.valueAddedTax = {{DetailedAmount{"0.80", "vat"}}};
  r.iccRelatedData = {{Json("9F26"), Json(5)}};
  r.printReceipts = {{PrintReceipt{ReceiptOutputTargetCode::MRCP, OutputFormatCode::TEXT, "hello"},
                      PrintReceipt{}}};
  r.fees = {{DetailedAmount{std::nullopt, "svc"}}};
  r.authorisationIdentification = "AI";
}

PaymentResult fullPayment() {
  PaymentResult r;
  fillFinancial(r);
  r.endFlag = true;
  r.requestedAmount = "10.00";
  r.authorisedAmount = "9.00";
  r.cumulativeAmount = "19.00";
  r.cashback = "";
  r.attendanceContext = static_cast<AttendanceContextCode>(5000000000);
  RetailerSaleItem item;
  item.productCode = "A1";
  item.unitOfMeasure = UnitOfMeasureCode::KILO;
  r.saleItemParams = {{item}};
  return r;
}

TEST(FinancialResultTest, NewResultReadsAsSuccessAndKeepsOutOfRangeValues) {
  PaymentResult r;
  EXPECT_EQ(r.response, ResponseCode::SUCC);
  EXPECT_EQ(r.currency, ISO4217ActiveCurrency::AFN);
  EXPECT_FALSE(r.valueAddedTax);
  EXPECT_FALSE(r.endFlag);

  r.transactionType = static_cast<TransactionTypeCode>(99);
  r.currency = static_cast<ISO4217ActiveCurrency>(500);
  r.response = static_cast<ResponseCode>(7);
  const std::string text = r.toString();
  EXPECT_EQ(static_cast<std::int64_t>(r.transactionType), 99);
  EXPECT_NE(text.find("Transaction Type: Unknown\n"), std::string::npos);
  // 7 is no success: no currency line; its code falls back to FAIL.
  EXPECT_NE(text.find("Response: FAIL\n"), std::string::npos);
  EXPECT_EQ(text.find("Currency:"), std::string::npos);
  r.response = ResponseCode::SUCC;
  EXPECT_NE(r.toString().find("Currency: XXX\n"), std::string::npos);
}

TEST(FinancialResultTest, CopiesAreIndependent) {
  PaymentResult a = fullPayment();
  PaymentResult b = a;
  EXPECT_EQ(a, b);
  b.fees->push_back(DetailedAmount{"2", "x"});
  (*b.iccRelatedData)[0] = "changed";
  EXPECT_EQ(a.fees->size(), 1u);
  EXPECT_EQ((*a.iccRelatedData)[0], "9F26");
  EXPECT_NE(a, b);
}

TEST(PaymentResultTest, SuccessPrintsEveryLine) {
  EXPECT_EQ(fullPayment().toString(),
            "Transaction Reference: TR-1\n"
            "Transaction Type: SCDP\n"
            "Transaction DateTime: 2026-01-02T03:04:05\n"
            "Recipient Party ID: SN123\n"
            "Exchange ID: EX1\n"
            "Response: N/A\n"
            "Response Reason: N/A\n"
            "Auth Response Reason: 00\n"
            "End Flag: YES\n"
            "Additional Info: ok\n"
            "Total Amount: 10.00\n"
            "Currency: USD\n"
            "Account Type: CTDP\n"
            "Auth Code: A1\n"
            "Auth Identification: AI\n"
            "Requested Amount: 10.00\n"
            "Authorised Amount: 9.00\n"
            "Cumulative Amount: 19.00\n"
            "Cashback: \n"
            "Gratuity: 1.00\n"
            "Value Added Tax: [\n"
            "\t{amount='0.80',label='vat'}\n"
            "]\n"
            "Fees: [\n"
            "\t{amount='',label='svc'}\n"
            "]\n"
            "Merchant ID: M1\n"
            "Merchant Name: Shop\n"
            "POI ID: POI1\n"
            "POI Transaction ID: PT1\n"
            "POI Recon ID: PR1\n"
            "Masked PAN: 4111****1111\n"
            "PAN: 4111111111111111\n"
            "Expiry Date: 2812\n"
            "Card Entry Mode: CTLS\n"
            "Card Brand: VISA\n"
            "AID: A0000000031010\n"
            "Issuer Ref Data: IRD\n"
            "Cashier ID: C7\n"
            "Acquirer: ACQ\n"
            "Invoice Number: INV9\n"
            "Token ID: TOK\n"
            "Additional Sale Data: extra\n"
            "ICC Related Data: [\"9F26\",5]\n"
            "Attendance Context: 5000000000\n"
            "Sale Item Params: [\n"
            "\tRetailerSaleItem{productCode='A1', unitOfMeasure='KILO', productAmount='', "
            "productQuantity='', unitPrice='', productLabel='', productDescription='', "
            "valueAddedTax='', taxType=''}\n"
            "]\n"
            "Print Receipts: [\n"
            "\t{documentQualifier='MRCP', format='TEXT', messageContent='hello'}\n"
            "\t{documentQualifier='', format='', messageContent=''}\n"
            "]");
}

TEST(PaymentResultTest, FailureLeavesOutTheSuccessSection) {
  PaymentResult r = fullPayment();
  r.response = ResponseCode::FAIL;
  r.responseReason = RetailerResultDetailCode::CANC;
  r.endFlag = false;
  r.attendanceContext = AttendanceContextCode::SATT;
  r.saleItemParams = std::vector<RetailerSaleItem>{};
  r.printReceipts.reset();
  EXPECT_EQ(r.toString(),
            "Transaction Reference: TR-1\n"
            "Transaction Type: SCDP\n"
            "Transaction DateTime: 2026-01-02T03:04:05\n"
            "Recipient Party ID: SN123\n"
            "Exchange ID: EX1\n"
            "Response: FAIL\n"
            "Response Reason: CANC\n"
            "Auth Response Reason: 00\n"
            "End Flag: NO\n"
            "Additional Info: ok\n"
            "Merchant ID: M1\n"
            "Merchant Name: Shop\n"
            "POI ID: POI1\n"
            "POI Transaction ID: PT1\n"
            "POI Recon ID: PR1\n"
            "Masked PAN: 4111****1111\n"
            "PAN: 4111111111111111\n"
            "Expiry Date: 2812\n"
            "Card Entry Mode: CTLS\n"
            "Card Brand: VISA\n"
            "AID: A0000000031010\n"
            "Issuer Ref Data: IRD\n"
            "Cashier ID: C7\n"
            "Acquirer: ACQ\n"
            "Invoice Number: INV9\n"
            "Token ID: TOK\n"
            "Additional Sale Data: extra\n"
            "ICC Related Data: [\"9F26\",5]\n"
            "Attendance Context: 1\n"
            "Sale Item Params: N/A\n"
            "Print Receipts: N/A");
}

TEST(PaymentResultTest, EmptyResultPrintsMarkers) {
  PaymentResult r;
  r.fees = std::vector<DetailedAmount>{};
  r.iccRelatedData = std::vector<Json>{};
  r.transactionReference = "";
  EXPECT_EQ(r.toString(),
            "Transaction Reference: \n"
            "Transaction Type: N/A\n"
            "Transaction DateTime: N/A\n"
            "Recipient Party ID: N/A\n"
            "Exchange ID: N/A\n"
            "Response: N/A\n"
            "Response Reason: N/A\n"
            "Auth Response Reason: N/A\n"
            "End Flag: NO\n"
            "Additional Info: N/A\n"
            "Total Amount: N/A\n"
            "Currency: N/A\n"
            "Account Type: CTDP\n"
            "Auth Code: N/A\n"
            "Auth Identification: N/A\n"
            "Requested Amount: N/A\n"
            "Authorised Amount: N/A\n"
            "Cumulative Amount: N/A\n"
            "Cashback: N/A\n"
            "Gratuity: N/A\n"
            "Value Added Tax: N/A\n"
            "Fees: N/A\n"
            "Merchant ID: N/A\n"
            "Merchant Name: N/A\n"
            "POI ID: N/A\n"
            "POI Transaction ID: N/A\n"
            "POI Recon ID: N/A\n"
            "Masked PAN: N/A\n"
            "PAN: N/A\n"
            "Expiry Date: N/A\n"
            "Card Entry Mode: N/A\n"
            "Card Brand: N/A\n"
            "AID: N/A\n"
            "Issuer Ref Data: N/A\n"
            "Cashier ID: N/A\n"
            "Acquirer: N/A\n"
            "Invoice Number: N/A\n"
            "Token ID: N/A\n"
            "Additional Sale Data: N/A\n"
            "ICC Related Data: []\n"
            "Attendance Context: 0\n"
            "Sale Item Params: N/A\n"
            "Print Receipts: N/A");
}

TEST(PaymentResultTest, IccDataWithInvalidUtf8StillPrints) {
  PaymentResult r;
  r.iccRelatedData = {{Json(std::string("9F\xff")), Json::object({{"t", "1"}})}};
  EXPECT_NE(r.toString().find("ICC Related Data: [\"9F\xEF\xBF\xBD\",{\"t\":\"1\"}]\n"),
            std::string::npos);
}

TEST(RefundResultTest, SuccessPrintsEveryLine) {
  RefundResult r;
  fillFinancial(r);
  r.orgTransactionReference = "OTR";
  r.orgTransactionDateTime = "2026-01-01";
  EXPECT_EQ(r.toString(),
            "Transaction Reference: TR-1\n"
            "Transaction Type: SCDP\n"
            "Transaction DateTime: 2026-01-02T03:04:05\n"
            "Recipient Party ID: SN123\n"
            "Exchange ID: EX1\n"
            "Response: N/A\n"
            "Response Reason: N/A\n"
            "Auth Response Reason: 00\n"
            "Additional Info: ok\n"
            "Total Amount: 10.00\n"
            "Currency: USD\n"
            "Account Type: CTDP\n"
            "Gratuity: 1.00\n"
            "Auth Code: A1\n"
            "Auth Identification: AI\n"
            "Value Added Tax: [\n"
            "\tValue: 0.80, Label: vat\n"
            "]\n"
            "Fees: [\n"
            "\tValue: N/A, Label: svc\n"
            "]\n"
            "Merchant ID: M1\n"
            "Merchant Name: Shop\n"
            "POI ID: POI1\n"
            "Masked PAN: 4111****1111\n"
            "PAN: 4111111111111111\n"
            "Expiry Date: 2812\n"
            "Card Entry Mode: CTLS\n"
            "Card Brand: VISA\n"
            "AID: A0000000031010\n"
            "Cashier ID: C7\n"
            "Issuer Ref Data: IRD\n"
            "ICC Related Data: [\"9F26\",5]\n"
            "Original Transaction Reference: OTR\n"
            "Original Transaction DateTime: 2026-01-01\n"
            "POI Transaction ID: PT1\n"
            "POI Reconciliation ID: PR1\n"
            "Invoice Number: INV9\n"
            "Acquirer: ACQ\n"
            "Additional Sale Data: extra\n"
            "Token ID: TOK\n"
            "Print Receipts: [\n"
            "\tDocument Qualifier: MRCP, Output Format: TEXT, Output Content: hello\n"
            "\tDocument Qualifier: N/A, Output Format: N/A, Output Content: N/A\n"
            "]\n");
}

TEST(ReversalResultTest, FailureAndDecodedSuccess) {
  ReversalResult failed;
  failed.response = ResponseCode::WARN;
  failed.responseReason = static_cast<RetailerResultDetailCode>(99);
  failed.transactionType = static_cast<TransactionTypeCode>(99);
  failed.cardDataEntryMode = CardDataReadingCode::UNKW;
  failed.totalAmount = "5.00";
  EXPECT_EQ(failed.toString(),
            "Transaction Reference: N/A\n"
            "Transaction Type: Unknown\n"
            "Transaction DateTime: N/A\n"
            "Recipient Party ID: N/A\n"
            "Exchange ID: N/A\n"
            "Response: WARN\n"
            "Response Reason: REFU\n"
            "Auth Response Reason: N/A\n"
            "Additional Info: N/A\n"
            "Merchant ID: N/A\n"
            "Merchant Name: N/A\n"
            "POI ID: N/A\n"
            "Masked PAN: N/A\n"
            "PAN: N/A\n"
            "Expiry Date: N/A\n"
            "Card Entry Mode: UNKW\n"
            "Card Brand: N/A\n"
            "AID: N/A\n"
            "Cashier ID: N/A\n"
            "Issuer Ref Data: N/A\n"
            "ICC Related Data: N/A\n"
            "POI Transaction ID: N/A\n"
            "POI Reconciliation ID: N/A\n"
            "Invoice Number: N/A\n"
            "Acquirer: N/A\n"
            "Additional Sale Data: N/A\n"
            "Token ID: N/A\n"
            "Print Receipts: N/A\n");

  // A decoded reversal carries no lists; its success section says so.
  ReversalResult decoded;
  decoded.accountType = CardAccountTypeCode::DFLT;
  decoded.currency = ISO4217ActiveCurrency::XXX;
  const std::string text = decoded.toString();
  EXPECT_NE(text.find("Additional Info: N/A\n"
                      "Total Amount: N/A\n"
                      "Currency: XXX\n"
                      "Account Type: DFLT\n"
                      "Gratuity: N/A\n"
                      "Auth Code: N/A\n"
                      "Auth Identification: N/A\n"
                      "Value Added Tax: N/A\n"
                      "Fees: N/A\n"
                      "Merchant ID: N/A\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("Original Transaction"), std::string::npos);
}

TEST(PreAuthResultTest, SuccessPrintsPropertyLines) {
  PreAuthResult r;
  fillFinancial(r);
  r.accountType = CardAccountTypeCode::CRDT;
  EXPECT_EQ(r.toString(),
            "transactionReference: TR-1\n"
            "transactionType: SCDP\n"
            "transactionDateTime: 2026-01-02T03:04:05\n"
            "recipientPartyIdentification: SN123\n"
            "exchangeIdentification: EX1\n"
            "response: nil\n"
            "responseReason: nil\n"
            "authRspnReason: 00\n"
            "additionalResponseInformation: ok\n"
            "totalAmount: 10.00\n"
            "currency: USD\n"
            "accountType: CRDT\n"
            "gratuity: 1.00\n"
            "authorisationCode: A1\n"
            "authorisationIdentification: AI\n"
            "valueAddedTax: [\n"
            "\t{amount='0.80',label='vat'}\n"
            "]\n"
            "fees: [\n"
            "\t{amount='',label='svc'}\n"
            "]\n"
            "merchantIdentification: M1\n"
            "merchantIdentificationName: Shop\n"
            "poiIdentificationId: POI1\n"
            "poiTransactionIdentification: PT1\n"
            "poiReconciliationIdentification: PR1\n"
            "maskedPAN: 4111****1111\n"
            "pan: 4111111111111111\n"
            "expiryDate: 2812\n"
            "cardDataEntryMode: CTLS\n"
            "cardBrand: VISA\n"
            "aid: A0000000031010\n"
            "cashierIdentification: C7\n"
            "issuerReferenceData: IRD\n"
            "acquirerShortName: ACQ\n"
            "invoiceNumber: INV9\n"
            "tokenIdentification: TOK\n"
            "additionalSaleData: extra\n"
            "iccRelatedData: [\"9F26\",5]\n"
            "printReceipts: [\n"
            "\t{documentQualifier='MRCP', format='TEXT', messageContent='hello'}\n"
            "\t{documentQualifier='', format='', messageContent=''}\n"
            "]");
}

TEST(AuthAdjustmentResultTest, DecodedShapesPrintNil) {
  AuthAdjustmentResult r;
  r.response = ResponseCode::FAIL;
  r.responseReason = RetailerResultDetailCode::DEVO;
  r.transactionType = TransactionTypeCode::CASH_RFND;
  EXPECT_EQ(r.toString(),
            "transactionReference: nil\n"
            "transactionType: CASH_RFND\n"
            "transactionDateTime: nil\n"
            "recipientPartyIdentification: nil\n"
            "exchangeIdentification: nil\n"
            "response: FAIL\n"
            "responseReason: DEVO\n"
            "authRspnReason: nil\n"
            "additionalResponseInformation: nil\n"
            "merchantIdentification: nil\n"
            "merchantIdentificationName: nil\n"
            "poiIdentificationId: nil\n"
            "poiTransactionIdentification: nil\n"
            "poiReconciliationIdentification: nil\n"
            "maskedPAN: nil\n"
            "pan: nil\n"
            "expiryDate: nil\n"
            "cardDataEntryMode: nil\n"
            "cardBrand: nil\n"
            "aid: nil\n"
            "cashierIdentification: nil\n"
            "issuerReferenceData: nil\n"
            "acquirerShortName: nil\n"
            "invoiceNumber: nil\n"
            "tokenIdentification: nil\n"
            "additionalSaleData: nil\n"
            "iccRelatedData: nil\n"
            "printReceipts: nil");

  r.response = ResponseCode::SUCC;
  r.requestedAmount = "20.00";
  r.authorisedAmount = "";
  r.valueAddedTax = {{DetailedAmount{"1.50", std::nullopt}}};
  const std::string text = r.toString();
  EXPECT_NE(text.find("additionalResponseInformation: nil\n"
                      "totalAmount: nil\n"
                      "currency: nil\n"
                      "accountType: CTDP\n"
                      "gratuity: nil\n"
                      "authorisationCode: nil\n"
                      "authorisationIdentification: nil\n"
                      "requestedAmount: 20.00\n"
                      "authorisedAmount: \n"
                      "cumulativeAmount: nil\n"
                      "valueAddedTax: [\n"
                      "\t{amount='1.50',label=''}\n"
                      "]\n"
                      "fees: nil\n"
                      "merchantIdentification: nil\n"),
            std::string::npos)
      << text;
  EXPECT_TRUE(text.ends_with("\nprintReceipts: nil"));
}

TEST(PreAuthCompletionResultTest, SuccessJson) {
  PreAuthCompletionResult r;
  fillFinancial(r);
  EXPECT_EQ(r.toString(), R"({
  "transactionReference": "TR-1",
  "transactionType": "SCDP",
  "recipientPartyIdentification": "SN123",
  "authRspnReason": "00",
  "additionalResponseInformation": "ok",
  "exchangeIdentification": "EX1",
  "cashierIdentification": "C7",
  "totalAmount": "10.00",
  "transactionDateTime": "2026-01-02T03:04:05",
  "currency": "USD",
  "gratuity": "1.00",
  "authorisationCode": "A1",
  "authorisationIdentification": "AI",
  "merchantIdentification": "M1",
  "merchantIdentificationName": "Shop",
  "poiIdentificationId": "POI1",
  "maskedPAN": "4111****1111",
  "cardDataEntryMode": "CTLS",
  "cardBrand": "VISA",
  "expiryDate": "2812",
  "pan": "4111111111111111",
  "invoiceNumber": "INV9",
  "acquirerShortName": "ACQ",
  "issuerReferenceData": "IRD",
  "iccRelatedData": [
    "9F26",
    5
  ],
  "poiTransactionIdentification": "PT1",
  "poiReconciliationIdentification": "PR1",
  "aid": "A0000000031010",
  "additionalSaleData": "extra",
  "tokenIdentification": "TOK",
  "valueAddedTax": [
    {
      "amount": "0.80",
      "label": "vat"
    }
  ],
  "fees": [
    {
      "amount": "",
      "label": "svc"
    }
  ],
  "printReceipts": [
    {
      "format": "TEXT",
      "messageContent": "hello",
      "documentQualifier": "MRCP"
    },
    {
      "format": "",
      "messageContent": "",
      "documentQualifier": ""
    }
  ]
})");
}

TEST(PreAuthCompletionResultTest, OmissionRules) {
  PreAuthCompletionResult r;
  fillFinancial(r);
  r.response = ResponseCode::FAIL;
  r.responseReason = RetailerResultDetailCode::CANC;
  EXPECT_EQ(*platform::parseJson(r.toString()),
            Json::parse(R"({"transactionReference": "TR-1", "transactionType": "SCDP",
                "recipientPartyIdentification": "SN123", "response": "FAIL",
                "responseReason": "CANC", "authRspnReason": "00",
                "additionalResponseInformation": "ok", "exchangeIdentification": "EX1",
                "cashierIdentification": "C7"})"));

  PreAuthCompletionResult empty;
  EXPECT_EQ(empty.toString(), "{}");
  // Empty amount and receipt lists are left out; an empty chip-data list is
  // kept; a non-zero account type is written.
  empty.valueAddedTax = std::vector<DetailedAmount>{};
  empty.fees = std::vector<DetailedAmount>{};
  empty.printReceipts = std::vector<PrintReceipt>{};
  empty.iccRelatedData = std::vector<Json>{};
  empty.accountType = CardAccountTypeCode::CRDT;
  empty.totalAmount = "";
  EXPECT_EQ(*platform::parseJson(empty.toString()),
            Json::parse(R"({"totalAmount": "", "accountType": "CRDT", "iccRelatedData": []})"));
}

TEST(PreAuthCompletionResultTest, WriterFailureGivesErrorText) {
  PreAuthCompletionResult r;
  r.transactionReference = std::string("bad \xff");
  EXPECT_TRUE(r.toString().starts_with("Error converting to JSON: ")) << r.toString();
  EXPECT_GT(r.toString().size(), std::string("Error converting to JSON: ").size());
}

TEST(BalanceInquiryResultTest, BraceBlock) {
  BalanceInquiryResult r;
  EXPECT_EQ(r.toString(),
            "{\n"
            "  exchangeIdentification: nil,\n"
            "  cashierIdentification: nil,\n"
            "  recipientPartyIdentification: nil,\n"
            "  response: nil,\n"
            "  responseReason: nil,\n"
            "  authRspnReason: nil,\n"
            "  additionalResponseInformation: nil,\n"
            "  issuerReferenceData: nil,\n"
            "  transactionDateTime: nil,\n"
            "  currency: nil,\n"
            "  currentBalance: nil,\n"
            "  merchantIdentification: nil,\n"
            "  merchantIdentificationName: nil,\n"
            "  poiIdentificationId: nil,\n"
            "  maskedPAN: nil,\n"
            "  cardBrand: nil,\n"
            "  poiTransactionIdentification: nil\n"
            "}");

  r.exchangeIdentification = "EX1";
  r.cashierIdentification = "C7";
  r.recipientPartyIdentification = "SN123";
  r.response = ResponseCode::PART;
  r.responseReason = RetailerResultDetailCode::WIPG;
  r.authRspnReason = "";
  r.additionalResponseInformation = "ok";
  r.issuerReferenceData = "IRD";
  r.transactionDateTime = "2026-01-02";
  r.currency = ISO4217ActiveCurrency::EUR;
  r.currentBalance = "99.50";
  r.merchantIdentification = "M1";
  r.merchantIdentificationName = "Shop";
  r.poiIdentificationId = "POI1";
  r.maskedPAN = "4111****1111";
  r.cardBrand = "VISA";
  r.poiTransactionIdentification = "PT1";
  EXPECT_EQ(r.toString(),
            "{\n"
            "  exchangeIdentification: EX1,\n"
            "  cashierIdentification: C7,\n"
            "  recipientPartyIdentification: SN123,\n"
            "  response: PART,\n"
            "  responseReason: WIPG,\n"
            "  authRspnReason: ,\n"
            "  additionalResponseInformation: ok,\n"
            "  issuerReferenceData: IRD,\n"
            "  transactionDateTime: 2026-01-02,\n"
            "  currency: EUR,\n"
            "  currentBalance: 99.50,\n"
            "  merchantIdentification: M1,\n"
            "  merchantIdentificationName: Shop,\n"
            "  poiIdentificationId: POI1,\n"
            "  maskedPAN: 4111****1111,\n"
            "  cardBrand: VISA,\n"
            "  poiTransactionIdentification: PT1\n"
            "}");
}

}  // namespace
}  // namespace veltrix::model
