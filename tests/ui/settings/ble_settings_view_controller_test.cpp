// The Bluetooth settings screen over a fake transport link, the real
// settings facade and database on a temporary folder, pushed in a
// navigation controller and driven on the manual clock.
#include "veltrix/ui/settings/ble_settings_view_controller.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/fake_ble_link.h"
#include "support/ui_test_env.h"
#include "veltrix/platform/ui/render/renderer.h"

namespace veltrix::ui::settings {
namespace {

using testing::FakeBleLink;
using testing::peripheral;
using transport::BLEConnectStatus;
using transport::BLEPeripheralModel;

constexpr const char* kServiceUuid = "4F565453-4341-5042-5453-657276696365";

bool storeTerminal(registry::DatabaseManager& db, const std::string& sn,
                   std::optional<std::string> alias = std::nullopt,
                   std::optional<std::string> model = "T1") {
  return db.insertDiscoveredTerminal(sn, model, "10.0.0.9:8080", "http,ble", alias, 1, 0, 0, "1",
                                     "1", "STORED-UUID");
}

class BleSettingsTest : public testing::UiTest {
 protected:
  BleSettingsTest()
      : db(docs() / "settings.sqlite"),
        settings(std::make_shared<facade::RetailerSettingManager>(db)) {}
  // Transitions and timers still pending hold views: let them end here.
  ~BleSettingsTest() override { driver().advance(4); }

  void open() {
    screen = std::make_shared<BleSettingsViewController>(
        BleSettingsViewController::Collaborators{link, settings, &db});
    nav = std::make_shared<NavigationController>(screen);
    show(nav);
  }

  std::string bluetoothSetting() { return db.fetchSetting("CommunicateTypeByBluetooth"); }
  Switch& bluetoothSwitch() {
    Switch* s = driver().find<Switch>();
    EXPECT_NE(s, nullptr);
    return *s;
  }
  bool scanningShown() {
    return screen->isScanning() && !screen->pairButton()->isEnabled() &&
           screen->pairButton()->currentTitle() == "Scanning..." &&
           screen->loadingView()->isAnimating() &&
           screen->deviceListTitleLabel()->text() == "Scanning...";
  }
  bool idleShown() {
    return !screen->isScanning() && screen->pairButton()->isEnabled() &&
           screen->pairButton()->currentTitle() == "Pair Terminal" &&
           screen->loadingView()->isHidden() &&
           screen->deviceListTitleLabel()->text() == "Paired Terminals";
  }
  std::optional<std::string> alertText() {
    AlertController* alert = driver().alert();
    if (!alert) return std::nullopt;
    return alert->message();
  }
  // The texts of a device row, top to bottom as built.
  std::vector<std::string> rowTexts(std::int64_t row) {
    std::vector<std::string> texts;
    const auto cell = screen->deviceTableView()->cellForRow(IndexPath::forRow(row));
    if (!cell) return texts;
    for (const auto& v : cell->contentView()->subviews()) {
      if (auto* label = dynamic_cast<Label*>(v.get())) texts.push_back(label->text());
    }
    return texts;
  }
  bool tapDevice(std::int64_t row) {
    return driver().tapRow(*screen->deviceTableView(), IndexPath::forRow(row));
  }

  registry::DatabaseManager db;
  std::shared_ptr<facade::RetailerSettingManager> settings;
  std::shared_ptr<FakeBleLink> link = std::make_shared<FakeBleLink>();
  std::shared_ptr<BleSettingsViewController> screen;
  std::shared_ptr<NavigationController> nav;
};

TEST_F(BleSettingsTest, OpensWithTheStoredSwitchAndScansForThreeSeconds) {
  open();
  EXPECT_FALSE(bluetoothSwitch().isOn()) << "no setting reads as off";
  for (const char* text : {"Bluetooth", "Bluetooth Mode", "Host", "Scanning..."}) {
    EXPECT_TRUE(driver().isTextVisible(text)) << text;
  }
  EXPECT_EQ(link->scans, 1);
  EXPECT_TRUE(scanningShown());

  link->report(peripheral("Tavio T1", "A"));
  driver().advance(1);
  // Refresh and the disabled button during a scan change nothing.
  ASSERT_TRUE(driver().tap(*screen->refreshScanButton()));
  driver().tap(*screen->pairButton());
  EXPECT_EQ(link->scans, 1);
  EXPECT_EQ(screen->deviceArray().size(), 1u);

  driver().advance(1.99);
  EXPECT_TRUE(scanningShown());
  driver().advance(0.01);
  EXPECT_TRUE(idleShown());
  EXPECT_EQ(link->stops, 1);
  EXPECT_EQ(screen->deviceArray().size(), 1u) << "the list keeps its entries";
  EXPECT_TRUE(driver().isTextVisible("Tavio T1"));

  ASSERT_TRUE(driver().tap(*screen->pairButton()));
  EXPECT_EQ(link->scans, 2);
  EXPECT_TRUE(screen->deviceArray().empty()) << "each scan starts with an empty list";
  EXPECT_TRUE(scanningShown());
}

// A phone on its side is too short for the cards, two terminals' rows and
// the button: the page scrolls, the list keeps its rows and the button can
// be reached.
TEST_F(BleSettingsTest, OnATurnedPhoneThePageScrollsToTheListAndTheButton) {
  open();
  window().rotate(true);
  driver().advance(4);
  EXPECT_GE(screen->deviceTableView()->frame().height(), 2 * 80);
  EXPECT_FALSE(onScreen(*screen->pairButton()));
  screen->page()->scrollBy({0, screen->page()->contentSize().height});
  EXPECT_TRUE(onScreen(*screen->pairButton()));
  EXPECT_TRUE(onScreen(*screen->deviceTableView()));
  ASSERT_TRUE(driver().tap(*screen->pairButton()));
  EXPECT_EQ(link->scans, 2);
}

// The scan's spinner stands over the list it waits for, on every device
// (the small phone's centre lies on the list's header), and scrolls with it.
TEST_F(BleSettingsTest, TheSpinnerStandsOverTheList) {
  for (const DeviceProfile& device : everyOrientation()) {
    SCOPED_TRACE(device.name + (device.landscape ? " landscape" : ""));
    makeWindow(device);
    open();
    screen->page()->scrollBy({0, screen->page()->contentSize().height});
    driver().settle();
    ASSERT_TRUE(screen->loadingView()->isAnimating());
    EXPECT_TRUE(encloses(inWindow(*screen->deviceTableView()), inWindow(*screen->loadingView())));
    driver().advance(4);
  }
}

TEST_F(BleSettingsTest, TheSwitchShowsTheStoredState) {
  ASSERT_TRUE(db.insertSetting("CommunicateTypeByBluetooth", "1"));
  open();
  EXPECT_TRUE(screen->isBleEnabled());
  EXPECT_TRUE(bluetoothSwitch().isOn());
}

TEST_F(BleSettingsTest, ListsNamedTerminalsOnceEachWithStateSerialAndSignal) {
  ASSERT_TRUE(storeTerminal(db, "TAVIO-0002"));
  open();
  link->report(peripheral(std::nullopt, "U0"));
  link->report(peripheral("", "U1"));
  link->report(peripheral("Unknown Device", "U2"));
  link->report(peripheral("Tavio T1", "A", -58, "TAVIO-0001"));
  link->report(peripheral("Tavio T1 (again)", "A", -40, "TAVIO-0001"));
  link->report(peripheral("Tavio T2", "B", std::nullopt, "TAVIO-0002"));
  // Without an identifier nothing matches: both are listed.
  link->report(peripheral("Tavio N1", std::nullopt, -70, "TAVIO-0003"));
  link->report(peripheral("Tavio N2", std::nullopt, -71, "TAVIO-0004"));
  driver().settle();

  ASSERT_EQ(screen->deviceArray().size(), 4u);
  EXPECT_EQ(screen->deviceTableView()->numberOfRows(0), 4);
  EXPECT_EQ(screen->contentTableView()->numberOfRows(0), 1);
  for (const char* text : {"Tavio T1", "TAVIO-0001", "-58 dBm", "Tavio T2", "TAVIO-0002",
                           "Tavio N1", "Tavio N2", "-71 dBm"}) {
    EXPECT_TRUE(driver().isTextVisible(text)) << text;
  }
  for (const char* text : {"Tavio T1 (again)", "Unknown Device", "-40 dBm"}) {
    EXPECT_FALSE(driver().isTextVisible(text)) << text;
  }
  // The stored terminal is paired, the others are not; no signal, no line.
  EXPECT_EQ(rowTexts(0),
            (std::vector<std::string>{"Tavio T1", "TAVIO-0001", "Unpaired", "-58 dBm"}));
  EXPECT_EQ(rowTexts(1), (std::vector<std::string>{"Tavio T2", "TAVIO-0002", "Paired"}));
  Label* unpaired = driver().labelWithText("Unpaired");
  ASSERT_NE(unpaired, nullptr);
  EXPECT_EQ(unpaired->textColor, Color::systemGray());
  EXPECT_EQ(driver().labelWithText("Paired")->textColor, Color::systemGreen());
}

// A terminal names itself: a long or hostile name and serial number end in
// an ellipsis before the status, which keeps its word.
TEST_F(BleSettingsTest, ALongOrHostileTerminalKeepsToItsOwnSpace) {
  ScopedTextMetrics pango(std::make_shared<PangoMetrics>());
  open();
  const std::string name(200, 'N');
  const std::string sn = "TAVIO-\u202E0001" + std::string(200, '7');
  link->report(peripheral(name, "A", -58, sn));
  driver().settle();
  Label* nameLabel = driver().labelWithText(name);
  Label* serial = driver().labelWithText(sn);
  Label* status = driver().labelWithText("Unpaired");
  ASSERT_TRUE(nameLabel && serial && status);
  EXPECT_EQ(drawnText(*status).text(), "Unpaired");
  for (Label* outside : {nameLabel, serial}) {
    const TextLayout shown = drawnText(*outside);
    ASSERT_EQ(shown.lines.size(), 1u);
    EXPECT_TRUE(shown.lines[0].ends_with("\u2026"));
    EXPECT_LE(outside->frame().maxX() + 12, status->frame().minX());
  }
  EXPECT_TRUE(drawnText(*serial).text().starts_with("TAVIO-\uFFFD0001"));
}

TEST_F(BleSettingsTest, AnOlderScansTimerNeverEndsANewerScan) {
  open();
  link->report(peripheral("Tavio T1", "A"));
  driver().advance(1);
  ASSERT_TRUE(tapDevice(0));
  EXPECT_EQ(link->stops, 1) << "the scan ends before the connection";
  link->completeOffMain(false, "Device is connecting");
  driver().advance(1.6);  // the alert has gone

  ASSERT_TRUE(driver().tap(*screen->refreshScanButton()));
  EXPECT_EQ(link->scans, 2);
  driver().advance(0.5);  // past the first scan's three seconds
  EXPECT_TRUE(scanningShown());
  EXPECT_EQ(link->stops, 1);
  driver().advance(2.4);
  EXPECT_TRUE(scanningShown());
  driver().advance(0.1);
  EXPECT_TRUE(idleShown());
  EXPECT_EQ(link->stops, 2);
}

TEST_F(BleSettingsTest, ASuccessfulConnectionIsStoredOnTheMainLoopAndShown) {
  ASSERT_TRUE(db.insertSetting("CommunicateTypeByBluetooth", "0"));
  open();
  link->report(peripheral("Tavio T1", "A"));
  driver().advance(1);
  ASSERT_TRUE(tapDevice(0));
  ASSERT_EQ(link->connects.size(), 1u);
  EXPECT_EQ(link->connects[0].uuidString, "A");
  EXPECT_EQ(screen->deviceListTitleLabel()->text(), "Paired Terminals");
  EXPECT_FALSE(screen->pairButton()->isEnabled());
  EXPECT_TRUE(screen->loadingView()->isAnimating());
  EXPECT_FALSE(bluetoothSwitch().isOn());

  link->statuses["TAVIO-0001"] = BLEConnectStatus::Ready;
  link->completeOffMain(true, "Device connected and ready for communication");
  EXPECT_EQ(bluetoothSetting(), "0") << "nothing happens on the completion's thread";
  EXPECT_FALSE(driver().alert());
  driver().settle();
  EXPECT_EQ(bluetoothSetting(), "1");
  EXPECT_TRUE(idleShown());
  EXPECT_TRUE(screen->isBleEnabled());
  EXPECT_TRUE(bluetoothSwitch().isOn()) << "the switch row shows the stored state";
  EXPECT_EQ(rowTexts(0).at(2), "Paired");

  EXPECT_EQ(alertText(), "Device connected and ready for communication");
  EXPECT_EQ(driver().alert()->alertTitle(), std::nullopt);
  EXPECT_TRUE(driver().alert()->actions().empty());
  driver().advance(1.15);
  EXPECT_TRUE(driver().alert());
  driver().advance(0.05 + 0.35);  // the 1.2 s, then the animated dismissal
  EXPECT_FALSE(driver().alert());
}

TEST_F(BleSettingsTest, AFailedConnectionShowsItsMessageAndStoresNothing) {
  open();
  link->report(peripheral("Tavio T1", "A"));
  driver().advance(3);
  ASSERT_TRUE(tapDevice(0));
  link->completeOffMain(false, "Discover services failed");
  driver().settle();
  EXPECT_EQ(alertText(), "Discover services failed");
  EXPECT_EQ(bluetoothSetting(), "");
  EXPECT_FALSE(bluetoothSwitch().isOn());
  EXPECT_TRUE(idleShown());

  // A second message before the first alert has gone takes its place.
  screen->connectDevice(screen->deviceArray()[0]);
  link->completeOffMain(true, "Device already connected");
  driver().settle();
  EXPECT_EQ(alertText(), "Device already connected");
  EXPECT_EQ(bluetoothSetting(), "1");
}

TEST_F(BleSettingsTest, AConnectionEndingAfterTheScreenHasGoneIsStillStored) {
  open();
  link->report(peripheral("Tavio T1", "A"));
  driver().settle();
  screen->connectDevice(screen->deviceArray()[0]);
  const int stops = link->stops;
  window().setRootViewController(nullptr);
  nav.reset();
  screen.reset();
  driver().settle();
  EXPECT_EQ(link->stops, stops + 1) << "leaving stops the scan";

  link->completeOffMain(true, "Device connected and ready for communication");
  driver().advance(4);
  EXPECT_EQ(bluetoothSetting(), "1");
  EXPECT_FALSE(driver().alert());
}

TEST_F(BleSettingsTest, TheSwitchAndItsRowStoreTheStateAndOffForgetsTheLastDevice) {
  open();
  ASSERT_TRUE(driver().flip(bluetoothSwitch()));
  EXPECT_EQ(bluetoothSetting(), "1");
  EXPECT_TRUE(screen->isBleEnabled());
  EXPECT_EQ(link->clears, 0);

  ASSERT_TRUE(driver().flip(bluetoothSwitch()));
  EXPECT_EQ(bluetoothSetting(), "0");
  EXPECT_EQ(link->clears, 1);

  // A tap on the row beside the switch flips it too.
  driver().tapAt(screen->contentTableView()->convert(Point{60, 30}, nullptr));
  EXPECT_EQ(bluetoothSetting(), "1");
  EXPECT_TRUE(bluetoothSwitch().isOn());
  driver().tapAt(screen->contentTableView()->convert(Point{60, 30}, nullptr));
  EXPECT_EQ(bluetoothSetting(), "0");
  EXPECT_FALSE(bluetoothSwitch().isOn());
  EXPECT_EQ(link->clears, 2);
}

TEST_F(BleSettingsTest, StoredTerminalsCanBeListedInsteadOfAScan) {
  ASSERT_TRUE(storeTerminal(db, "TAVIO-0007", "Front desk"));
  ASSERT_TRUE(storeTerminal(db, "TAVIO-0008", std::nullopt, std::nullopt));
  open();
  link->report(peripheral("Tavio T1", "A"));
  driver().settle();
  screen->loadPairedDevices();
  driver().settle();
  ASSERT_EQ(screen->deviceArray().size(), 2u);
  EXPECT_EQ(screen->deviceArray()[0].name, "Front desk");
  EXPECT_EQ(screen->deviceArray()[1].name, "Unknown Device");
  EXPECT_EQ(screen->deviceArray()[1].manufacturerName, "TAVIO-0008");
  EXPECT_FALSE(screen->deviceArray()[1].rssi);
  EXPECT_TRUE(driver().isTextVisible("Front desk"));
}

// --- The paired test ----------------------------------------------------------

class PairedTest : public testing::LoopTest {
 protected:
  PairedTest() : db(docs() / "paired.sqlite") {}
  bool paired(const BLEPeripheralModel& model) { return isPeripheralPaired(model, link, db); }

  registry::DatabaseManager db;
  FakeBleLink link;
};

TEST_F(PairedTest, EachRuleInOrder) {
  const BLEPeripheralModel terminal = peripheral("T", "PERIPHERAL-1", -50, "TAVIO-0001");
  EXPECT_FALSE(paired(terminal));

  // A ready connection record.
  link.statuses["TAVIO-0001"] = BLEConnectStatus::Connecting;
  EXPECT_FALSE(paired(terminal));
  link.statuses["TAVIO-0001"] = BLEConnectStatus::Ready;
  EXPECT_TRUE(paired(terminal));
  link.statuses.clear();

  // Connected to the system with the transport's service.
  link.connectedIds = {"OTHER", "PERIPHERAL-1"};
  EXPECT_FALSE(paired(terminal)) << "no service to ask about";
  link.serviceUuid = kServiceUuid;
  EXPECT_TRUE(paired(terminal));
  EXPECT_EQ(link.asked.back(), "4f565453-4341-5042-5453-657276696365");
  EXPECT_FALSE(paired(peripheral("T", std::nullopt, -50, "TAVIO-0001")));
  link.connectedIds = {"OTHER"};
  EXPECT_FALSE(paired(terminal));

  // A stored terminal.
  ASSERT_TRUE(storeTerminal(db, "TAVIO-0001"));
  EXPECT_TRUE(paired(terminal));
  EXPECT_FALSE(paired(peripheral("T", "PERIPHERAL-2", -50, "TAVIO-0002")));
}

TEST_F(PairedTest, NoSerialNumberIsNeverPaired) {
  link.statuses[""] = BLEConnectStatus::Ready;
  link.serviceUuid = kServiceUuid;
  link.connectedIds = {"PERIPHERAL-1"};
  ASSERT_TRUE(storeTerminal(db, ""));
  EXPECT_FALSE(paired(peripheral("T", "PERIPHERAL-1", -50, "")));
  EXPECT_FALSE(paired(peripheral("T", "PERIPHERAL-1", -50, std::nullopt)));
}

TEST_F(PairedTest, AServiceTextThatIsNoUuidSkipsTheRadioRule) {
  // The transport keeps the serial number it was last given.
  link.connectedIds = {"PERIPHERAL-1"};
  const BLEPeripheralModel terminal = peripheral("T", "PERIPHERAL-1", -50, "TAVIO-0001");
  for (const char* text : {"TAVIO-0001", "", "4f565453-4341-5042-5453-65727669636"}) {
    link.serviceUuid = text;
    EXPECT_FALSE(paired(terminal)) << text;
  }
  EXPECT_TRUE(link.asked.empty());
  ASSERT_TRUE(storeTerminal(db, "TAVIO-0001"));
  EXPECT_TRUE(paired(terminal)) << "the stored-terminal rule still answers";
}

TEST(BleSettingsTexts, StatusAndSignal) {
  EXPECT_STREQ(pairedStatusDisplay(true).text, "Paired");
  EXPECT_STREQ(pairedStatusDisplay(false).text, "Unpaired");
  EXPECT_EQ(signalText(peripheral("T", "A", -71)), "-71 dBm");
  EXPECT_EQ(signalText(peripheral("T", "A", std::nullopt)), std::nullopt);
}

}  // namespace
}  // namespace veltrix::ui::settings
