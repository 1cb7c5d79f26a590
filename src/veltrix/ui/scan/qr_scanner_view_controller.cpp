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
  root.insertSublayerAtBottom(previewLayer_);
  placeViews();
  captureSession_->startRunning();
}

void QRScannerViewController::setupUI() {
  View& root = view();
  root.setBackgroundColor(Color::black());
  scanRectView_ = std::make_shared<View>();
  scanRectView_->borderColor = Color::green();
  scanRectView_->borderWidth = kScanFrameBorder;
  root.addSubview(scanRectView_);

  hintLabel_ = std::make_shared<Label>();
  hintLabel_->setText(kHintText);
  hintLabel_->textColor = Color::white();
  hintLabel_->textAlignment = TextAlignment::Center;
  root.addSubview(hintLabel_);

  cancelButton_ = std::make_shared<Button>(ButtonType::System);
  cancelButton_->setTitle(kCancelTitle, ControlState::Normal);
  cancelButton_->setTitleColor(Color::white(), ControlState::Normal);
  std::weak_ptr<ViewController> weak = weak_from_this();
  cancelButton_->addTarget(ControlEvent::TouchUpInside, [weak](Control&) {
    if (auto self = std::static_pointer_cast<QRScannerViewController>(weak.lock())) {
      self->cancelScanning();
    }
  });
  root.addSubview(cancelButton_);
  placeViews();
}

void QRScannerViewController::viewDidLayoutSubviews() { placeViews(); }

void QRScannerViewController::placeViews() {
  // From the view's size as it is now, not only at set-up: a turn, or a
  // sheet shorter than the screen, moves them too. The cancel button keeps
  // inside the safe area.
  const Size size = view().bounds().size;
  const Insets safe = safeInsets();
  const Rect frame = qrScanFrame(size, safe);
  if (previewLayer_) {
    previewLayer_->setFrame(Rect{Point{0, 0}, size});
    output_->rectOfInterest = previewLayer_->metadataOutputRectOfInterestForRect(frame);
  }
  if (!scanRectView_ || !hintLabel_ || !cancelButton_) return;
  scanRectView_->setFrame(frame);
  hintLabel_->setFrame(Rect{0, frame.maxY() + kHintGap, size.width, kHintHeight});
  cancelButton_->setFrame(
      Rect{safe.left + kCancelInset, size.height - safe.bottom - kCancelFromBottom,
           size.width - safe.left - safe.right - 2 * kCancelInset, kCancelHeight});
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
