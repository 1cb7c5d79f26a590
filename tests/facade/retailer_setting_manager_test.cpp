#include "veltrix/facade/retailer_setting_manager.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/test_env.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/sqlite.h"

namespace veltrix::facade {
namespace {

using platform::ScopedLogCapture;
using platform::StepResult;
using registry::DatabaseManager;
using testing::LoopTest;

class SettingsTest : public LoopTest {
 protected:
  SettingsTest()
      : db_(std::make_unique<DatabaseManager>(docs() / "settings.sqlite")),
        settings_(std::make_shared<RetailerSettingManager>(*db_)) {}

  DatabaseManager& db() { return *db_; }
  RetailerSettingManager& settings() { return *settings_; }
  std::string setting(std::string_view key) { return db_->fetchSetting(key); }

  // Rows of `table`, read through a connection of its own.
  std::int64_t rowCount(const std::string& table) {
    platform::Db peek;
    EXPECT_TRUE(peek.open(db_->path()));
    platform::Stmt stmt = peek.prepare("SELECT COUNT(*) FROM " + table);
    return stmt.step() == StepResult::Row ? stmt.int64(0) : -1;
  }

  void addService(const std::string& sn, const std::string& type, const std::string& serviceId,
                  std::int64_t enabled = 1) {
    ASSERT_TRUE(db_->insertTerminalServices(sn, type, type, "com.pkg", serviceId, "svc", enabled,
                                            "1000", "1000", "payment"));
  }
  void remember(const std::string& sn, const std::string& type) {
    ASSERT_TRUE(db_->insertRememberServices(sn, type, "com.pkg", "S1", "", "1000"));
  }
  // Every destination, a remembered service and strategies inside and
  // outside the range the destination reset clears.
  void storeChoices() {
    ASSERT_TRUE(db_->insertSetting(Defult_Terminsl_ByIp, "10.0.0.9:9000"));
    ASSERT_TRUE(db_->insertSetting(destination_sn, "OLD-SN"));
    ASSERT_TRUE(db_->insertSetting(destination_sn_serviceid, "OLD-SN:S1"));
    ASSERT_TRUE(db_->insertSetting(remember_service, "x"));
    ASSERT_TRUE(db_->insertSetting("Purchase", "1"));  // service 3
    ASSERT_TRUE(db_->insertSetting("NFCTag", "1"));    // service 22
    ASSERT_TRUE(db_->insertSetting("Reprint", "2"));   // service 23
    ASSERT_TRUE(db_->insertSetting(show_setting, "0"));
    remember("OLD-SN", "Purchase");
  }
  void expectDestinationsReset() {
    EXPECT_EQ(setting(destination_sn_serviceid), "");
    EXPECT_EQ(setting(remember_service), "");
    EXPECT_EQ(setting("Purchase"), "");
    EXPECT_EQ(setting("NFCTag"), "");
    EXPECT_EQ(setting("Reprint"), "2");
    EXPECT_EQ(setting(show_setting), "0");
    EXPECT_EQ(rowCount("remember_service"), 0);
  }

 private:
  std::unique_ptr<DatabaseManager> db_;
  std::shared_ptr<RetailerSettingManager> settings_;
};

TEST_F(SettingsTest, CommunicationSwitches) {
  EXPECT_TRUE(settings().getCommunicateTypeState(kCommunicateTypeLan));
  EXPECT_FALSE(settings().getCommunicateTypeState(kCommunicateTypeBluetooth));
  EXPECT_FALSE(settings().getCommunicateTypeState(2));

  settings().setCommunicateType(kCommunicateTypeLan, false);
  settings().setCommunicateType(kCommunicateTypeBluetooth, true);
  EXPECT_EQ(setting(communicate_type_by_lan), "0");
  EXPECT_FALSE(settings().getCommunicateTypeState(kCommunicateTypeLan));
  EXPECT_TRUE(settings().getCommunicateTypeState(kCommunicateTypeBluetooth));

  // Switching back and forth keeps working.
  settings().setCommunicateType(kCommunicateTypeLan, true);
  settings().setCommunicateType(kCommunicateTypeBluetooth, false);
  EXPECT_TRUE(settings().getCommunicateTypeState(kCommunicateTypeLan));
  EXPECT_FALSE(settings().getCommunicateTypeState(kCommunicateTypeBluetooth));

  // Types other than 0 and 1 neither write nor read.
  settings().setCommunicateType(2, true);
  settings().setCommunicateType(-1, true);
  EXPECT_EQ(rowCount("setting"), 2);
}

TEST_F(SettingsTest, StoredSwitchTextsReadByTheirLeadingInteger) {
  const struct {
    const char* stored;
    bool state;
  } cases[] = {{"abc", false}, {" 12x", true}, {"-3", false}, {"+1", true}, {"0", false}};
  for (const auto& c : cases) {
    ASSERT_TRUE(db().upsertSetting(communicate_type_by_lan, c.stored));
    EXPECT_EQ(settings().getCommunicateTypeState(kCommunicateTypeLan), c.state) << c.stored;
  }
}

TEST_F(SettingsTest, DefaultTerminalResetsTheOtherDestinations) {
  storeChoices();
  settings().destinationPort("10.0.0.5", 8080);
  EXPECT_EQ(setting(Defult_Terminsl_ByIp), "10.0.0.5:8080");
  EXPECT_EQ(setting(destination_sn), "");
  expectDestinationsReset();

  settings().destinationPort("10.0.0.6", "9100");
  EXPECT_EQ(setting(Defult_Terminsl_ByIp), "10.0.0.6:9100");
}

TEST_F(SettingsTest, DestinationSettersRefusingTheirArgumentsChangeNothing) {
  storeChoices();
  settings().destinationPort(std::nullopt, "8080");
  settings().destinationPort("10.0.0.5", std::nullopt);
  settings().destination("");
  settings().destination(std::nullopt);
  settings().destinationServiceType(std::nullopt, 3);
  settings().destinationServiceId("SN1", "");
  settings().destinationServiceId(std::nullopt, "S1");
  EXPECT_EQ(setting(Defult_Terminsl_ByIp), "10.0.0.9:9000");
  EXPECT_EQ(setting(destination_sn), "OLD-SN");
  EXPECT_EQ(setting("Purchase"), "1");
  EXPECT_EQ(rowCount("remember_service"), 1);
}

TEST_F(SettingsTest, FixedTerminal) {
  storeChoices();
  settings().destination("SN1");
  EXPECT_EQ(setting(destination_sn), "SN1");
  EXPECT_EQ(setting(Defult_Terminsl_ByIp), "");
  expectDestinationsReset();
}

TEST_F(SettingsTest, PerTypeDestinationNeedsTheServiceAndIsReplacedByTheNextOne) {
  addService("SN1", "Refund", "S1");
  addService("SN2", "Refund", "S2");
  addService("SN3", "Refund", "S3", /*enabled=*/0);
  const std::string key = destinationServiceTypeKey("Refund");
  EXPECT_EQ(key, "DESTINATION_SERVICETYPE-Refund");

  settings().destinationServiceType("SN1", 7);
  EXPECT_EQ(setting(key), "SN1");
  // A second terminal for the same type takes its place.
  settings().destinationServiceType("SN2", 7);
  EXPECT_EQ(setting(key), "SN2");

  // A terminal without (enabled) services of the type: the destinations are
  // still reset, the type's terminal included, and nothing is stored.
  storeChoices();
  settings().destinationServiceType("SN3", 7);
  EXPECT_EQ(setting(key), "");
  EXPECT_EQ(setting(destination_sn), "");
  expectDestinationsReset();

  // The per-type key of another type is not touched.
  ASSERT_TRUE(db().insertSetting(destinationServiceTypeKey("Purchase"), "SN9"));
  settings().destinationServiceType("SN1", 7);
  EXPECT_EQ(setting(destinationServiceTypeKey("Purchase")), "SN9");
}

TEST_F(SettingsTest, FixedTerminalServiceNeedsTheService) {
  addService("SN1", "Purchase", "S1");
  storeChoices();
  settings().destinationServiceId("SN1", "S2");
  EXPECT_EQ(setting(destination_sn_serviceid), "");
  expectDestinationsReset();

  settings().destinationServiceId("SN1", "S1");
  EXPECT_EQ(setting(destination_sn_serviceid), "SN1:S1");
}

TEST_F(SettingsTest, DestinationServiceClearsDestinationsButKeepsRememberedServices) {
  storeChoices();
  ScopedLogCapture log;
  settings().destinationService("S7");
  EXPECT_TRUE(log.contains("serviceId = S7"));
  EXPECT_EQ(setting(Defult_Terminsl_ByIp), "");
  EXPECT_EQ(setting(destination_sn), "");
  EXPECT_EQ(setting("Purchase"), "");
  EXPECT_EQ(setting("Reprint"), "2");
  EXPECT_EQ(rowCount("remember_service"), 1);
}

TEST_F(SettingsTest, RememberStrategies) {
  settings().chooseRememberStragety(2, 7);
  EXPECT_EQ(setting("Refund"), "2");
  settings().chooseRememberStragety(0, 7);
  EXPECT_EQ(setting("Refund"), "0");

  settings().chooseRememberStragety(3, 7);
  settings().chooseRememberStragety(-1, 7);
  EXPECT_EQ(setting("Refund"), "0");
  settings().chooseRememberStragety(3, 8);
  EXPECT_EQ(rowCount("setting"), 1);

  // 18 and 21 share one name, so one key.
  settings().chooseRememberStragety(1, 21);
  EXPECT_EQ(setting("BalanceInquiry"), "1");
}

TEST_F(SettingsTest, ScanScreenOptions) {
  ScopedLogCapture log;
  settings().isShowSetting(false);
  settings().isShowRememberOption(false);
  EXPECT_EQ(setting(show_setting), "0");
  EXPECT_EQ(setting(show_remember), "0");
  settings().isShowSetting(true);
  settings().isShowRememberOption(true);
  EXPECT_EQ(setting(show_setting), "1");
  EXPECT_EQ(setting(show_remember), "1");
  EXPECT_EQ(log.count("isShowSetting"), 2u);
  EXPECT_EQ(log.count("isShowRememberOption"), 2u);
}

TEST_F(SettingsTest, AllowedDevices) {
  EXPECT_TRUE(settings().deviceAcessList(std::vector<std::string>{"SN1", "SN2", "SN3"}));
  EXPECT_EQ(setting(device_Acess_List), "SN1:SN2:SN3");
  EXPECT_FALSE(settings().deviceAcessList(std::vector<std::string>{}));
  EXPECT_FALSE(settings().deviceAcessList(std::nullopt));
  EXPECT_EQ(setting(device_Acess_List), "SN1:SN2:SN3");
}

TEST_F(SettingsTest, ASerialNumberHoldingTheSeparatorIsNeverStored) {
  ScopedLogCapture log;
  // Stored, "A:B" would read back as the two terminals A and B.
  EXPECT_TRUE(settings().deviceAcessList(std::vector<std::string>{"SN1", "A:B", "SN2"}));
  EXPECT_EQ(setting(device_Acess_List), "SN1:SN2");
  EXPECT_TRUE(log.contains("serial number 'A:B' contains ':'"));

  // Nothing left: the earlier list stays and the caller hears of it.
  EXPECT_FALSE(settings().deviceAcessList(std::vector<std::string>{"C:D"}));
  EXPECT_EQ(setting(device_Acess_List), "SN1:SN2");
}

TEST_F(SettingsTest, AKeyHoldingAnEmptyValueCanStillChange) {
  settings().deviceAcessList(std::vector<std::string>{""});
  EXPECT_EQ(setting(device_Acess_List), "");
  settings().deviceAcessList(std::vector<std::string>{"SN1"});
  EXPECT_EQ(setting(device_Acess_List), "SN1");

  ASSERT_TRUE(db().insertSetting(show_setting, ""));
  settings().isShowSetting(false);
  EXPECT_EQ(setting(show_setting), "0");
}

TEST_F(SettingsTest, ClearingOptions) {
  storeChoices();
  remember("OTHER", "Refund");
  ASSERT_TRUE(db().insertSetting(remember_stragety, "1"));

  settings().clearOptionWithSn("OLD-SN");
  EXPECT_EQ(rowCount("remember_service"), 1);

  settings().clearOptionWithService();
  EXPECT_EQ(setting("Purchase"), "");
  EXPECT_EQ(setting("NFCTag"), "");
  EXPECT_EQ(setting("Reprint"), "2");
  EXPECT_EQ(setting(destination_sn), "OLD-SN");

  settings().clearOptionWithCategory();
  EXPECT_EQ(setting(remember_stragety), "");

  settings().clearAllOption();
  EXPECT_EQ(rowCount("setting"), 0);
  EXPECT_EQ(rowCount("remember_service"), 1);
}

TEST_F(SettingsTest, ClearRememberEmptiesEveryStoredChoiceAndRecord) {
  storeChoices();
  addService("SN1", "Purchase", "S1");
  ASSERT_TRUE(db().insertDiscoveredTerminal("SN1", "T1", "127.0.0.2:8080", "http", "alias", 1, 0, 0,
                                            "1000", "1000", std::nullopt));
  ASSERT_TRUE(db().insertDeviceAuthInfo("DEV", 1, "DCA", "DCA", "1000"));
  ASSERT_TRUE(db().insertDeviceCertKeyInfo("DEV", "a", "b", "c", "d", "e", "f"));
  ASSERT_TRUE(db().insertCaspExchange({{"exchangeId", std::string("E1")}}));
  ASSERT_TRUE(db().insertCaspExchangeMsg("E1", "1", "{}"));

  settings().clearRemember();
  for (const char* table :
       {"setting", "remember_service", "terminal_service", "discovered_terminal",
        "device_auth_info", "device_cert_key_info", "casp_exchange", "casp_exchange_msg"}) {
    EXPECT_EQ(rowCount(table), 0) << table;
  }
}

TEST(SettingKeysTest, ExportedNames) {
  EXPECT_EQ(remember_service, "REMEMBER_SERVICE");
  EXPECT_EQ(destination_sn, "DESTINATION_SN");
  EXPECT_EQ(destination_servicetype, "DESTINATION_SERVICETYPE");
  EXPECT_EQ(destination_sn_serviceid, "DESTINATION_SN_SERVICEID");
  EXPECT_EQ(Defult_Terminsl_ByIp, "DefultTerminslByIp");
  EXPECT_EQ(show_setting, "SHOW_SETTING");
  EXPECT_EQ(show_remember, "SHOW_REMEMBER");
  EXPECT_EQ(device_Acess_List, "deviceAcessList");
  EXPECT_EQ(remember_stragety, "REMEMBER_STRAGETY");
  EXPECT_EQ(communicate_type_by_lan, "CommunicateTypeByLan");
  EXPECT_EQ(communicate_type_by_bluetooth, "CommunicateTypeByBluetooth");
  EXPECT_EQ(last_Device_UUID_Key, "BLE_Last_Connect_Device_UUID");
}

// --- coupling to discovery --------------------------------------------------

class FakeScanDiscovery : public registry::DiscoveryControl {
 public:
  void startScan() override {}
  void stopScan() override {}
  void setScanType(std::int32_t type) override { scanType = type; }
  std::shared_ptr<registry::DiscoverManagerDelegate> delegate() const override {
    return delegate_.lock();
  }
  void setDelegate(std::weak_ptr<registry::DiscoverManagerDelegate> d) override {
    delegate_ = std::move(d);
    ++delegateSets;
  }

  std::int32_t scanType = 0;
  int delegateSets = 0;

 private:
  std::weak_ptr<registry::DiscoverManagerDelegate> delegate_;
};

TEST_F(SettingsTest, CreationBecomesDiscoverysDelegateOnlyWhenItHasNone) {
  FakeScanDiscovery discovery;
  auto first = RetailerSettingManager::create(db(), &discovery);
  EXPECT_EQ(discovery.scanType, 1);
  EXPECT_EQ(discovery.delegate(), first);

  // A delegate that is gone counts as none.
  discovery.setDelegate(std::make_shared<registry::DiscoverManagerDelegate>());
  auto second = RetailerSettingManager::create(db(), &discovery);
  EXPECT_EQ(discovery.delegate(), second);
}

TEST_F(SettingsTest, CreationDuringAScanScreenLeavesTheScreenItsReports) {
  FakeScanDiscovery discovery;
  // The scan screen takes discovery's delegate for its lifetime and puts
  // back the one before it (here: none) at its end.
  auto screen = std::make_shared<registry::DiscoverManagerDelegate>();
  const auto before = discovery.delegate();
  discovery.setDelegate(screen);
  discovery.scanType = 0;
  auto facade = RetailerSettingManager::create(db(), &discovery);
  EXPECT_EQ(discovery.scanType, 1);
  EXPECT_EQ(discovery.delegate(), screen);
  discovery.setDelegate(before);

  // The host's own discovery takes it when it starts.
  facade->startDiscoverServices();
  EXPECT_EQ(discovery.delegate(), facade);
}

}  // namespace
}  // namespace veltrix::facade
