#include "veltrix/model/request_base.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <typeinfo>

namespace veltrix::model {
namespace {

using platform::Json;

static_assert(std::has_virtual_destructor_v<BaseParams>);
static_assert(std::is_same_v<decltype(BaseParams::makeWithBuilder()), BaseParams>);
static_assert(std::is_same_v<decltype(DestinationParams::makeWithBuilder()), DestinationParams>);

void expectEmpty(const BaseParams& p) {
  EXPECT_FALSE(p.transactionReference);
  EXPECT_EQ(p.transactionType, TransactionTypeCode{});
  EXPECT_EQ(p.accountType, CardAccountTypeCode{});
  EXPECT_FALSE(p.cashierIdentification);
  EXPECT_FALSE(p.runInBackground);
  EXPECT_FALSE(p.servicesParams);
}

TEST(BaseParamsBuilderTest, WithoutConfigureGivesEmptyObjects) {
  expectEmpty(BaseParams::makeWithBuilder());
  expectEmpty(BaseParams::makeWithBuilder(nullptr));
  expectEmpty(BaseParams{});
  EXPECT_EQ(DestinationParams::makeWithBuilder(), DestinationParams{});
  const DestinationParams d = DestinationParams::makeWithBuilder();
  EXPECT_FALSE(d.sn || d.serviceId || d.address);
}

TEST(BaseParamsBuilderTest, BuildsABaseParamsWithEveryField) {
  const BaseParams p = BaseParams::makeWithBuilder([](BaseParamsBuilder& b) {
    b.transactionReference("INV-1")
        .transactionType(TransactionTypeCode::RFND)
        .accountType(CardAccountTypeCode::CRDT)
        .cashierIdentification("")
        .runInBackground(true)
        .setServicesWithSn("SN1", "svc", "10.0.0.2:8080");
  });
  EXPECT_EQ(typeid(p), typeid(BaseParams));
  EXPECT_EQ(p.transactionReference, "INV-1");
  EXPECT_EQ(p.transactionType, TransactionTypeCode::RFND);
  EXPECT_EQ(p.accountType, CardAccountTypeCode::CRDT);
  // Empty and absent stay distinct.
  ASSERT_TRUE(p.cashierIdentification);
  EXPECT_EQ(*p.cashierIdentification, "");
  EXPECT_TRUE(p.runInBackground);
  ASSERT_TRUE(p.servicesParams);
  EXPECT_EQ(p.servicesParams->sn, "SN1");
  EXPECT_EQ(p.servicesParams->serviceId, "svc");
  EXPECT_EQ(p.servicesParams->address, "10.0.0.2:8080");
}

TEST(BaseParamsBuilderTest, LastCallOnAFieldWins) {
  DestinationParams d1;
  d1.sn = "D1";
  BaseParamsBuilder b;
  b.transactionReference("a").transactionReference(std::nullopt);
  b.transactionType(TransactionTypeCode::SCDP).transactionType(TransactionTypeCode::CSHP);
  b.servicesParams(d1).setServicesWithSn(std::nullopt, "S2", std::nullopt);
  BaseParams p = b.build();
  EXPECT_FALSE(p.transactionReference);
  EXPECT_EQ(p.transactionType, TransactionTypeCode::CSHP);
  ASSERT_TRUE(p.servicesParams);
  EXPECT_EQ(*p.servicesParams, (DestinationParams{std::nullopt, "S2", std::nullopt}));

  // The reverse order keeps the record given last.
  b.setServicesWithSn("X", "Y", "Z").servicesParams(d1);
  EXPECT_EQ(b.build().servicesParams, d1);
  b.servicesParams(std::nullopt);
  EXPECT_FALSE(b.build().servicesParams);
}

TEST(BaseParamsBuilderTest, DestinationIsPresentEvenWhenNothingIsGiven) {
  BaseParamsBuilder b;
  b.setServicesWithSn(std::nullopt, std::nullopt, std::nullopt);
  ASSERT_TRUE(b._servicesParams);
  EXPECT_EQ(*b._servicesParams, DestinationParams{});

  BaseParamsBuilder c;
  c.servicesParamsWithBuilder({});
  ASSERT_TRUE(c.build().servicesParams);
  EXPECT_EQ(*c.build().servicesParams, DestinationParams{});

  BaseParamsBuilder e;
  e.servicesParamsWithBuilder([](DestinationParamsBuilder& d) { d.destination("A", "B", "C"); });
  EXPECT_EQ(e.build().servicesParams, (DestinationParams{"A", "B", "C"}));
}

TEST(BaseParamsBuilderTest, ObjectsBuiltAreIndependentOfTheBuilder) {
  BaseParamsBuilder b;
  b.transactionReference("first").setServicesWithSn("SN", std::nullopt, std::nullopt);
  const BaseParams built = b.build();
  b.transactionReference("second");
  b._servicesParams->sn = "changed";
  b._runInBackground = true;
  EXPECT_EQ(built.transactionReference, "first");
  EXPECT_EQ(built.servicesParams->sn, "SN");
  EXPECT_FALSE(built.runInBackground);
  // Two builds give two equal but separate objects.
  BaseParams again = b.build();
  again.servicesParams->sn = "mine";
  EXPECT_EQ(b.build().servicesParams->sn, "changed");
}

TEST(DestinationParamsBuilderTest, SettersChainAndDestinationSetsAllThree) {
  const DestinationParams d = DestinationParams::makeWithBuilder([](DestinationParamsBuilder& b) {
    b.sn("old").address("addr").destination("SN", std::nullopt, "1.2.3.4:80").serviceId("svc");
  });
  EXPECT_EQ(d.sn, "SN");
  EXPECT_EQ(d.serviceId, "svc");
  EXPECT_EQ(d.address, "1.2.3.4:80");
}

TEST(BaseParamsTest, SubclassesDestroyAndCopyThroughTheBase) {
  std::unique_ptr<BaseParams> p = std::make_unique<BaseFinancialParam>();
  auto& financial = dynamic_cast<BaseFinancialParam&>(*p);
  financial.fees = {{DetailedAmount{"1.00", "fee"}}};
  financial.mobilePhone = {{"123"}};
  financial.servicesParams = DestinationParams{"SN", std::nullopt, std::nullopt};
  BaseFinancialParam copy = financial;
  copy.fees->front().amount = "2.00";
  copy.servicesParams->sn = "other";
  EXPECT_EQ(financial.fees->front().amount, "1.00");
  EXPECT_EQ(financial.servicesParams->sn, "SN");
  p.reset();  // destroys the whole object through the base (checked by the sanitizer build)
}

TEST(BaseFinancialParamTest, StartsEmpty) {
  const BaseFinancialParam p;
  expectEmpty(p);
  EXPECT_FALSE(p.fees || p.valueAddedTaxs || p.receiptConstruct || p.mobilePhone);
  EXPECT_FALSE(p.additionalSaleData || p.cardBrand || p.acquireManagerPwd);
  EXPECT_EQ(p.cardDataEntryMode, CardDataReadingCode{});
  EXPECT_EQ(p.attendanceContext, AttendanceContextCode::ATTD);
  EXPECT_FALSE(p.forceOnlineFlag || p.partialApproval || p.requiredESignFlag);
}

struct Record {
  std::string name;
  Json toDictionary() const { return Json{{"name", name}}; }
};

TEST(ReceiptConstructEntryTest, HoldsRecordsAndDictionaries) {
  Record r{"header"};
  std::vector<ReceiptConstructEntry> entries{r, Json{{"line", 2}}, Record{"footer"}};
  r.name = "changed later";
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].toDictionary(), (Json{{"name", "header"}}));
  EXPECT_EQ(entries[1].toDictionary(), (Json{{"line", 2}}));
  EXPECT_EQ(entries[2].toDictionary().dump(), R"({"name":"footer"})");
  const auto copy = entries;
  EXPECT_EQ(copy, entries);
  EXPECT_NE(copy[0], copy[2]);
}

}  // namespace
}  // namespace veltrix::model
