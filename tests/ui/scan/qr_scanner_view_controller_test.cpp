// The QR scanner screen on the camera stand-in: presented over a host
// screen, fed codes by the fake camera (or a PNG file), driven like a user.
#include "veltrix/ui/scan/qr_scanner_view_controller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/ui_test_env.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/camera.h"
#include "veltrix/platform/ui/qr.h"
#include "veltrix/platform/ui/render/canvas.h"

namespace veltrix::ui::scan {
namespace {

// Codes in the middle of the upright picture: inside the scan frame.
MetadataObject centred(std::optional<std::string> text) {
  return {std::string(kMetadataObjectTypeQRCode), std::move(text), Rect{0.4, 0.45, 0.2, 0.1}};
}

class QRScannerTest : public testing::UiTest {
 protected:
  ~QRScannerTest() override { CaptureDevice::setDefaultVideoDevice(nullptr); }

  // Presents the scanner over a host screen; `camera` (if any) becomes the
  // default device first.
  void open(std::shared_ptr<CaptureDevice> camera) {
    CaptureDevice::setDefaultVideoDevice(std::move(camera));
    host = std::make_shared<ViewController>();
    show(host);
    scanner = QRScannerViewController::initWithCompletion(
        [this](std::optional<std::string> text) { results.push_back(std::move(text)); });
    host->present(scanner, false);
    driver().settle();
  }

  bool scannerShown() { return host->presentedViewController() == scanner.get(); }

  std::shared_ptr<ViewController> host;
  std::shared_ptr<QRScannerViewController> scanner;
  std::vector<std::optional<std::string>> results;
};

TEST_F(QRScannerTest, TheFirstCodeOfAFrameIsHandedOverOnceAndTheScreenLeaves) {
  auto camera = std::make_shared<FakeCamera>();
  open(camera);
  ASSERT_TRUE(scanner->captureSession()->isRunning());

  camera->showCodes({centred("first"), centred("second")});
  driver().settle();
  // A callback the capture framework had already queued before the stop.
  scanner->didOutputMetadataObjects(*scanner->captureSession()->outputs().front(),
                                    {centred("late")});
  driver().advance(1);

  EXPECT_EQ(results, (std::vector<std::optional<std::string>>{"first"}));
  EXPECT_FALSE(scanner->captureSession()->isRunning());
  EXPECT_EQ(host->presentedViewController(), nullptr);

  // Appearing again (say, presented anew) does not restart a finished scan.
  scanner->viewWillAppear(false);
  EXPECT_FALSE(scanner->captureSession()->isRunning());
}

TEST_F(QRScannerTest, TheStatusBarIsLightOverTheBlackPage) {
  open(nullptr);
  EXPECT_EQ(window().statusBarStyle(), StatusBarStyle::Default) << "a sheet leaves the host's";
  show(QRScannerViewController::initWithCompletion({}));
  EXPECT_EQ(window().statusBarStyle(), StatusBarStyle::LightContent);
}

TEST_F(QRScannerTest, ACodeWithoutTextArrivesAbsentAndTheScreenLeavesWhateverTheCompletion) {
  auto camera = std::make_shared<FakeCamera>();
  open(camera);
  camera->showCodes({centred(std::nullopt)});
  driver().advance(1);
  EXPECT_EQ(results, (std::vector<std::optional<std::string>>{std::nullopt}));

  open(camera);
  scanner->completionHandler = nullptr;
  camera->showCodes({centred("no one listens")});
  driver().advance(1);
  EXPECT_FALSE(scanner->captureSession()->isRunning());
  EXPECT_FALSE(scannerShown());

  // The host's completion throws: the screen still goes.
  open(camera);
  scanner->completionHandler = [](std::optional<std::string>) {
    throw std::runtime_error("host failure");
  };
  camera->showCodes({centred("thrown at")});
  driver().advance(1);
  EXPECT_FALSE(scannerShown());
}

TEST_F(QRScannerTest, CodesOutsideTheGreenFrameAreIgnored) {
  auto camera = std::make_shared<FakeCamera>();
  open(camera);
  camera->showCodes({{std::string(kMetadataObjectTypeQRCode), "corner", Rect{0, 0, 0.1, 0.05}}});
  driver().advance(1);
  EXPECT_TRUE(results.empty());
  EXPECT_TRUE(scannerShown());
  EXPECT_TRUE(scanner->captureSession()->isRunning());
}

TEST_F(QRScannerTest, CancelLeavesWithoutCompletionEvenForCodesThatFollow) {
  auto camera = std::make_shared<FakeCamera>();
  open(camera);
  ASSERT_TRUE(driver().tap(*scanner->cancelButton()));
  // Queued before the screen began to leave.
  scanner->didOutputMetadataObjects(*scanner->captureSession()->outputs().front(),
                                    {centred("too late")});
  driver().advance(1);
  EXPECT_TRUE(results.empty());
  EXPECT_FALSE(scannerShown());
  EXPECT_FALSE(scanner->captureSession()->isRunning());
}

TEST_F(QRScannerTest, WithoutACameraTheScreenIsCompleteButReadsNothing) {
  platform::ScopedLogCapture log;
  open(nullptr);
  EXPECT_EQ(log.count("无法获取摄像头"), 1u);
  EXPECT_TRUE(scanner->captureSession()->inputs().empty());
  EXPECT_TRUE(scanner->captureSession()->outputs().empty());
  EXPECT_EQ(scanner->previewLayer(), nullptr);
  EXPECT_TRUE(driver().isTextVisible("将二维码放入框内，即可自动扫描"));
  EXPECT_TRUE(driver().isTextVisible("取消"));
  // Phone portrait, presented as a page sheet 390 x 787 (from 10 under the
  // status bar): a 273-point square in the middle of the sheet.
  EXPECT_EQ(scanner->scanRectView()->frame(), (Rect{58.5, 257, 273, 273}));
  EXPECT_EQ(scanner->scanRectView()->borderWidth, 2.0);
  EXPECT_EQ(scanner->hintLabel()->frame(), (Rect{0, 550, 390, 30}));
  // Above the home indicator, inside the sheet.
  EXPECT_EQ(scanner->cancelButton()->frame(), (Rect{20, 693, 350, 44}));

  // Access refused is the same as no camera.
  auto refused = std::make_shared<FakeCamera>();
  refused->accessGranted = false;
  open(refused);
  EXPECT_EQ(log.count("无法获取摄像头"), 2u);
  EXPECT_EQ(scanner->previewLayer(), nullptr);
  ASSERT_TRUE(driver().tap(*scanner->cancelButton()));
  driver().advance(1);
  EXPECT_FALSE(scannerShown());
  EXPECT_TRUE(results.empty());

  // On a phone on its side the square is smaller, so the hint stays above
  // the cancel button; the square, the hint and the button follow a turn.
  for (const DeviceProfile& device : everyDevice()) {
    makeWindow(device.inOrientation(true));
    open(nullptr);
    for (const bool landscape : {true, false, true}) {
      SCOPED_TRACE(device.name + (landscape ? " landscape" : " portrait"));
      window().rotate(landscape);
      driver().settle();
      const Rect cancel = scanner->cancelButton()->frame();
      EXPECT_LE(scanner->hintLabel()->frame().maxY(), cancel.minY());
      const Rect square = scanner->scanRectView()->frame();
      const Rect expected =
          qrScanFrame(scanner->view().bounds().size, window().device().safeArea());
      EXPECT_NEAR(square.x(), expected.x(), 1e-9);
      EXPECT_NEAR(square.y(), expected.y(), 1e-9);
      EXPECT_NEAR(square.width(), expected.width(), 1e-9);
      EXPECT_GT(scanner->scanRectView()->frame().width(), 0);
      EXPECT_TRUE(onScreen(*scanner->cancelButton()));
    }
  }
}

// A picture of the QR code of `content` in the middle of a phone's frame.
std::filesystem::path writeCodePicture(const std::filesystem::path& path,
                                       const std::string& content) {
  auto code = encodeQr(content, QrCorrection::M);
  EXPECT_TRUE(code);
  if (!code) return {};
  Canvas canvas(Size{1080, 1920}, 1);
  canvas.fillRect(Rect{0, 0, 1080, 1920}, Color::white());
  canvas.drawBitmap(*renderQr(*code, 360, 360), Rect{360, 780, 360, 360}, false);
  EXPECT_TRUE(canvas.writePng(path));
  return path;
}

TEST_F(QRScannerTest, APictureFileIsDecodedThroughTheScanFrame) {
  auto missing = std::make_shared<ImageFileCamera>(docs() / "absent.png");
  EXPECT_FALSE(missing->captureFrame());

  // Text is handed over as it is; bytes that are not text arrive absent.
  const std::string text = R"({"sn":"TAVIO-SIM-0001","contentType":"discover"})";
  const std::string bytes("\xff\xfe\x00\x81TAVIO", 9);
  for (const std::string& content : {text, bytes}) {
    auto camera = std::make_shared<ImageFileCamera>(writeCodePicture(docs() / "code.png", content));
    open(camera);
    ASSERT_TRUE(camera->captureFrame());
    driver().advance(1);
    EXPECT_FALSE(scannerShown());
  }
  EXPECT_EQ(results, (std::vector<std::optional<std::string>>{text, std::nullopt}));
}

}  // namespace
}  // namespace veltrix::ui::scan
