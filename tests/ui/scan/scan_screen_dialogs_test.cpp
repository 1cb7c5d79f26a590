// The scan screen's overflow grid and dialogs on a navigation stack: a pick
// in the grid chooses like a drop, the screen's timers keep running under
// the grid and its ending closes whatever is open.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/scan/scan_fixture.h"
#include "veltrix/platform/ui/qr.h"
#include "veltrix/ui/scan/auth_random_view.h"
#include "veltrix/ui/scan/qr_code_view.h"
#include "veltrix/ui/scan/scan_option_view.h"

namespace veltrix::ui::scan::test {
namespace {

std::string gridSerial(int i) { return "TAVIO-GRID-" + std::to_string(1000 + i); }

struct FakePairing : PairingAuth {
  std::vector<platform::Json> sent;
  std::string createRandom() override { return "00420815"; }
  bool auth(const platform::Json& terminal) override {
    sent.push_back(terminal);
    return true;
  }
};

class ScanScreenDialogsTest : public ScanScreenTest {
 protected:
  // Ten services: eight bubbles, "more", and two in the overflow.
  ScanViewController& openWithOverflow() {
    ScanViewController& s = open();
    for (int i = 0; i < 10; ++i) report(gridSerial(i), "1");
    driver().advance(0.5);
    return s;
  }
  void tapMore(ScanViewController& s) {
    ASSERT_TRUE(s.movingViews().back()->isMore());
    ASSERT_TRUE(driver().tap(*s.movingViews().back()));
    driver().advance(0.5);
  }
};

TEST_F(ScanScreenDialogsTest, MoreOpensTheGridAndAPickChoosesThatService) {
  ScanViewController& s = openWithOverflow();
  tapMore(s);
  GridViewController* grid = s.popupView();
  ASSERT_TRUE(grid);
  EXPECT_EQ(nav->presentedViewController(), grid);
  ASSERT_EQ(grid->gridData().size(), 2u);
  s.showGridPopup();
  EXPECT_EQ(s.popupView(), grid) << "one grid at a time";
  EXPECT_TRUE(driver().isTextVisible("(*1009)"));

  ASSERT_TRUE(driver().tapItem(grid->collectionView(), IndexPath::forItem(1)));
  ASSERT_EQ(answers->chosen.size(), 1u);
  EXPECT_EQ(answers->chosen[0].at("sn"), gridSerial(9));
  driver().advance(1.0);
  EXPECT_EQ(nav->presentedViewController(), nullptr);
  EXPECT_EQ(nav->viewControllers().size(), 1u);
  driver().advanceUnwatched(40.0);
  EXPECT_EQ(answers->answers(), 1u);
}

TEST_F(ScanScreenDialogsTest, TimeOutUnderTheGridAnswersOnceAndClosesIt) {
  ScanViewController& s = openWithOverflow();
  tapMore(s);
  ASSERT_TRUE(s.popupView());
  // Tapping outside the panel closes the grid and leaves the screen running.
  driver().tapAt(Point{20, 60});
  driver().advance(0.5);
  EXPECT_EQ(nav->presentedViewController(), nullptr);
  EXPECT_EQ(answers->answers(), 0u);
  tapMore(s);
  driver().advanceUnwatched(30.0);
  ASSERT_EQ(answers->errors.size(), 1u);
  EXPECT_EQ(answers->errors[0].first, -101);
  driver().advance(1.0);
  EXPECT_EQ(nav->presentedViewController(), nullptr);
  EXPECT_TRUE(answers->chosen.empty());
}

TEST_F(ScanScreenDialogsTest, AddDeviceChooserLeadsToTheQRCodeDialog) {
  ScanViewController& s = open();
  EXPECT_FALSE(s.isShowQRView());
  s.plusQRCode();
  driver().settle();
  EXPECT_TRUE(s.isShowQRView());
  auto* sheet = driver().find<ScanOptionView>();
  ASSERT_TRUE(sheet);
  ASSERT_TRUE(driver().tap(*sheet->deviceCodeButton()));
  auto* card = driver().find<QRCodeView>();
  ASSERT_TRUE(card);
  EXPECT_TRUE(card->isDescendantOf(s.view()));
  ASSERT_TRUE(card->imageView()->image());
  auto codes = decodeQr(*card->imageView()->image()->bitmap());
  ASSERT_EQ(codes.size(), 1u);
  auto record = platform::parseJson(codes[0].text);
  ASSERT_TRUE(record);
  EXPECT_EQ(platform::readText(*record, "protocolVersion"), "1.0.01");
  EXPECT_TRUE(platform::readText(*record, "address").value_or("").ends_with(":8080"));

  // Turned, the 350-point card is drawn smaller, clear of the navigation bar
  // and inside the screen.
  window().rotate(true);
  driver().advance(1.0);
  EXPECT_LT(card->transform().sy, 1);
  const Rect shown = inWindow(*card);
  EXPECT_GE(shown.minY(), s.view().safeAreaInsets().top);
  EXPECT_LE(shown.maxY(), window().bounds().height());

  // The screen ends with the dialog open: it goes with it.
  driver().advanceUnwatched(31.0);
  EXPECT_EQ(answers->errors.size(), 1u);
  EXPECT_FALSE(driver().find<QRCodeView>());
}

TEST_F(ScanScreenDialogsTest, PairingCardOverTheScreenUntilItEnds) {
  ScanViewController& s = open();
  auto pairing = std::make_shared<FakePairing>();
  s.dialogServices.auth = pairing;
  const platform::Json terminal{{"sn", gridSerial(3)}, {"address", "127.0.0.9:8080"}};
  s.showAuthRandomView(terminal);
  driver().settle();
  EXPECT_TRUE(driver().isTextVisible("0042 0815"));
  ASSERT_EQ(pairing->sent.size(), 1u);
  EXPECT_EQ(pairing->sent[0], terminal);
  auto* card = driver().find<AuthRandomView>();
  ASSERT_TRUE(card);
  EXPECT_FALSE(card->isDescendantOf(s.view()));
  EXPECT_TRUE(card->isDescendantOf(*s.view().superview()));

  driver().advanceUnwatched(31.0);
  EXPECT_EQ(answers->errors.size(), 1u);
  EXPECT_FALSE(driver().find<AuthRandomView>());
}

TEST_F(ScanScreenDialogsTest, ServicePostedAsANotificationIsFiltered) {
  ScanViewController& s = open();
  report(gridSerial(1));
  ASSERT_EQ(s.activedIps().size(), 1u);
  auto info = std::make_shared<registry::ServiceInfo>();
  info->serviceSn = gridSerial(1);
  info->deviceSn = gridSerial(1);
  info->model = "T420";
  info->serviceType = "Purchase";
  info->serviceId = "2";
  info->serviceName = "Card 2";
  db.insertTerminalServices(gridSerial(1), "Purchase", "Payment", std::nullopt, "2", "Card 2", 1,
                            std::to_string(platform::nowMillis()),
                            std::to_string(platform::nowMillis()), "payment");
  s.onScanTerminal2(platform::Notification{"scan", info});
  s.onScanTerminal2(platform::Notification{"scan", nullptr});
  EXPECT_EQ(s.activedIps().size(), 2u);
}

}  // namespace
}  // namespace veltrix::ui::scan::test
