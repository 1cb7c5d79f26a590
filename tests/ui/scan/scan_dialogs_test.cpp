// The scan screen's dialogs: the add-device chooser, the QR code dialog with
// this device's handshake record, and the pairing code card.
#include "veltrix/ui/scan/scan_dialogs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/qr.h"
#include "veltrix/registry/handshake_bean.h"
#include "veltrix/ui/scan/qr_code_view.h"
#include "veltrix/ui/scan/scan_option_view.h"

namespace veltrix::ui::scan {
namespace {

using platform::Json;

struct FakePairing : PairingAuth {
  std::vector<std::string> codes{"00012345"};
  std::vector<Json> sent;
  std::size_t made = 0;
  std::string createRandom() override { return codes[made++ % codes.size()]; }
  bool auth(const Json& terminal) override {
    sent.push_back(terminal);
    return platform::readText(terminal, "address").has_value();
  }
};

class ScanDialogsTest : public testing::UiTest {
 protected:
  void SetUp() override {
    screen = std::make_shared<ViewController>();
    navigation = std::make_shared<NavigationController>(screen);
    show(navigation);
    ScanDialogs::Services services;
    services.auth = pairing;
    services.handshakeText = [this] {
      registry::OwnDeviceInfo info;
      info.sn = "6F9619FF8B86D011B42D00C04FC964FF";
      info.wifiAddress = "192.168.1.20";
      info.model = "x86_64";
      auto bean = registry::HandshakeBean::initBeanWithSelfInfo(info);
      auto text = bean.toJSONString();
      shown.push_back(text.value_or(""));
      return text;
    };
    dialogs = ScanDialogs::create(*screen, services);
  }
  QRCodeView* qrCard() { return driver().find<QRCodeView>(); }

  std::shared_ptr<ViewController> screen;
  std::shared_ptr<NavigationController> navigation;
  std::shared_ptr<FakePairing> pairing = std::make_shared<FakePairing>();
  std::shared_ptr<ScanDialogs> dialogs;
  std::vector<std::string> shown;
};

TEST_F(ScanDialogsTest, ChooserScanOnlyCloses) {
  dialogs->plusQRCode();
  driver().settle();
  EXPECT_TRUE(dialogs->isShowQRView());
  auto* sheet = driver().find<ScanOptionView>();
  ASSERT_TRUE(sheet);
  EXPECT_EQ(inWindow(*sheet).size, (Size{250, 180}));
  EXPECT_EQ(inWindow(*sheet).mid(), inWindow(screen->view()).mid());
  EXPECT_EQ(inWindow(*dialogs->dialogView()), inWindow(screen->view()));
  ASSERT_TRUE(driver().tap(*sheet->scanButton()));
  EXPECT_FALSE(driver().find<ScanOptionView>());
  EXPECT_FALSE(qrCard());
  EXPECT_EQ(dialogs->dialogView(), nullptr);
}

TEST_F(ScanDialogsTest, ChooserDeviceCodeOpensTheQRCodeDialog) {
  dialogs->plusQRCode();
  driver().settle();
  ASSERT_TRUE(driver().tap(*driver().find<ScanOptionView>()->deviceCodeButton()));
  EXPECT_FALSE(driver().find<ScanOptionView>());
  ASSERT_TRUE(qrCard());
  EXPECT_TRUE(dialogs->isShowQRView());
  EXPECT_TRUE(driver().isTextVisible("Please scan this code with the Tavio"));
}

TEST_F(ScanDialogsTest, QRCodeDialogShowsTheHandshakeRecordCentred) {
  dialogs->showQRCodeDialog();
  driver().settle();
  QRCodeView* card = qrCard();
  ASSERT_TRUE(card);
  const Rect frame = inWindow(*card);
  EXPECT_EQ(frame.size, (Size{320, 350}));
  EXPECT_EQ(frame.mid(), inWindow(screen->view()).mid());
  EXPECT_EQ(dialogs->dialogView()->backgroundColor(), Color::black().withAlpha(0.5));
  ASSERT_EQ(shown.size(), 1u);
  ASSERT_TRUE(card->imageView()->image() && card->imageView()->image()->bitmap());
  auto codes = decodeQr(*card->imageView()->image()->bitmap());
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(codes[0].text, shown[0]);
  auto record = platform::parseJson(codes[0].text);
  ASSERT_TRUE(record);
  EXPECT_EQ(platform::readText(*record, "address"), "192.168.1.20:8080");
  EXPECT_EQ(platform::readText(*record, "contentType"), "discover");

  // Each opening makes a new record, and replaces the earlier dialog.
  clock().advance(std::chrono::milliseconds(5));
  dialogs->showQRCodeDialog();
  driver().settle();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[0], shown[1]);
  EXPECT_EQ(driver().window().findAll<QRCodeView>().size(), 1u);
}

TEST_F(ScanDialogsTest, TapOnTheDimmingClosesTheQRCodeDialogTapOnTheCardDoesNot) {
  dialogs->showQRCodeDialog();
  driver().settle();
  const Rect card = inWindow(*qrCard());
  driver().tapAt(card.mid());
  EXPECT_TRUE(qrCard());
  EXPECT_TRUE(dialogs->isShowQRView());
  driver().tapAt(Point{card.midX(), card.maxY() + 40});
  EXPECT_FALSE(qrCard());
  EXPECT_FALSE(dialogs->isShowQRView());
}

TEST_F(ScanDialogsTest, PairingCardShowsTheCodeWithLeadingZerosAndSendsTheRequest) {
  const Json terminal{{"sn", "TAVIO-SIM-0001"}, {"address", "127.0.0.2:8080"}};
  dialogs->showAuthRandomView(terminal);
  driver().settle();
  EXPECT_TRUE(driver().isTextVisible("0001 2345"));
  EXPECT_TRUE(driver().isTextVisible("Invitation sent"));
  EXPECT_TRUE(
      driver().isTextVisible("Please enter the following pairing code on device TAVIO-SIM-0001"));
  ASSERT_EQ(pairing->sent.size(), 1u);
  EXPECT_EQ(pairing->sent[0], terminal);

  // The card dims the screen view's superview and is centred on it.
  View* dimming = dialogs->backgroundView();
  ASSERT_TRUE(dimming);
  EXPECT_EQ(dimming->superview(), screen->view().superview());
  EXPECT_EQ(dimming->superview()->subviews().back().get(), dimming);
  EXPECT_EQ(inWindow(*dimming), inWindow(*screen->view().superview()));
  auto* card = driver().find<AuthRandomView>();
  ASSERT_TRUE(card);
  EXPECT_EQ(card->randomStr(), "0001 2345");
  EXPECT_EQ(inWindow(*card).size, (Size{320, 220}));
  EXPECT_EQ(inWindow(*card).mid(), inWindow(*dimming).mid());

  // It does not close on a tap; it stays until the screen ends.
  driver().tapAt(Point{10, 10});
  EXPECT_TRUE(driver().find<AuthRandomView>());
  dialogs->cleanUp();
  driver().settle();
  EXPECT_FALSE(driver().find<AuthRandomView>());
  EXPECT_EQ(dialogs->backgroundView(), nullptr);
}

TEST_F(ScanDialogsTest, ASecondPairingCardReplacesTheFirst) {
  pairing->codes = {"12345678", "87654321"};
  dialogs->showAuthRandomView(Json{{"sn", "A1"}, {"address", "127.0.0.2"}});
  dialogs->showAuthRandomView(Json{{"sn", "B2"}, {"address", "127.0.0.3"}});
  driver().settle();
  auto cards = driver().window().findAll<AuthRandomView>();
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0]->randomStr(), "8765 4321");
  EXPECT_EQ(cards[0]->sn(), "B2");
}

TEST_F(ScanDialogsTest, PairingCardWithoutAddressIsStillShown) {
  dialogs->showAuthRandomView(Json{{"sn", "T1"}});
  driver().settle();
  EXPECT_TRUE(driver().isTextVisible("0001 2345"));
  EXPECT_TRUE(driver().isTextVisible("Please enter the following pairing code on device T1"));
}

TEST(PairingCode, SplitsAfterTheFourthDigit) {
  EXPECT_EQ(pairingCodeText("00000042"), "0000 0042");
  EXPECT_EQ(pairingCodeText("12345678"), "1234 5678");
  EXPECT_EQ(pairingCodeText("123"), "123 ");
}

}  // namespace
}  // namespace veltrix::ui::scan
