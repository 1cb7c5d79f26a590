#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "builders/field_check.h"
#include "veltrix/builders/builders.h"

namespace veltrix::model {
namespace {

using testing::expectTextFieldsCarried;
using testing::Kind;

// Every builder that carries the base and financial fields.
using FinancialKinds = ::testing::Types<
    Kind<BaseFinancialParam, BaseFinancialParamBuilder>, Kind<PaymentParam, PaymentParamBuilder>,
    Kind<RefundParam, RefundParamBuilder>, Kind<ReconciliationParam, ReconciliationParamBuilder>,
    Kind<ReversalParam, ReversalParamBuilder>, Kind<PreAuthParam, PreAuthParamBuilder>,
    Kind<PreAuthCompletionParam, PreAuthCompletionParamBuilder>,
    Kind<BalanceInquiryParam, BalanceInquiryParamBuilder>,
    Kind<AuthAdjustmentParam, AuthAdjustmentParamBuilder>>;

template <typename K>
class FinancialBuilderTest : public ::testing::Test {};
TYPED_TEST_SUITE(FinancialBuilderTest, FinancialKinds);

// The base builder of B, where the base fields and the base flag live.
template <typename B>
BaseParamsBuilder& baseOf(B& b) {
  if constexpr (std::is_same_v<B, BaseFinancialParamBuilder>) {
    return b.baseBuilder();
  } else {
    return b.financialBuilder().baseBuilder();
  }
}

const DetailedAmount kFee{"1.50", "service"};
const DetailedAmount kTax{"0.20", "VAT"};

BaseFinancialParam everyFinancialField() {
  BaseFinancialParam p;
  p.transactionReference = "INV-1";
  p.transactionType = TransactionTypeCode::RFND;
  p.accountType = CardAccountTypeCode::CRDT;
  p.cashierIdentification = "";
  p.servicesParams = DestinationParams{"SN1", "svc", "127.0.0.1:8080"};
  p.runInBackground = true;
  p.fees = std::vector{kFee};
  p.valueAddedTaxs = std::vector{kTax, kTax};
  p.additionalSaleData = "asd";
  p.additionalSaleData1 = "asd1";
  p.additionalSaleData2 = "asd2";
  p.cardBrand = "VISA";
  p.cardDataEntryMode = CardDataReadingCode::MGST;
  p.forceOnlineFlag = true;
  p.partialApproval = true;
  p.receiptConstruct = std::vector<ReceiptConstructEntry>{platform::Json{{"k", "v"}}};
  p.mobilePhone = std::vector<std::string>{"+41 1", "+41 2"};
  p.emailAddress = "a@b.c";
  p.merchantIdentification = "M1";
  p.merchantIdentificationName = "Shop";
  p.poiIdentificationId = "POI";
  p.tokenIdentification = "TOK";
  p.requiredESignFlag = true;
  p.attendanceContext = AttendanceContextCode::UATT;
  p.acquireManagerPwd = "pw";
  return p;
}

TYPED_TEST(FinancialBuilderTest, WithoutConfigureEverythingIsEmpty) {
  using Param = typename TypeParam::Param;
  EXPECT_EQ(Param::makeWithBuilder(), Param{});
  EXPECT_EQ(Param::makeWithBuilder(nullptr), Param{});
  EXPECT_EQ(Param::makeWithBuilder([](auto&) {}), Param{});
}

TYPED_TEST(FinancialBuilderTest, ForwardedSettersChainOnTheBuilderAndCarryEveryField) {
  using Param = typename TypeParam::Param;
  using B = typename TypeParam::Builder;
  const BaseFinancialParam want = everyFinancialField();
  const Param p = Param::makeWithBuilder([&](B& b) {
    // Binding the end of the chain to B& proves at compile time that every
    // forwarded setter returns the builder itself, not its inner builder.
    B& end = b.transactionReference("INV-1")
                 .transactionType(TransactionTypeCode::RFND)
                 .accountType(CardAccountTypeCode::CRDT)
                 .cashierIdentification("")
                 .servicesWithSn("SN1", "svc", "127.0.0.1:8080")
                 .fees(std::vector{kFee})
                 .valueAddedTaxs(std::vector{kTax, kTax})
                 .additionalSaleData("asd")
                 .additionalSaleData1("asd1")
                 .additionalSaleData2("asd2")
                 .cardBrand("VISA")
                 .cardDataEntryMode(CardDataReadingCode::MGST)
                 .forceOnlineFlag(true)
                 .partialApproval(true)
                 .receiptConstruct(*want.receiptConstruct)
                 .mobilePhone(std::vector<std::string>{"+41 1", "+41 2"})
                 .emailAddress("a@b.c")
                 .merchantIdentification("M1")
                 .merchantIdentificationName("Shop")
                 .poiIdentificationId("POI")
                 .tokenIdentification("TOK")
                 .requiredESignFlag(true)
                 .exchangeIdentification("EX")
                 .runInBackground(true)
                 .attendanceContext(AttendanceContextCode::UATT)
                 .acquireManagerPwd("pw");
    EXPECT_EQ(&end, &b);
  });
  EXPECT_EQ(static_cast<const BaseFinancialParam&>(p), want);
}

TYPED_TEST(FinancialBuilderTest, RunInBackgroundIsTheOrOfTheBaseAndOwnFlags) {
  using Param = typename TypeParam::Param;
  using B = typename TypeParam::Builder;
  for (const bool base : {false, true}) {
    for (const bool own : {false, true}) {
      const Param p = Param::makeWithBuilder([&](B& b) {
        baseOf(b).runInBackground(base);
        b.runInBackground(own);
      });
      EXPECT_EQ(p.runInBackground, base || own) << base << own;
    }
  }
}

TYPED_TEST(FinancialBuilderTest, AbsentListsFollowTheirOwnRules) {
  using Param = typename TypeParam::Param;
  using B = typename TypeParam::Builder;
  const Param p = Param::makeWithBuilder([](B& b) {
    b.fees(std::nullopt).valueAddedTaxs(std::nullopt).mobilePhone(std::nullopt);
    b.receiptConstruct(std::vector<ReceiptConstructEntry>{platform::Json::object()});
    b.receiptConstruct(std::nullopt);
  });
  ASSERT_TRUE(p.fees && p.valueAddedTaxs && p.mobilePhone);
  EXPECT_TRUE(p.fees->empty());
  EXPECT_TRUE(p.valueAddedTaxs->empty());
  EXPECT_TRUE(p.mobilePhone->empty());
  EXPECT_FALSE(p.receiptConstruct);
}

TYPED_TEST(FinancialBuilderTest, DestinationsArePresentEvenWhenEmptyAndTheLastOneWins) {
  using Param = typename TypeParam::Param;
  using B = typename TypeParam::Builder;
  const DestinationParams d1{"SN1", std::nullopt, "127.0.0.1:1"};
  EXPECT_EQ(Param::makeWithBuilder([](B& b) {
              b.servicesWithSn(std::nullopt, std::nullopt, std::nullopt);
            }).servicesParams,
            DestinationParams{});
  EXPECT_EQ(
      Param::makeWithBuilder([](B& b) { b.servicesParamsWithBuilder(nullptr); }).servicesParams,
      DestinationParams{});
  EXPECT_EQ(Param::makeWithBuilder([&](B& b) {
              b.servicesParams(d1).servicesWithSn("SN2", "s", std::nullopt);
            }).servicesParams,
            (DestinationParams{"SN2", "s", std::nullopt}));
  EXPECT_EQ(Param::makeWithBuilder([&](B& b) {
              b.servicesParamsWithBuilder([](DestinationParamsBuilder& d) {
                 d.sn("SN3");
               }).servicesParams(d1);
            }).servicesParams,
            d1);
  EXPECT_FALSE(Param::makeWithBuilder([&](B& b) {
                 b.servicesParams(d1).servicesParams(std::nullopt);
               }).servicesParams);
}

// --- Payment and sale item --------------------------------------------------

TEST(PaymentParamBuilderTest, CarriesItsOwnFields) {
  using B = PaymentParamBuilder;
  using P = PaymentParam;
  expectTextFieldsCarried<B, P>(
      {VELTRIX_TEXT_FIELD(B, P, totalAmount), VELTRIX_TEXT_FIELD(B, P, gratuity),
       VELTRIX_TEXT_FIELD(B, P, cashBack), VELTRIX_TEXT_FIELD(B, P, pan),
       VELTRIX_TEXT_FIELD(B, P, track1), VELTRIX_TEXT_FIELD(B, P, track2),
       VELTRIX_TEXT_FIELD(B, P, track3), VELTRIX_TEXT_FIELD(B, P, maskedPAN),
       VELTRIX_TEXT_FIELD(B, P, requestedAmount), VELTRIX_TEXT_FIELD(B, P, postCode),
       VELTRIX_TEXT_FIELD(B, P, addressLine), VELTRIX_TEXT_FIELD(B, P, expiryDate),
       VELTRIX_TEXT_FIELD(B, P, cvv2)});

  const PaymentParam p = PaymentParam::makeWithBuilder([](B& b) {
    // Amounts are text: nothing parses, rounds or checks them.
    b.totalAmount("0010.500").cashBack("abc").currency(ISO4217ActiveCurrency::EUR).pan("");
    b.saleReferenceIdentification("REF");
  });
  EXPECT_EQ(p.totalAmount, "0010.500");
  EXPECT_EQ(p.cashBack, "abc");
  EXPECT_EQ(p.currency, ISO4217ActiveCurrency::EUR);
  EXPECT_EQ(p.pan, "");  // empty, not absent
  EXPECT_FALSE(p.saleItems);
}

TEST(PaymentParamBuilderTest, SaleItemsAbsentBecomeEmptyWhileNeverSetStayAbsent) {
  const RetailerSaleItem a = RetailerSaleItem::makeWithBuilder(
      [](RetailerSaleItemBuilder& b) { b.productCode("A").unitPrice("1.00"); });
  const RetailerSaleItem c =
      RetailerSaleItem::makeWithBuilder([](RetailerSaleItemBuilder& b) { b.productCode("C"); });

  EXPECT_FALSE(PaymentParam::makeWithBuilder().saleItems);
  const auto empty =
      PaymentParam::makeWithBuilder([](PaymentParamBuilder& b) { b.saleItems(std::nullopt); });
  ASSERT_TRUE(empty.saleItems);
  EXPECT_TRUE(empty.saleItems->empty());
  const auto two = PaymentParam::makeWithBuilder([&](PaymentParamBuilder& b) {
    b.saleItems(std::vector{a, c});
  });
  EXPECT_EQ(two.saleItems, (std::vector{a, c}));
}

TEST(RetailerSaleItemBuilderTest, CarriesEveryField) {
  using B = RetailerSaleItemBuilder;
  using P = RetailerSaleItem;
  EXPECT_EQ(RetailerSaleItem::makeWithBuilder(), RetailerSaleItem{});
  expectTextFieldsCarried<B, P>(
      {VELTRIX_TEXT_FIELD(B, P, productCode), VELTRIX_TEXT_FIELD(B, P, productAmount),
       VELTRIX_TEXT_FIELD(B, P, productQuantity), VELTRIX_TEXT_FIELD(B, P, unitPrice),
       VELTRIX_TEXT_FIELD(B, P, productLabel), VELTRIX_TEXT_FIELD(B, P, productDescription),
       VELTRIX_TEXT_FIELD(B, P, valueAddedTax), VELTRIX_TEXT_FIELD(B, P, taxType)});
  EXPECT_EQ(RetailerSaleItem::makeWithBuilder([](B& b) {
              b.unitOfMeasure(UnitOfMeasureCode::KILO);
            }).unitOfMeasure,
            UnitOfMeasureCode::KILO);
}

// --- Refund and reconciliation ----------------------------------------------

TEST(RefundParamBuilderTest, CarriesItsOwnFields) {
  using B = RefundParamBuilder;
  using P = RefundParam;
  expectTextFieldsCarried<B, P>(
      {VELTRIX_TEXT_FIELD(B, P, orgTransactionReference),
       VELTRIX_TEXT_FIELD(B, P, orgTransactionDateTime),
       VELTRIX_TEXT_FIELD(B, P, orgIssuerReferenceData),
       VELTRIX_TEXT_FIELD(B, P, orgPoiIdentificationId),
       VELTRIX_TEXT_FIELD(B, P, orgPoiTransactionIdentification),
       VELTRIX_TEXT_FIELD(B, P, orgAuthorisationCode), VELTRIX_TEXT_FIELD(B, P, totalAmount),
       VELTRIX_TEXT_FIELD(B, P, gratuity), VELTRIX_TEXT_FIELD(B, P, invoiceNumber),
       VELTRIX_TEXT_FIELD(B, P, postCode), VELTRIX_TEXT_FIELD(B, P, addressLine),
       VELTRIX_TEXT_FIELD(B, P, maskedPAN), VELTRIX_TEXT_FIELD(B, P, pan),
       VELTRIX_TEXT_FIELD(B, P, expiryDate), VELTRIX_TEXT_FIELD(B, P, cvv2)});

  const RefundParam p = RefundParam::makeWithBuilder([](B& b) {
    b.isFullReversal(true).currency(ISO4217ActiveCurrency::USD).saleItems(std::nullopt);
  });
  EXPECT_TRUE(p.isFullReversal);
  EXPECT_EQ(p.currency, ISO4217ActiveCurrency::USD);
  ASSERT_TRUE(p.saleItems);
  EXPECT_TRUE(p.saleItems->empty());
  EXPECT_FALSE(RefundParam::makeWithBuilder().saleItems);
}

TEST(ReconciliationParamBuilderTest, CarriesItsOwnFields) {
  using B = ReconciliationParamBuilder;
  using P = ReconciliationParam;
  expectTextFieldsCarried<B, P>({VELTRIX_TEXT_FIELD(B, P, acquirerIdentification),
                                 VELTRIX_TEXT_FIELD(B, P, poiReconciliationIdentification)});
  EXPECT_EQ(ReconciliationParam::makeWithBuilder([](B& b) {
              b.reconciliationType(ReconciliationTypeCode::SREC);
            }).reconciliationType,
            ReconciliationTypeCode::SREC);
}

// --- Reversal ---------------------------------------------------------------

TEST(ReversalParamBuilderTest, CarriesItsOwnFields) {
  using B = ReversalParamBuilder;
  using P = ReversalParam;
  expectTextFieldsCarried<B, P>({VELTRIX_TEXT_FIELD(B, P, orgTransactionDateTime),
                                 VELTRIX_TEXT_FIELD(B, P, orgTransactionReference),
                                 VELTRIX_TEXT_FIELD(B, P, orgIssuerReferenceData),
                                 VELTRIX_TEXT_FIELD(B, P, orgPoiTransactionIdentification),
                                 VELTRIX_TEXT_FIELD(B, P, totalAmount),
                                 VELTRIX_TEXT_FIELD(B, P, gratuity),
                                 VELTRIX_TEXT_FIELD(B, P, cashback),
                                 VELTRIX_TEXT_FIELD(B, P, issuerReferenceData),
                                 VELTRIX_TEXT_FIELD(B, P, invoiceNumber),
                                 VELTRIX_TEXT_FIELD(B, P, maskedPAN),
                                 VELTRIX_TEXT_FIELD(B, P, cvv2),
                                 VELTRIX_TEXT_FIELD(B, P, reversedAmount),
                                 VELTRIX_TEXT_FIELD(B, P, requestedAmount),
                                 VELTRIX_TEXT_FIELD(B, P, authorisationCode),
                                 VELTRIX_TEXT_FIELD(B, P, postCode),
                                 VELTRIX_TEXT_FIELD(B, P, addressLine),
                                 VELTRIX_TEXT_FIELD(B, P, pan),
                                 VELTRIX_TEXT_FIELD(B, P, expiryDate),
                                 VELTRIX_TEXT_FIELD(B, P, orgPoiIdentificationId),
                                 VELTRIX_TEXT_FIELD(B, P, orgAuthorisationIdentification),
                                 VELTRIX_TEXT_FIELD(B, P, orgAuthorisationCode)});

  const ReversalParam p = ReversalParam::makeWithBuilder([](B& b) {
    b.currency(ISO4217ActiveCurrency::EUR)
        .reversalReason(ReversalReasonCode::MALF)
        .isFullReversal(true)
        .cardBrand("MC")
        .totalAmount("1")
        .totalAmount(std::nullopt);  // the last call wins, absent included
  });
  EXPECT_EQ(p.currency, ISO4217ActiveCurrency::EUR);
  EXPECT_EQ(p.reversalReason, ReversalReasonCode::MALF);
  EXPECT_TRUE(p.isFullReversal);
  EXPECT_EQ(p.cardBrand, "MC");
  EXPECT_FALSE(p.totalAmount);
}

// --- Pre-authorisation and completion ---------------------------------------

TEST(PreAuthParamBuilderTest, CarriesItsOwnFields) {
  using B = PreAuthParamBuilder;
  using P = PreAuthParam;
  expectTextFieldsCarried<B, P>(
      {VELTRIX_TEXT_FIELD(B, P, totalAmount), VELTRIX_TEXT_FIELD(B, P, gratuity),
       VELTRIX_TEXT_FIELD(B, P, cashback), VELTRIX_TEXT_FIELD(B, P, pan),
       VELTRIX_TEXT_FIELD(B, P, track1), VELTRIX_TEXT_FIELD(B, P, track2),
       VELTRIX_TEXT_FIELD(B, P, track3), VELTRIX_TEXT_FIELD(B, P, maskedPAN),
       VELTRIX_TEXT_FIELD(B, P, postCode), VELTRIX_TEXT_FIELD(B, P, addressLine),
       VELTRIX_TEXT_FIELD(B, P, expiryDate), VELTRIX_TEXT_FIELD(B, P, cvv2),
       VELTRIX_TEXT_FIELD(B, P, merchantCategoryCode)});

  const PreAuthParam p = PreAuthParam::makeWithBuilder(
      [](B& b) { b.currency(ISO4217ActiveCurrency::GBP).saleItems(std::nullopt); });
  EXPECT_EQ(p.currency, ISO4217ActiveCurrency::GBP);
  ASSERT_TRUE(p.saleItems);
  EXPECT_TRUE(p.saleItems->empty());
  EXPECT_FALSE(PreAuthParam::makeWithBuilder().saleItems);
}

TEST(PreAuthCompletionParamBuilderTest, CarriesItsOwnFields) {
  using B = PreAuthCompletionParamBuilder;
  using P = PreAuthCompletionParam;
  expectTextFieldsCarried<B, P>(
      {VELTRIX_TEXT_FIELD(B, P, orgTransactionReference),
       VELTRIX_TEXT_FIELD(B, P, orgTransactionDateTime),
       VELTRIX_TEXT_FIELD(B, P, orgIssuerReferenceData), VELTRIX_TEXT_FIELD(B, P, totalAmount),
       VELTRIX_TEXT_FIELD(B, P, gratuity), VELTRIX_TEXT_FIELD(B, P, orgAuthorisationCode),
       VELTRIX_TEXT_FIELD(B, P, invoiceNumber), VELTRIX_TEXT_FIELD(B, P, orgPoiIdentificationId),
       VELTRIX_TEXT_FIELD(B, P, orgPoiTransactionIdentification),
       VELTRIX_TEXT_FIELD(B, P, orgAuthorisationIdentification), VELTRIX_TEXT_FIELD(B, P, postCode),
       VELTRIX_TEXT_FIELD(B, P, addressLine)});
  EXPECT_EQ(PreAuthCompletionParam::makeWithBuilder([](B& b) {
              b.currency(ISO4217ActiveCurrency::CAD);
            }).currency,
            ISO4217ActiveCurrency::CAD);
}

TEST(PreAuthCompletionParamBuilderTest, ANonZeroAccountTypeWinsOverTheDirectOne) {
  using B = PreAuthCompletionParamBuilder;
  constexpr auto k3 = static_cast<CardAccountTypeCode>(3);
  constexpr auto k7 = static_cast<CardAccountTypeCode>(7);
  constexpr auto k0 = CardAccountTypeCode{};
  auto build = [](const std::function<void(B&)>& configure) {
    return PreAuthCompletionParam::makeWithBuilder(configure).accountType;
  };
  EXPECT_EQ(build([&](B& b) { b.accountType(k3).accountTypeDirect(k7); }), k3);
  EXPECT_EQ(build([&](B& b) { b.accountTypeDirect(k7).accountType(k3); }), k3);
  EXPECT_EQ(build([&](B& b) { b.accountTypeDirect(k7); }), k7);
  EXPECT_EQ(build([&](B& b) { b.accountType(k0).accountTypeDirect(k7); }), k7);
  EXPECT_EQ(build([&](B& b) { b.accountTypeDirect(k7).accountType(k0); }), k7);
  EXPECT_EQ(build([&](B& b) { b.accountType(k3); }), k3);
  EXPECT_EQ(build(nullptr), k0);
  // The direct value can be taken back.
  EXPECT_EQ(build([&](B& b) { b.accountTypeDirect(k7).accountTypeDirect(k0); }), k0);
}

// --- Balance inquiry --------------------------------------------------------

TEST(BalanceInquiryParamBuilderTest, AppendersExtendTheFinancialLists) {
  using B = BalanceInquiryParamBuilder;
  const DetailedAmount a{"1", "a"};
  const DetailedAmount b2{"2", "b"};

  const auto p = BalanceInquiryParam::makeWithBuilder([&](B& b) {
    b.accountReference("ACC").addFee(a).addFee(b2).addValueAddedTax(b2);
    b.addMobilePhone("1").addMobilePhone("1").addMobilePhone("");
  });
  EXPECT_EQ(p.accountReference, "ACC");
  EXPECT_EQ(p.fees, (std::vector{a, b2}));
  EXPECT_EQ(p.valueAddedTaxs, (std::vector{b2}));
  EXPECT_EQ(p.mobilePhone, (std::vector<std::string>{"1", "1", ""}));

  // An absent element changes nothing: an absent list stays absent, a
  // present one keeps its entries.
  const auto none = BalanceInquiryParam::makeWithBuilder([](B& b) {
    b.addFee(std::nullopt).addValueAddedTax(std::nullopt).addMobilePhone(std::nullopt);
  });
  EXPECT_EQ(none, BalanceInquiryParam{});
  EXPECT_EQ(
      BalanceInquiryParam::makeWithBuilder([&](B& b) { b.addFee(a).addFee(std::nullopt); }).fees,
      (std::vector{a}));
}

TEST(BalanceInquiryParamBuilderTest, AppendersAndWholeListSettersCombineInCallOrder) {
  using B = BalanceInquiryParamBuilder;
  const DetailedAmount a{"1", "a"};
  const DetailedAmount b2{"2", "b"};
  const std::vector<DetailedAmount> hostList{a};

  EXPECT_EQ(BalanceInquiryParam::makeWithBuilder([&](B& b) { b.fees(hostList).addFee(b2); }).fees,
            (std::vector{a, b2}));
  EXPECT_EQ(hostList.size(), 1u);
  EXPECT_EQ(BalanceInquiryParam::makeWithBuilder([&](B& b) { b.addFee(b2).fees(hostList); }).fees,
            hostList);
  EXPECT_EQ(
      BalanceInquiryParam::makeWithBuilder([&](B& b) { b.fees(std::nullopt).addFee(b2); }).fees,
      (std::vector{b2}));
  EXPECT_EQ(BalanceInquiryParam::makeWithBuilder([&](B& b) {
              b.mobilePhone(std::vector<std::string>{"9"}).addMobilePhone("8");
            }).mobilePhone,
            (std::vector<std::string>{"9", "8"}));
}

// --- Authorisation adjustment -----------------------------------------------

TEST(AuthAdjustmentParamBuilderTest, CarriesItsOwnFieldsApartFromTheSharedOnes) {
  using B = AuthAdjustmentParamBuilder;
  using P = AuthAdjustmentParam;
  expectTextFieldsCarried<B, P>(
      {VELTRIX_TEXT_FIELD(B, P, orgTransactionReference),
       VELTRIX_TEXT_FIELD(B, P, orgIssuerReferenceData),
       VELTRIX_TEXT_FIELD(B, P, orgPoiIdentificationId),
       VELTRIX_TEXT_FIELD(B, P, orgAuthorisationCode),
       VELTRIX_TEXT_FIELD(B, P, orgAuthorisationIdentification),
       VELTRIX_TEXT_FIELD(B, P, orgPoiTransactionIdentification),
       VELTRIX_TEXT_FIELD(B, P, orgTransactionDateTime), VELTRIX_TEXT_FIELD(B, P, totalAmount),
       VELTRIX_TEXT_FIELD(B, P, gratuity), VELTRIX_TEXT_FIELD(B, P, invoiceNumber)});

  const AuthAdjustmentParam p = AuthAdjustmentParam::makeWithBuilder([](B& b) {
    b.amountQualifier(TypeOfAmountCode::INCR)
        .currency(ISO4217ActiveCurrency::EUR)
        .totalAmount("5.00")
        .orgTransactionReference("ORG");
  });
  EXPECT_EQ(p.amountQualifier, TypeOfAmountCode::INCR);
  EXPECT_EQ(p.currency, ISO4217ActiveCurrency::EUR);
  EXPECT_FALSE(p.fees);
  EXPECT_FALSE(p.transactionReference);
}

}  // namespace
}  // namespace veltrix::model
