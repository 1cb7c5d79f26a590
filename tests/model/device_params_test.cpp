#include "veltrix/model/device_params.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "veltrix/platform/log.h"

namespace veltrix::model {
namespace {

using platform::Json;

static_assert(!std::is_base_of_v<BaseParams, PowerOffCardReaderParam>);
static_assert(std::is_base_of_v<BaseParams, TransmissionParam>);

TEST(CardReaderAPDUParamTest, DictionaryAlwaysCarriesTheBackgroundFlag) {
  CardReaderAPDUParam p;
  EXPECT_EQ(p.toDictionary().dump(), R"({"runInBackground":false})");
  EXPECT_EQ(*p.toJSONString(), "{\n  \"runInBackground\": false\n}");

  p.transactionReference = "TR";
  p.transactionType = TransactionTypeCode::QRCP;
  p.accountType = CardAccountTypeCode::CHCK;
  p.cashierIdentification = "";
  p.exchangeIdentification = "EX";
  p.runInBackground = true;
  p.servicesParams = DestinationParams{"SN", "svc", "addr"};
  p.clazz = "00";
  p.instruction = "A4";
  p.parameter1 = "04";
  p.parameter2 = "00";
  p.data = "";
  p.expectedLength = "0E";
  EXPECT_EQ(p.toDictionary().dump(),
            R"({"transactionReference":"TR","transactionType":"QRCP","accountType":"CHCK",)"
            R"("cashierIdentification":"","exchangeIdentification":"EX","runInBackground":true,)"
            R"("clazz":"00","instruction":"A4","parameter1":"04","parameter2":"00","data":"",)"
            R"("expectedLength":"0E"})");

  // Zero codes are left out; out-of-table codes use the fallbacks.
  p = CardReaderAPDUParam{};
  p.accountType = CardAccountTypeCode::CTDP;
  EXPECT_EQ(p.toDictionary().dump(), R"({"runInBackground":false})");
  p.transactionType = static_cast<TransactionTypeCode>(40);
  EXPECT_EQ(p.toDictionary()["transactionType"], "Unknown");
}

TEST(CardReaderAPDUParamTest, UnwritableValueIsLogged) {
  CardReaderAPDUParam p;
  p.data = std::string("\xff");
  platform::ScopedLogCapture log;
  EXPECT_FALSE(p.toJSONString());
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0].rfind("Error converting to JSON: ", 0), 0u) << log.lines()[0];
}

TEST(MsgDisplayCapabilitiesTest, DictionaryAndFallbacks) {
  MsgDisplayCapabilities c;
  EXPECT_EQ(c.toDictionary().dump(), R"({"destination":"CDSP","availableFormat":"MREF"})");
  c.destination = static_cast<ReceiptOutputTargetCode>(42);
  c.availableFormat = static_cast<MsgCapabilityOutputFormatCode>(3);
  EXPECT_EQ(c.toDictionary().dump(), R"({"destination":"MRCP","availableFormat":"TEXT"})");

  c.destination = ReceiptOutputTargetCode::NOCRCP;
  c.availableFormat = MsgCapabilityOutputFormatCode::HTML;
  c.numberOfLines = 0;
  c.lineWidth = 48;
  c.availableLanguage = "zh";
  EXPECT_EQ(c.toDictionary().dump(),
            R"({"destination":"NOCRCP","availableFormat":"HTML","numberOfLines":0,)"
            R"("lineWidth":48,"availableLanguage":"zh"})");
  EXPECT_EQ(*c.toJSONString(),
            "{\n  \"destination\": \"NOCRCP\",\n  \"availableFormat\": \"HTML\",\n"
            "  \"numberOfLines\": 0,\n  \"lineWidth\": 48,\n  \"availableLanguage\": \"zh\"\n}");
}

TEST(MsgDisplayCapabilitiesTest, ToString) {
  MsgDisplayCapabilities c;
  c.availableFormat = MsgCapabilityOutputFormatCode::TEXT;
  c.numberOfLines = 4;
  c.lineWidth = 32;
  EXPECT_EQ(c.toString(),
            "MsgDisplayCapabilities{destination='CDSP', availableFormat='TEXT', numberOfLines=4, "
            "lineWidth=32, availableLanguage=null}");
  c = MsgDisplayCapabilities{};
  c.destination = static_cast<ReceiptOutputTargetCode>(-1);
  c.availableLanguage = "";
  EXPECT_EQ(c.toString(),
            "MsgDisplayCapabilities{destination='MRCP', availableFormat='MREF', "
            "numberOfLines=(null), lineWidth=(null), availableLanguage=''}");
}

TEST(MsgDisplayCapabilitiesTest, UnwritableValueIsLogged) {
  MsgDisplayCapabilities c;
  c.availableLanguage = std::string("\xe4\xb8");  // truncated UTF-8
  platform::ScopedLogCapture log;
  EXPECT_FALSE(c.toJSONString());
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0].rfind("❌ JSON 序列化失败: ", 0), 0u) << log.lines()[0];
}

}  // namespace
}  // namespace veltrix::model
