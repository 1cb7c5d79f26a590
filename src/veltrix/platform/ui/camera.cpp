#include "veltrix/platform/ui/camera.h"

#include <algorithm>

#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/ui/qr.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/utf8.h"

namespace veltrix::ui {
namespace {

std::shared_ptr<CaptureDevice>& defaultDevice() {
  static auto& device = *new std::shared_ptr<CaptureDevice>;
  return device;
}

bool inside(const Rect& outer, const Rect& inner) {
  const double eps = 1e-9;
  return inner.minX() >= outer.minX() - eps && inner.minY() >= outer.minY() - eps &&
         inner.maxX() <= outer.maxX() + eps && inner.maxY() <= outer.maxY() + eps;
}

}  // namespace

std::shared_ptr<CaptureDevice> CaptureDevice::defaultVideoDevice() { return defaultDevice(); }

void CaptureDevice::setDefaultVideoDevice(std::shared_ptr<CaptureDevice> device) {
  defaultDevice() = std::move(device);
}

void CaptureDevice::deliver(const std::vector<MetadataObject>& objects) {
  std::erase_if(sessions_, [](const auto& s) { return s.expired(); });
  for (auto& weak : sessions_) {
    auto session = weak.lock();
    if (!session || !session->running_) continue;
    for (auto& output : session->outputs_) {
      std::vector<MetadataObject> seen;
      for (const auto& o : objects) {
        const bool wanted =
            std::find(output->types_.begin(), output->types_.end(), o.type) != output->types_.end();
        if (wanted && inside(output->rectOfInterest, o.bounds)) seen.push_back(o);
      }
      if (seen.empty()) continue;
      std::weak_ptr<CaptureSession> weakSession = session;
      std::weak_ptr<MetadataOutput> weakOutput = output;
      platform::postToMain([weakSession, weakOutput, seen] {
        auto s = weakSession.lock();
        auto out = weakOutput.lock();
        // A session stopped meanwhile reports nothing more.
        if (!s || !out || !s->isRunning()) return;
        if (auto delegate = out->delegate_.lock()) delegate->didOutputMetadataObjects(*out, seen);
      });
    }
  }
}

std::shared_ptr<CaptureDeviceInput> CaptureDeviceInput::create(
    std::shared_ptr<CaptureDevice> device) {
  if (!device || !device->accessGranted) return nullptr;
  return std::shared_ptr<CaptureDeviceInput>(new CaptureDeviceInput(std::move(device)));
}

bool CaptureSession::canAddInput(const std::shared_ptr<CaptureDeviceInput>& input) const {
  return input && std::find(inputs_.begin(), inputs_.end(), input) == inputs_.end();
}

void CaptureSession::addInput(std::shared_ptr<CaptureDeviceInput> input) {
  if (canAddInput(input)) inputs_.push_back(std::move(input));
}

bool CaptureSession::canAddOutput(const std::shared_ptr<MetadataOutput>& output) const {
  return output && std::find(outputs_.begin(), outputs_.end(), output) == outputs_.end();
}

void CaptureSession::addOutput(std::shared_ptr<MetadataOutput> output) {
  if (canAddOutput(output)) outputs_.push_back(std::move(output));
}

void CaptureSession::startRunning() {
  VELTRIX_UI_CHECK_MAIN();
  if (running_) return;
  running_ = true;
  for (auto& input : inputs_) {
    auto& list = input->device()->sessions_;
    list.push_back(weak_from_this());
  }
}

void CaptureSession::stopRunning() {
  VELTRIX_UI_CHECK_MAIN();
  running_ = false;
}

Rect VideoPreviewLayer::metadataOutputRectOfInterestForRect(const Rect& layerRect) const {
  Size picture{1, 1};
  if (session_ && !session_->inputs().empty())
    picture = session_->inputs().front()->device()->pictureSize;
  const double lw = bounds.width();
  const double lh = bounds.height();
  if (lw <= 0 || lh <= 0 || picture.width <= 0 || picture.height <= 0) return {0, 0, 1, 1};
  double sx = lw / picture.width;
  double sy = lh / picture.height;
  switch (videoGravity) {
    case VideoGravity::ResizeAspect:
      sx = sy = std::min(sx, sy);
      break;
    case VideoGravity::ResizeAspectFill:
      sx = sy = std::max(sx, sy);
      break;
    case VideoGravity::Resize:
      break;
  }
  const double shownW = picture.width * sx;
  const double shownH = picture.height * sy;
  const double ox = (lw - shownW) / 2;
  const double oy = (lh - shownH) / 2;
  return {(layerRect.x() - ox) / shownW, (layerRect.y() - oy) / shownH, layerRect.width() / shownW,
          layerRect.height() / shownH};
}

void FakeCamera::showPicture(std::shared_ptr<const Bitmap> shown) {
  if (!shown || shown->width <= 0 || shown->height <= 0) return;
  picture_ = std::move(shown);
  const Bitmap& picture = *picture_;
  std::vector<MetadataObject> objects;
  for (const DecodedQr& code : decodeQr(picture)) {
    MetadataObject o;
    // The platform gives no string for a code whose content is not text.
    if (platform::isValidUtf8(code.text)) o.stringValue = code.text;
    o.bounds = Rect{code.bounds.x() / picture.width, code.bounds.y() / picture.height,
                    code.bounds.width() / picture.width, code.bounds.height() / picture.height};
    objects.push_back(std::move(o));
  }
  deliver(objects);
}

bool ImageFileCamera::captureFrame() {
  std::shared_ptr<Bitmap> picture = loadBitmap(path_);
  if (!picture) return false;
  pictureSize = Size{static_cast<double>(picture->width), static_cast<double>(picture->height)};
  showPicture(std::shared_ptr<const Bitmap>(std::move(picture)));
  return true;
}

}  // namespace veltrix::ui
