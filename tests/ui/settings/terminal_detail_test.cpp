// The terminal detail sheet and its rows: what it shows, what a service's
// check button stores (and says), what FIND DEVICE hands the service
// facade, and the hidden status button.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/settings/settings_test_env.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/render/renderer.h"
#include "veltrix/ui/settings/remote_device_controller.h"
#include "veltrix/ui/settings/terminal_detail_cells.h"

namespace veltrix::ui::settings {
namespace {

using registry::rowInt;

constexpr const char* kDetailSn = "TAVIO-T420-00017";

// Records the Display requests instead of sending them.
class RecordingServices final : public ServiceFacade {
 public:
  void display(const model::DisplayParam& param, ExchangeIdBlock,
               facade::ResultBlock<model::DisplayResult>) override {
    sent.push_back(param);
  }
  std::vector<model::DisplayParam> sent;
};

struct ServiceSpec {
  std::string type;
  std::string id;
  std::int64_t enabled = 1;
};

class TerminalDetailTest : public testing::SettingsScreenTest {
 protected:
  TerminalDetailTest() { env.services = services; }

  void addTerminal(const std::string& model = "T420", std::int64_t status = 1,
                   const std::string& parameter = "http,ble") {
    ASSERT_TRUE(db->insertDiscoveredTerminal(kDetailSn, model, "10.0.0.7:8080", parameter,
                                             std::nullopt, status, 1, 0, "1000", "1000",
                                             std::nullopt));
  }
  void addServices(const std::vector<ServiceSpec>& specs) {
    for (const ServiceSpec& s : specs) {
      ASSERT_TRUE(db->insertTerminalServices(kDetailSn, s.type, s.type, "com.tavio.device", s.id,
                                             s.type + " app", s.enabled, "1000", "1000", "device"));
    }
  }
  std::shared_ptr<RemoteDeviceController> open() {
    return pushOverRoot(std::make_shared<RemoteDeviceController>(
        db->fetchDiscoveredTerminal(kDetailSn), db->fetchTerminalServicesWithSn(kDetailSn), env));
  }
  DeviceCapabilityCell* serviceRow(RemoteDeviceController& sheet, std::int64_t row) {
    sheet.tableView()->scrollToRow(IndexPath::forRow(row, 3));
    driver().settle();
    return dynamic_cast<DeviceCapabilityCell*>(
        sheet.tableView()->cellForRow(IndexPath::forRow(row, 3)).get());
  }
  std::int64_t storedState(std::int64_t row) {
    return rowInt(db->fetchTerminalServicesWithSn(kDetailSn).at(static_cast<std::size_t>(row)),
                  "isEnabled");
  }

  std::shared_ptr<RecordingServices> services = std::make_shared<RecordingServices>();
};

TEST_F(TerminalDetailTest, FourSectionsWithTheirRowsAndHeights) {
  addTerminal();
  addServices({{"Purchase", "pay"}, {"Display", "device"}, {"Printer", "device"}});
  auto sheet = open();
  EXPECT_EQ(sheet->title(), "Remote Device");
  TableView& table = *sheet->tableView();
  ASSERT_EQ(table.numberOfSections(), 4);
  EXPECT_EQ(table.numberOfRows(0), 1);
  EXPECT_EQ(table.numberOfRows(1), 1);
  EXPECT_EQ(table.numberOfRows(2), 1);
  EXPECT_EQ(table.numberOfRows(3), 4);
  EXPECT_EQ(table.rectForRow(IndexPath::forRow(0, 0)).height(), 100);
  EXPECT_EQ(table.rectForRow(IndexPath::forRow(0, 1)).height(), 60);
  EXPECT_EQ(table.rectForRow(IndexPath::forRow(0, 2)).height(), 120);
  EXPECT_EQ(table.rectForRow(IndexPath::forRow(0, 3)).height(), 30);
  EXPECT_EQ(table.rectForRow(IndexPath::forRow(3, 3)).height(), 72);
  EXPECT_EQ(table.rectForHeader(1).height(), 5);
  EXPECT_EQ(table.rectForFooter(1).height(), 5);

  for (const char* text : {"T420", kDetailSn, "LAN,BLE", "Auth type: NONE", "Verify",
                           "Device Status", "Device Capability", "FIND DEVICE"}) {
    EXPECT_TRUE(driver().isTextVisible(text)) << text;
  }
  EXPECT_FALSE(driver().isTextVisible("REMOVE DEVICE")) << "made hidden";
  EXPECT_TRUE(sheet->isConnect());

  // Only the last service row goes without a line.
  EXPECT_NE(serviceRow(*sheet, 1)->lineView(), nullptr);
  EXPECT_NE(serviceRow(*sheet, 2)->lineView(), nullptr);
  EXPECT_EQ(serviceRow(*sheet, 3)->lineView(), nullptr);

  // Selecting a row leaves nothing selected.
  ASSERT_TRUE(driver().tapRow(table, IndexPath::forRow(0, 2)));
  EXPECT_TRUE(table.indexPathsForSelectedRows().empty());
}

// On the small phone the header's serial number, the auth status and the
// status panel's time are drawn whole, smaller, in the installed fonts.
TEST_F(TerminalDetailTest, TheSmallPhoneShowsItsTextsWhole) {
  ScopedTextMetrics fonts{std::make_shared<PangoMetrics>()};
  makeWindow(DeviceProfile::smallPhone());
  addTerminal();
  auto sheet = open();
  for (const char* text : {kDetailSn, "Auth type: NONE", "Updated 1 minute ago"}) {
    const Label* label = driver().labelWithText(text);
    ASSERT_NE(label, nullptr) << text;
    EXPECT_TRUE(textFits(*label)) << text;
  }
}

TEST_F(TerminalDetailTest, WithoutServicesOnlyTheCapabilityTitleShows) {
  addTerminal();
  auto sheet = open();
  EXPECT_EQ(sheet->tableView()->numberOfRows(3), 1);
  ASSERT_TRUE(driver().tap(*sheet->rightButton()));
  EXPECT_EQ(driver().toast(), "This terminal unsupport display!");
  EXPECT_TRUE(services->sent.empty());
}

TEST_F(TerminalDetailTest, LinkTextFollowsTheParameterCaseSensitively) {
  EXPECT_EQ(linkText("http,ble"), "LAN,BLE");
  EXPECT_EQ(linkText("ble,http"), "LAN,BLE");
  EXPECT_EQ(linkText("http"), "LAN");
  EXPECT_EQ(linkText("ble"), "BLE");
  EXPECT_EQ(linkText("HTTP"), "unknown");
  EXPECT_EQ(linkText(""), "unknown");
  EXPECT_EQ(linkText(std::nullopt), "unknown");
}

// The terminal's model cannot reorder itself or draw a second line.
TEST_F(TerminalDetailTest, AHostileModelShowsOnItsOwnLine) {
  addTerminal("T4\u202E20\nX");
  open();
  Label* model = driver().labelWithText("T4\u202E20\nX");
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(drawnText(*model).lines, std::vector<std::string>{"T4\uFFFD20\uFFFDX"});
}

TEST_F(TerminalDetailTest, IconsFallBackToTheT420Pair) {
  EXPECT_EQ(terminalIconNames("T310").enabled, "icon_t310_enabled");
  EXPECT_EQ(terminalIconNames("TMIX_Z3").disabled, "icon_tmix_z3_disabled");
  EXPECT_EQ(terminalIconNames("TMIX Z3").enabled, "icon_tmix_z3_enabled");
  for (const std::optional<std::string>& model :
       {std::optional<std::string>("Nova 9"), std::optional<std::string>("../t310"),
        std::optional<std::string>()}) {
    const TerminalIconNames names = terminalIconNames(model);
    EXPECT_EQ(names.enabled, "icon_t420_enabled");
    EXPECT_EQ(names.disabled, "icon_t420_disabled");
  }

  // A removed terminal of an unknown model shows the T420's disabled icon.
  addTerminal("Nova 9", 2, "HTTP");
  auto sheet = open();
  auto header = std::dynamic_pointer_cast<RemoteTerminalCell>(
      sheet->tableView()->cellForRow(IndexPath::forRow(0, 0)));
  ASSERT_NE(header, nullptr);
  ASSERT_NE(header->terminalImageView()->image(), nullptr);
  EXPECT_EQ(header->terminalImageView()->image()->name(), "icon_t420_disabled");
  EXPECT_EQ(header->linkLabel()->text(), "unknown");
  EXPECT_FALSE(sheet->isConnect());
}

TEST_F(TerminalDetailTest, ACheckButtonStoresTheServiceAndTheRowFollows) {
  addTerminal();
  addServices({{"Purchase", "pay", 1}, {"Refund", "pay", 2}});
  auto sheet = open();
  DeviceCapabilityCell* purchase = serviceRow(*sheet, 1);
  ASSERT_NE(purchase, nullptr);
  EXPECT_TRUE(purchase->updateBtn()->isSelected());
  EXPECT_FALSE(serviceRow(*sheet, 2)->updateBtn()->isSelected());

  ASSERT_TRUE(driver().tap(*purchase->updateBtn()));
  EXPECT_FALSE(purchase->updateBtn()->isSelected());
  EXPECT_EQ(storedState(0), 2);
  EXPECT_EQ(driver().toast(), "Save successfully!");
  EXPECT_TRUE(sheet->tableView()->indexPathsForSelectedRows().empty())
      << "the tap reached the button, not the row";
  EXPECT_EQ(rowInt(sheet->serviceArray()[0], "isEnabled"), 2);

  // A rebuilt row shows what is stored.
  sheet->tableView()->reloadData();
  EXPECT_FALSE(serviceRow(*sheet, 1)->updateBtn()->isSelected());
  ASSERT_TRUE(driver().tap(*serviceRow(*sheet, 1)->updateBtn()));
  EXPECT_EQ(storedState(0), 1);
  driver().advance(3.0);
  EXPECT_EQ(driver().toast(), std::nullopt);
}

TEST_F(TerminalDetailTest, AFailedStoreSaysSoAndPutsTheButtonBack) {
  addTerminal();
  addServices({{"Purchase", "pay", 1}});
  record();
  database->failWrites = true;
  auto sheet = open();
  DeviceCapabilityCell* purchase = serviceRow(*sheet, 1);
  ASSERT_TRUE(driver().tap(*purchase->updateBtn()));
  ASSERT_EQ(database->writes.size(), 1u);
  EXPECT_EQ(database->writes[0], fmt::format("updataTerminalServiceStatus {} 2", purchase->tsId()));
  EXPECT_EQ(driver().toast(), "Save failed!");
  EXPECT_TRUE(purchase->updateBtn()->isSelected());
  EXPECT_EQ(rowInt(sheet->serviceArray()[0], "isEnabled"), 1);
  EXPECT_EQ(storedState(0), 1);
}

TEST_F(TerminalDetailTest, FindDeviceAsksTheFirstDisplayServiceToShowTheTerminal) {
  addTerminal();
  addServices(
      {{"display", "lower"}, {"Purchase", "pay"}, {"Display", "screen"}, {"Display", "second"}});
  auto sheet = open();
  ASSERT_TRUE(driver().tap(*sheet->rightButton()));
  ASSERT_EQ(services->sent.size(), 1u);
  const model::DisplayParam& param = services->sent[0];
  ASSERT_TRUE(param.displayContents);
  ASSERT_EQ(param.displayContents->size(), 1u);
  const model::ActionMessageParam& message = param.displayContents->front();
  EXPECT_EQ(message.format, model::OutputFormatCode::SREF);
  EXPECT_EQ(message.messageDestination, model::ReceiptOutputTargetCode::MDSP);
  EXPECT_TRUE(message.responseRequiredFlag);
  EXPECT_EQ(message.messageContent,
            R"({"data":{"hasShow":false,"model":"T420","sn":"TAVIO-T420-00017","type":0},)"
            R"("refId":"selfLocationReport"})");
  EXPECT_EQ(message.informationQualifier, model::InformationQualifyCode{});
  EXPECT_EQ(message.minimumDisplayTime, 0);
  EXPECT_FALSE(message.title);
  ASSERT_TRUE(param.servicesParams);
  EXPECT_EQ(param.servicesParams->sn, kDetailSn);
  EXPECT_EQ(param.servicesParams->serviceId, "screen");
  EXPECT_FALSE(param.servicesParams->address);
  EXPECT_EQ(driver().toast(), std::nullopt) << "the answer is only logged";
}

TEST_F(TerminalDetailTest, WithoutADisplayServiceNothingIsSent) {
  addTerminal();
  addServices({{"display", "lower"}, {"Purchase", "pay"}});
  auto sheet = open();
  ASSERT_TRUE(driver().tap(*sheet->rightButton()));
  EXPECT_EQ(driver().toast(), "This terminal unsupport display!");
  EXPECT_TRUE(services->sent.empty());
}

TEST_F(TerminalDetailTest, TheMessageContentStaysJsonWhateverTheTerminalIsCalled) {
  const std::string content = selfLocationReportContent(R"(T"4\20)", std::nullopt);
  auto json = platform::parseJson(content);
  ASSERT_TRUE(json) << content;
  EXPECT_EQ((*json)["data"]["model"], R"(T"4\20)");
  EXPECT_EQ((*json)["data"]["sn"], "");
  EXPECT_EQ((*json)["refId"], "selfLocationReport");

  // A Display service whose terminal row is gone goes by its identifier
  // alone; a terminal without a row writes "".
  addServices({{"Display", "screen"}});
  auto sheet = open();
  std::optional<model::DisplayParam> request = sheet->findDeviceRequest();
  ASSERT_TRUE(request);
  EXPECT_FALSE(request->servicesParams->sn);
  EXPECT_EQ(request->servicesParams->serviceId, "screen");
  EXPECT_EQ(request->displayContents->front().messageContent,
            R"({"data":{"hasShow":false,"model":"","sn":"","type":0},)"
            R"("refId":"selfLocationReport"})");
}

TEST_F(TerminalDetailTest, TheHiddenButtonTogglesTheStoredStatus) {
  addTerminal();
  auto sheet = open();
  EXPECT_TRUE(sheet->leftButton()->isHidden());
  EXPECT_EQ(sheet->leftButton()->currentTitle(), "REMOVE DEVICE");
  sheet->leftButtonTapped();
  EXPECT_FALSE(sheet->isConnect());
  EXPECT_EQ(sheet->leftButton()->currentTitle(), "CONNECT DEVICE");
  EXPECT_EQ(rowInt(db->fetchDiscoveredTerminal(kDetailSn), "status"), 2);
  auto header = std::dynamic_pointer_cast<RemoteTerminalCell>(
      sheet->tableView()->cellForRow(IndexPath::forRow(0, 0)));
  EXPECT_EQ(header->terminalImageView()->image()->name(), "icon_t420_disabled");

  // Shown again, the sheet reads the stored status it wrote.
  sheet->viewDidAppear(false);
  EXPECT_FALSE(sheet->isConnect());
  sheet->leftButtonTapped();
  EXPECT_TRUE(sheet->isConnect());
  EXPECT_EQ(rowInt(db->fetchDiscoveredTerminal(kDetailSn), "status"), 1);
}

TEST_F(TerminalDetailTest, VerifyWithoutABlockDoesNothingAndWithOneReportsTheTerminal) {
  registry::Row terminal{{"sn", std::string(kDetailSn)}};
  AuthStatusCell cell(terminal);
  cell.verifyTerminal(*cell.verifyButton());
  std::string reported;
  cell.selectionBlock = [&](const std::string& sn) { reported = sn; };
  cell.verifyTerminal(*cell.verifyButton());
  EXPECT_EQ(reported, kDetailSn);
}

}  // namespace
}  // namespace veltrix::ui::settings
