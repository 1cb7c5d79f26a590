#include <gtest/gtest.h>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/camera.h"
#include "veltrix/platform/ui/qr.h"

namespace veltrix::ui {
namespace {

using testing::UiTest;

TEST(QrTest, RenderedCodeDecodesToTheSameTextAtTheRequestedSize) {
  const std::string json =
      R"({"address":"192.168.1.20:8080","contentType":"discover","protocolVersion":"1.0.01","sn":"A1B2C3D4-E5F6-4711-8899-AABBCCDDEEFF","time":"1767225600000"})";
  auto code = encodeQr(json, QrCorrection::H);
  ASSERT_TRUE(code);
  auto bitmap = renderQr(*code, 780, 780);  // 260 points at scale 3
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->width, 780);
  EXPECT_EQ(bitmap->height, 780);
  auto found = decodeQr(*bitmap);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].text, json);
  EXPECT_FALSE(encodeQr(std::string(4000, 'x'), QrCorrection::H)) << "too long for one code";
  EXPECT_FALSE(encodeQr("", QrCorrection::H));
}

class CameraTest : public UiTest, public MetadataOutputDelegate {
 protected:
  ~CameraTest() override { CaptureDevice::setDefaultVideoDevice(nullptr); }
  void didOutputMetadataObjects(MetadataOutput&,
                                const std::vector<MetadataObject>& objects) override {
    std::string line;
    for (const auto& o : objects) line += o.stringValue.value_or("(nil)") + ";";
    seen_.push_back(line);
  }
  std::vector<std::string> seen_;
};

TEST_F(CameraTest, NoCameraOrNoAccessGivesNoInput) {
  EXPECT_EQ(CaptureDevice::defaultVideoDevice(), nullptr);
  EXPECT_EQ(CaptureDeviceInput::create(CaptureDevice::defaultVideoDevice()), nullptr);
  auto camera = std::make_shared<FakeCamera>();
  camera->accessGranted = false;
  EXPECT_EQ(CaptureDeviceInput::create(camera), nullptr);
}

TEST_F(CameraTest, OnlyCodesInsideTheRectOfInterestOfARunningSessionAreReported) {
  auto camera = std::make_shared<FakeCamera>();  // 1080 x 1920 upright
  CaptureDevice::setDefaultVideoDevice(camera);
  auto session = std::make_shared<CaptureSession>();
  session->addInput(CaptureDeviceInput::create(CaptureDevice::defaultVideoDevice()));
  auto output = std::make_shared<MetadataOutput>();
  session->addOutput(output);
  auto self = std::shared_ptr<MetadataOutputDelegate>(this, [](MetadataOutputDelegate*) {});
  output->setMetadataObjectsDelegate(self);
  output->setMetadataObjectTypes({std::string(kMetadataObjectTypeQRCode)});

  // A 390 x 844 preview filled with the picture (its sides cropped), and the
  // scanner's centred square of 0.7 x 390.
  VideoPreviewLayer preview(session);
  preview.videoGravity = VideoGravity::ResizeAspectFill;
  preview.setFrame(Rect{0, 0, 390, 844});
  const double side = 0.7 * 390;
  const Rect frame{(390 - side) / 2, (844 - side) / 2, side, side};
  output->rectOfInterest = preview.metadataOutputRectOfInterestForRect(frame);
  // The picture is shown 474.75 x 844: 42.375 points are cut at each side.
  EXPECT_NEAR(output->rectOfInterest.x(), (frame.x() + 42.375) / 474.75, 1e-9);
  EXPECT_NEAR(output->rectOfInterest.width(), side / 474.75, 1e-9);

  MetadataObject inside{std::string(kMetadataObjectTypeQRCode), "in", Rect{0.4, 0.45, 0.2, 0.1}};
  MetadataObject outside{std::string(kMetadataObjectTypeQRCode), "out", Rect{0.0, 0.0, 0.1, 0.05}};
  camera->showCodes({inside});
  runPending();
  EXPECT_TRUE(seen_.empty()) << "not running yet";

  session->startRunning();
  camera->showCodes({outside, inside, inside});
  runPending();
  EXPECT_EQ(seen_, (std::vector<std::string>{"in;in;"}));
  camera->showCodes({outside});
  runPending();
  EXPECT_EQ(seen_.size(), 1u);

  camera->showCodes({inside});
  session->stopRunning();  // before the main loop delivers
  runPending();
  EXPECT_EQ(seen_.size(), 1u);
}

TEST_F(CameraTest, APictureIsScannedForCodes) {
  auto camera = std::make_shared<FakeCamera>();
  auto session = std::make_shared<CaptureSession>();
  session->addInput(CaptureDeviceInput::create(camera));
  auto output = std::make_shared<MetadataOutput>();
  session->addOutput(output);
  auto self = std::shared_ptr<MetadataOutputDelegate>(this, [](MetadataOutputDelegate*) {});
  output->setMetadataObjectsDelegate(self);
  output->setMetadataObjectTypes({std::string(kMetadataObjectTypeQRCode)});
  session->startRunning();

  auto code = encodeQr("pair-me", QrCorrection::M);
  auto qr = renderQr(*code, 300, 300);
  Bitmap picture(1080, 1920, 0xFFFFFFFFu);
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 300; ++x) picture.set(390 + x, 810 + y, qr->at(x, y));
  }
  camera->showPicture(picture);
  runPending();
  EXPECT_EQ(seen_, (std::vector<std::string>{"pair-me;"}));
}

}  // namespace
}  // namespace veltrix::ui
