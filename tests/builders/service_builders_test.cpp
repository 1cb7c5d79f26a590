#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "builders/field_check.h"
#include "veltrix/builders/builders.h"

namespace veltrix::model {
namespace {

using testing::expectTextFieldsCarried;
using testing::Kind;

// Every builder of a direct subclass of BaseParams.
using ServiceKinds = ::testing::Types<
    Kind<NFCTagParam, NFCTagParamBuilder>, Kind<TransmitMessageParam, TransmitMessageParamBuilder>,
    Kind<MessageStatusParam, MessageStatusParamBuilder>, Kind<ReprintParam, ReprintParamBuilder>,
    Kind<PrintParam, PrintParamBuilder>, Kind<DisplayParam, DisplayParamBuilder>,
    Kind<AbortParam, AbortParamBuilder>, Kind<CardAuthParam, CardAuthParamBuilder>>;

template <typename K>
class ServiceBuilderTest : public ::testing::Test {};
TYPED_TEST_SUITE(ServiceBuilderTest, ServiceKinds);

TYPED_TEST(ServiceBuilderTest, CarriesTheBaseFieldsButNeverTheBaseBuildersFlag) {
  using Param = typename TypeParam::Param;
  using B = typename TypeParam::Builder;
  const Param p = Param::makeWithBuilder([](B& b) {
    B& end = b.transactionReference("INV-9")
                 .transactionType(TransactionTypeCode::CSHP)
                 .accountType(CardAccountTypeCode::SVNG)
                 .cashierIdentification("cashier")
                 .servicesParamsWithBuilder(
                     [](DestinationParamsBuilder& d) { d.sn("SN").address("127.0.0.1:9"); });
    EXPECT_EQ(&end, &b);
    b.baseBuilder().runInBackground(true);
  });
  EXPECT_EQ(p.transactionReference, "INV-9");
  EXPECT_EQ(p.transactionType, TransactionTypeCode::CSHP);
  EXPECT_EQ(p.accountType, CardAccountTypeCode::SVNG);
  EXPECT_EQ(p.cashierIdentification, "cashier");
  EXPECT_EQ(p.servicesParams, (DestinationParams{"SN", std::nullopt, "127.0.0.1:9"}));
  EXPECT_FALSE(p.runInBackground);
}

TYPED_TEST(ServiceBuilderTest, DestinationsArePresentEvenWhenEmpty) {
  using Param = typename TypeParam::Param;
  using B = typename TypeParam::Builder;
  EXPECT_EQ(Param::makeWithBuilder([](B& b) {
              b.servicesWithSn(std::nullopt, std::nullopt, std::nullopt);
            }).servicesParams,
            DestinationParams{});
  EXPECT_EQ(
      Param::makeWithBuilder([](B& b) { b.servicesParamsWithBuilder(nullptr); }).servicesParams,
      DestinationParams{});
  EXPECT_FALSE(Param::makeWithBuilder().servicesParams);
}

// --- Message services -------------------------------------------------------

TEST(NFCTagParamBuilderTest, CarriesItsOwnFieldsButNotTheExchangeIdentification) {
  using B = NFCTagParamBuilder;
  EXPECT_EQ(NFCTagParam::makeWithBuilder(), NFCTagParam{});
  const NFCTagParam p = NFCTagParam::makeWithBuilder([](B& b) {
    b.runInBackground(true).messageContent("tag").maximumWaitingTime(30).detectCount(2);
  });
  EXPECT_TRUE(p.runInBackground);
  EXPECT_EQ(p.messageContent, "tag");
  EXPECT_EQ(p.maximumWaitingTime, 30);
  EXPECT_EQ(p.detectCount, 2);
  EXPECT_EQ(NFCTagParam::makeWithBuilder([](B& b) { b.exchangeIdentification("EX"); }),
            NFCTagParam{});
}

TEST(TransmitMessageParamBuilderTest, CarriesFourTextsAndNeverRunsInBackground) {
  using B = TransmitMessageParamBuilder;
  using P = TransmitMessageParam;
  expectTextFieldsCarried<B, P>({VELTRIX_TEXT_FIELD(B, P, destinationAddress),
                                 VELTRIX_TEXT_FIELD(B, P, maximumTransmissionTime),
                                 VELTRIX_TEXT_FIELD(B, P, messageToSend),
                                 VELTRIX_TEXT_FIELD(B, P, maximumWaitingTime)});
  EXPECT_EQ(P::makeWithBuilder([](B& b) { b.maximumWaitingTime(""); }).maximumWaitingTime, "");
}

template <typename B, typename P>
void expectDocumentQualifierRules() {
  using List = std::vector<std::string>;
  auto qualifiers = [](const std::function<void(B&)>& configure) {
    return P::makeWithBuilder(configure).documentQualifier;
  };
  EXPECT_FALSE(qualifiers(nullptr));
  EXPECT_EQ(qualifiers([](B& b) { b.documentQualifier(std::nullopt); }), List{});
  // Appending nothing to no list still leaves a (present, empty) list.
  EXPECT_EQ(qualifiers([](B& b) { b.addDocumentQualifier(std::nullopt); }), List{});
  EXPECT_EQ(qualifiers([](B& b) {
              b.addDocumentQualifier("R").addDocumentQualifier("R").addDocumentQualifier("");
            }),
            (List{"R", "R", ""}));
  EXPECT_EQ(qualifiers([](B& b) {
              b.addDocumentQualifier("A").documentQualifier(List{"X", "Y"});
            }),
            (List{"X", "Y"}));
  const List host{"X"};
  EXPECT_EQ(
      qualifiers([&](B& b) {
        b.documentQualifier(host).addDocumentQualifier(std::nullopt).addDocumentQualifier("Z");
      }),
      (List{"X", "Z"}));
  EXPECT_EQ(host, List{"X"});
}

TEST(MessageStatusParamBuilderTest, CarriesItsOwnFields) {
  using B = MessageStatusParamBuilder;
  using P = MessageStatusParam;
  expectTextFieldsCarried<B, P>({VELTRIX_TEXT_FIELD(B, P, orgExchangeIdentification),
                                 VELTRIX_TEXT_FIELD(B, P, initiatingPartyIdentification),
                                 VELTRIX_TEXT_FIELD(B, P, orgTransactionReference)});
  const P p = P::makeWithBuilder([](B& b) {
    b.receiptReprintFlag(true).orgTransactionType(TransactionTypeCode::SCDP).runInBackground(true);
  });
  EXPECT_TRUE(p.receiptReprintFlag);
  EXPECT_EQ(p.orgTransactionType, TransactionTypeCode::SCDP);
  EXPECT_TRUE(p.runInBackground);
  EXPECT_EQ(P::makeWithBuilder(), P{});
}

TEST(MessageStatusParamBuilderTest, DocumentQualifierListRules) {
  expectDocumentQualifierRules<MessageStatusParamBuilder, MessageStatusParam>();
}

TEST(ReprintParamBuilderTest, CarriesItsOwnFieldsWithTheExchangeIdentification) {
  using B = ReprintParamBuilder;
  using P = ReprintParam;
  expectTextFieldsCarried<B, P>({VELTRIX_TEXT_FIELD(B, P, exchangeIdentification),
                                 VELTRIX_TEXT_FIELD(B, P, orgExchangeIdentification),
                                 VELTRIX_TEXT_FIELD(B, P, initiatingPartyIdentification),
                                 VELTRIX_TEXT_FIELD(B, P, orgTransactionReference)});
  const P p = P::makeWithBuilder(
      [](B& b) { b.orgTransactionType(TransactionTypeCode::RFND).runInBackground(true); });
  EXPECT_EQ(p.orgTransactionType, TransactionTypeCode::RFND);
  EXPECT_TRUE(p.runInBackground);
  EXPECT_EQ(P::makeWithBuilder(), P{});
}

TEST(ReprintParamBuilderTest, DocumentQualifierListRules) {
  expectDocumentQualifierRules<ReprintParamBuilder, ReprintParam>();
}

// --- Device services --------------------------------------------------------

TEST(PrintParamBuilderTest, CarriesFormatAndContent) {
  EXPECT_EQ(PrintParam::makeWithBuilder(), PrintParam{});
  const PrintParam p = PrintParam::makeWithBuilder(
      [](PrintParamBuilder& b) { b.format(OutputFormatCode::HTML).content("<p>hi</p>"); });
  EXPECT_EQ(p.format, OutputFormatCode::HTML);
  EXPECT_EQ(p.content, "<p>hi</p>");
}

ActionMessageParam message(const char* text) {
  return ActionMessageParam::makeWithBuilder(
      [&](ActionMessageParamBuilder& b) { b.messageContent(text); });
}

TEST(DisplayParamBuilderTest, TheListIsNeverAbsent) {
  using B = DisplayParamBuilder;
  using List = std::vector<ActionMessageParam>;
  const DisplayParam empty = DisplayParam::makeWithBuilder();
  EXPECT_EQ(empty.displayContents, List{});
  EXPECT_EQ(empty.createTime, 0);
  EXPECT_EQ(DisplayParam::makeWithBuilder([](B& b) {
              b.addDisplayContent(message("A")).displayContents(std::nullopt);
            }).displayContents,
            List{});
  EXPECT_EQ(DisplayParam::makeWithBuilder([](B& b) {
              b.addDisplayContent(std::nullopt);
            }).displayContents,
            List{});
}

TEST(DisplayParamBuilderTest, AppendsInCallOrderAfterAGivenList) {
  using B = DisplayParamBuilder;
  using List = std::vector<ActionMessageParam>;
  const auto a = message("A");
  const auto y = message("Y");
  EXPECT_EQ(DisplayParam::makeWithBuilder([&](B& b) {
              b.addDisplayContent(a).addDisplayContent(std::nullopt).addDisplayContent(a);
            }).displayContents,
            (List{a, a}));
  const List host{message("X")};
  EXPECT_EQ(DisplayParam::makeWithBuilder([&](B& b) {
              b.displayContents(host).addDisplayContent(y);
            }).displayContents,
            (List{host[0], y}));
  EXPECT_EQ(host.size(), 1u);
}

TEST(ActionMessageParamBuilderTest, AnyHeldTextMeansAResponseIsRequired) {
  using B = ActionMessageParamBuilder;
  auto required = [](const std::function<void(B&)>& configure) {
    return ActionMessageParam::makeWithBuilder(configure).responseRequiredFlag;
  };
  EXPECT_FALSE(required(nullptr));
  EXPECT_FALSE(required([](B& b) { b.responseRequiredFlag("YES").responseRequiredFlag({}); }));
  EXPECT_TRUE(required([](B& b) { b.responseRequiredFlag(""); }));
  EXPECT_TRUE(required([](B& b) { b.responseRequiredFlag("0"); }));
  EXPECT_TRUE(required([](B& b) { b.responseRequiredFlag("NO"); }));
}

TEST(ActionMessageParamBuilderTest, CarriesItsFieldsButNoDialogTexts) {
  const ActionMessageParam m =
      ActionMessageParam::makeWithBuilder([](ActionMessageParamBuilder& b) {
        b.format(OutputFormatCode::TEXT)
            .messageContent("Insert card")
            .informationQualifier(InformationQualifyCode::DISP)
            .messageDestination(ReceiptOutputTargetCode::MDSP)
            .minimumDisplayTime(5);
      });
  ActionMessageParam want;
  want.format = OutputFormatCode::TEXT;
  want.messageContent = "Insert card";
  want.informationQualifier = InformationQualifyCode::DISP;
  want.messageDestination = ReceiptOutputTargetCode::MDSP;
  want.minimumDisplayTime = 5;
  EXPECT_EQ(m, want);  // title and button texts stay absent
  EXPECT_EQ(ActionMessageParam::makeWithBuilder(), ActionMessageParam{});
}

TEST(AbortParamBuilderTest, CarriesItsOwnFieldsAndFlags) {
  using B = AbortParamBuilder;
  using P = AbortParam;
  expectTextFieldsCarried<B, P>({VELTRIX_TEXT_FIELD(B, P, exchangeIdentification),
                                 VELTRIX_TEXT_FIELD(B, P, orgExchangeIdentification),
                                 VELTRIX_TEXT_FIELD(B, P, orgTransactionReference),
                                 VELTRIX_TEXT_FIELD(B, P, abortReason)});
  EXPECT_EQ(P::makeWithBuilder(), P{});
  const P p = P::makeWithBuilder([](B& b) { b.runInBackground(true).transactionSuccess(true); });
  EXPECT_TRUE(p.runInBackground);
  EXPECT_TRUE(p.transactionSuccess);
}

TEST(CardAuthParamBuilderTest, DiffersFromANewObjectOnlyInTheBaseFieldsSet) {
  CardAuthParam want;
  want.transactionReference = "T";
  EXPECT_EQ(
      CardAuthParam::makeWithBuilder([](CardAuthParamBuilder& b) { b.transactionReference("T"); }),
      want);
}

}  // namespace
}  // namespace veltrix::model
