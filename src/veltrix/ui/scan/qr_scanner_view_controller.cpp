#include "veltrix/ui/scan/qr_scanner_view_controller.h"

#include <algorithm>
#include <utility>

#include "veltrix/facade/facade_detail.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/window.h"

namespace veltrix::ui::scan {
namespace {

constexpr double kScanFrameShare = 0.7;
constexpr double kScanFrameBorder = 2.0;
constexpr double kHintGap = 20;
constexpr double kHintHeight = 30;
constexpr double kCancelInset = 20;
constexpr double kCancelFromBottom = 60;
constexpr double kCancelHeight = 44;

constexpr const char* kNoCameraLog = "无法获取摄像头";
constexpr const char* kHintText = "将二维码放入框内，即可自动扫描";
constexpr const char* kCancelTitle = "取消";

Insets safeInsets() {
  const Window* key = Window::keyWindow();
  return key ? key->safeAreaInsets() : Insets{};
}

}  // namespace

Rect qrScanFrame(Size size, const Insets& safe) {
  // 0.7 of the shorter side at most; on a screen turned sideways the hint
  // under the frame would otherwise lie over the cancel button.
  constexpr double kHintToCancel = 4;
  const double room =
      size.height - 2 * (kHintGap + kHintHeight + kHintToCancel + kCancelFromBottom + safe.bottom);
  const double side =
      std::max(0.0, std::min(kScanFrameShare * std::min(size.width, size.height), room));
  return {(size.width - side) / 2, (size.height - side) / 2, side, side};
}

std::shared_ptr<QRScannerViewController> QRScannerViewController::initWithCompletion(
    Completion completion) {
  return std::make_shared<QRScannerViewController>(std::move(completion));
}

QRScannerViewController::QRScannerViewController(Completion completion)
    : completionHandler(std::move(completion)) {}

void QRScannerViewController::viewDidLoad() {
  setupCamera();
  setupUI();
}

void QRScannerViewController::setupCamera() {
  captureSession_ = std::make_shared<CaptureSession>();
  std::shared_ptr<CaptureDeviceInput> input =
      CaptureDeviceInput::create(CaptureDevice::defaultVideoDevice());
  if (!input) {
    platform::logLine(kNoCameraLog);
    return;
  }
  captureSession_->addInput(std::move(input));

  output_ = std::make_shared<MetadataOutput>();
  captureSession_->addOutput(output_);
  output_->setMetadataObjectsDelegate(std::static_pointer_cast<MetadataOutputDelegate>(
      std::static_pointer_cast<QRScannerViewController>(shared_from_this())));
  output_->setMetadataObjectTypes({std::string(kMetadataObjectTypeQRCode)});

  View& root = view();
  previewLayer_ = std::make_shared<VideoPreviewLayer>(captureSession_);
  previewLayer_->videoGravity = VideoGravity::ResizeAspectFill;
  previewLayer_->setFrame(root.bounds());
  root.insertSublayerAtBottom(previewLayer_);

  output_->rectOfInterest = previewLayer_->metadataOutputRectOfInterestForRect(
      qrScanFrame(root.bounds().size, safeInsets()));
  captureSession_->startRunning();
}

void QRScannerViewController::setupUI() {
  View& root = view();
  root.setBackgroundColor(Color::black());
  const Size size = root.bounds().size;
  // The view fills the screen; the cancel button keeps inside the safe area.
  const Insets safe = safeInsets();
  const Rect frame = qrScanFrame(size, safe);

  scanRectView_ = std::make_shared<View>(frame);
  scanRectView_->borderColor = Color::green();
  scanRectView_->borderWidth = kScanFrameBorder;
  root.addSubview(scanRectView_);

  hintLabel_ = std::make_shared<Label>(Rect{0, frame.maxY() + kHintGap, size.width, kHintHeight});
  hintLabel_->setText(kHintText);
  hintLabel_->textColor = Color::white();
  hintLabel_->textAlignment = TextAlignment::Center;
  root.addSubview(hintLabel_);

  cancelButton_ = std::make_shared<Button>(
      ButtonType::System,
      Rect{safe.left + kCancelInset, size.height - safe.bottom - kCancelFromBottom,
           size.width - safe.left - safe.right - 2 * kCancelInset, kCancelHeight});
  cancelButton_->setTitle(kCancelTitle, ControlState::Normal);
  cancelButton_->setTitleColor(Color::white(), ControlState::Normal);
  std::weak_ptr<ViewController> weak = weak_from_this();
  cancelButton_->addTarget(ControlEvent::TouchUpInside, [weak](Control&) {
    if (auto self = std::static_pointer_cast<QRScannerViewController>(weak.lock())) {
      self->cancelScanning();
    }
  });
  root.addSubview(cancelButton_);
}

void QRScannerViewController::viewWillAppear(bool /*animated*/) {
  // A code already taken ends the session for good.
  if (!done_ && captureSession_ && !captureSession_->isRunning()) captureSession_->startRunning();
}

void QRScannerViewController::viewWillDisappear(bool /*animated*/) {
  if (captureSession_ && captureSession_->isRunning()) captureSession_->stopRunning();
}

void QRScannerViewController::didOutputMetadataObjects(MetadataOutput& /*output*/,
                                                       const std::vector<MetadataObject>& objects) {
  if (objects.empty() || done_) return;
  done_ = true;
  if (captureSession_) captureSession_->stopRunning();
  // The host's block may throw: the screen goes all the same.
  if (completionHandler) {
    facade::detail::callHost("QR scanner completion",
                             [&] { completionHandler(objects.front().stringValue); });
  }
  dismiss(true);
}

void QRScannerViewController::cancelScanning() {
  done_ = true;
  dismiss(true);
}

}  // namespace veltrix::ui::scan
