// The QR scanner screen: reads one QR code with the camera, hands its text
// to the completion given at creation and dismisses itself. The host
// presents it; no screen of the library opens it.
//
// The camera is the UI layer's capture stand-in (platform/ui/camera.h): the
// default video device, a metadata output for QR codes only, limited to the
// green scan frame, and a preview under the overlay. Without a camera the
// screen still shows its frame, hint and Cancel, and reads nothing.
//
// The completion runs at most once, even for codes the camera had already
// queued when the first one stopped it; Cancel never runs it. A code without
// text reaches it as an absent value. It is the host's code: what it throws
// is logged, and the screen leaves all the same.
//
// Thread: the main loop (codes arrive there too). Ownership: whoever
// presents it owns it; the capture session holds it weakly as delegate.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/ui/camera.h"
#include "veltrix/platform/ui/view_controller.h"

namespace veltrix::ui::scan {

// The scan frame of a view of `size`: a centred square whose side is 0.7 of
// the shorter side, or less where the hint under it would reach the cancel
// button (a phone on its side), the cancel button lying `safe.bottom` higher.
Rect qrScanFrame(Size size, const Insets& safe = {});

class QRScannerViewController final : public ViewController, public MetadataOutputDelegate {
 public:
  // The text of the first code read; absent when the code has none.
  using Completion = std::function<void(std::optional<std::string> text)>;

  static std::shared_ptr<QRScannerViewController> initWithCompletion(Completion completion);
  explicit QRScannerViewController(Completion completion);

  Completion completionHandler;

  // nullptr before the view loaded. Without a camera the session has no
  // input and no output, and there is no preview layer.
  const std::shared_ptr<CaptureSession>& captureSession() const { return captureSession_; }
  const std::shared_ptr<VideoPreviewLayer>& previewLayer() const { return previewLayer_; }
  const std::shared_ptr<View>& scanRectView() const { return scanRectView_; }
  const std::shared_ptr<Label>& hintLabel() const { return hintLabel_; }
  const std::shared_ptr<Button>& cancelButton() const { return cancelButton_; }

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void viewDidLayoutSubviews() override;
  // The codes seen in one frame (on the main loop).
  void didOutputMetadataObjects(MetadataOutput& output,
                                const std::vector<MetadataObject>& objects) override;
  // The cancel button's action.
  void cancelScanning();

  // Light text over the black page.
  StatusBarStyle preferredStatusBarStyle() const override { return StatusBarStyle::LightContent; }
  std::string typeName() const override { return "QRScannerViewController"; }

 private:
  void setupCamera();
  void setupUI();
  // Places the preview, the square, the hint and the cancel button for the
  // screen's size.
  void placeViews();

  std::shared_ptr<CaptureSession> captureSession_;
  std::shared_ptr<MetadataOutput> output_;
  std::shared_ptr<VideoPreviewLayer> previewLayer_;
  std::shared_ptr<View> scanRectView_;
  std::shared_ptr<Label> hintLabel_;
  std::shared_ptr<Button> cancelButton_;
  // A code was taken or the user cancelled: nothing more is handed over.
  bool done_ = false;
};

}  // namespace veltrix::ui::scan
