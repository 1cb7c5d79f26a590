// Camera capture: our stand-in for the platform's capture session, device
// input, metadata output and video preview layer.
//
// There is no camera on the hosts we run on: the default video device is
// absent unless one is installed (setDefaultVideoDevice). Two such devices
// stand in for it:
//   - FakeCamera, the frame source of tests and the gallery: what it "sees"
//     (codes, or a picture whose QR codes are detected) is reported to every
//     running session that uses it, and a picture is what previews show;
//   - ImageFileCamera, a FakeCamera that sees the picture of a PNG file each
//     time it captures a frame (the QR codes in it are found with zbar).
//
// Coordinates of metadata objects and of the rectangle of interest are
// normalised (0..1) in the camera picture as shown upright, origin top left
// (the platform uses the sensor's landscape space; nothing here depends on
// that difference since both go through the preview layer's conversion).
//
// Thread: the main loop only; delegates are called on the main loop.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/layer.h"

namespace veltrix::ui {

inline constexpr std::string_view kMetadataObjectTypeQRCode = "org.iso.QRCode";

struct MetadataObject {
  std::string type{kMetadataObjectTypeQRCode};
  // The code's text; absent when its content is not text (UTF-8).
  std::optional<std::string> stringValue;
  Rect bounds;  // normalised in the picture
};

class CaptureSession;

class CaptureDevice : public std::enable_shared_from_this<CaptureDevice> {
 public:
  virtual ~CaptureDevice() = default;

  // The installed default camera, or nullptr (no camera).
  static std::shared_ptr<CaptureDevice> defaultVideoDevice();
  static void setDefaultVideoDevice(std::shared_ptr<CaptureDevice> device);

  std::string name = "camera";
  // The upright picture's size in pixels.
  Size pictureSize{1080, 1920};
  // False: the user refused camera access (no input can be made).
  bool accessGranted = true;

  // The picture the camera sees now (what previews show); nullptr: none.
  virtual std::shared_ptr<const Bitmap> currentPicture() const { return nullptr; }

 protected:
  // Reports `objects` to the running sessions that use this device.
  void deliver(const std::vector<MetadataObject>& objects);

 private:
  friend class CaptureSession;
  std::vector<std::weak_ptr<CaptureSession>> sessions_;
};

class CaptureDeviceInput {
 public:
  // nullptr when there is no device or access was refused.
  static std::shared_ptr<CaptureDeviceInput> create(std::shared_ptr<CaptureDevice> device);
  const std::shared_ptr<CaptureDevice>& device() const { return device_; }

 private:
  explicit CaptureDeviceInput(std::shared_ptr<CaptureDevice> device) : device_(std::move(device)) {}
  std::shared_ptr<CaptureDevice> device_;
};

class MetadataOutput;

class MetadataOutputDelegate {
 public:
  virtual ~MetadataOutputDelegate() = default;
  virtual void didOutputMetadataObjects(MetadataOutput& output,
                                        const std::vector<MetadataObject>& objects) = 0;
};

class MetadataOutput {
 public:
  // Called on the main loop.
  void setMetadataObjectsDelegate(std::weak_ptr<MetadataOutputDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  void setMetadataObjectTypes(std::vector<std::string> types) { types_ = std::move(types); }
  const std::vector<std::string>& metadataObjectTypes() const { return types_; }
  std::vector<std::string> availableMetadataObjectTypes() const {
    return {std::string(kMetadataObjectTypeQRCode)};
  }
  // Only codes inside it are reported; the whole picture by default.
  Rect rectOfInterest{0, 0, 1, 1};

 private:
  friend class CaptureDevice;
  std::weak_ptr<MetadataOutputDelegate> delegate_;
  std::vector<std::string> types_;
};

class CaptureSession : public std::enable_shared_from_this<CaptureSession> {
 public:
  bool canAddInput(const std::shared_ptr<CaptureDeviceInput>& input) const;
  void addInput(std::shared_ptr<CaptureDeviceInput> input);
  bool canAddOutput(const std::shared_ptr<MetadataOutput>& output) const;
  void addOutput(std::shared_ptr<MetadataOutput> output);
  const std::vector<std::shared_ptr<CaptureDeviceInput>>& inputs() const { return inputs_; }
  const std::vector<std::shared_ptr<MetadataOutput>>& outputs() const { return outputs_; }

  void startRunning();
  void stopRunning();
  bool isRunning() const { return running_; }

 private:
  friend class CaptureDevice;
  std::vector<std::shared_ptr<CaptureDeviceInput>> inputs_;
  std::vector<std::shared_ptr<MetadataOutput>> outputs_;
  bool running_ = false;
};

enum class VideoGravity : std::int64_t { ResizeAspect, ResizeAspectFill, Resize };

// Shows the session's picture in its bounds.
class VideoPreviewLayer : public Layer {
 public:
  explicit VideoPreviewLayer(std::shared_ptr<CaptureSession> session)
      : session_(std::move(session)) {}
  std::string typeName() const override { return "VideoPreviewLayer"; }

  const std::shared_ptr<CaptureSession>& session() const { return session_; }
  VideoGravity videoGravity = VideoGravity::ResizeAspect;
  // `layerRect` (layer coordinates) in the metadata output's normalised
  // coordinates, through the picture as this layer shows it.
  Rect metadataOutputRectOfInterestForRect(const Rect& layerRect) const;

 private:
  std::shared_ptr<CaptureSession> session_;
};

class FakeCamera : public CaptureDevice {
 public:
  // The camera sees these codes (bounds normalised in the picture).
  void showCodes(const std::vector<MetadataObject>& codes) { deliver(codes); }
  // The camera sees `picture` (stretched to the picture size, and kept as
  // the current picture): the QR codes found in it are reported.
  void showPicture(std::shared_ptr<const Bitmap> picture);
  void showPicture(const Bitmap& picture) { showPicture(std::make_shared<Bitmap>(picture)); }

  std::shared_ptr<const Bitmap> currentPicture() const override { return picture_; }

 private:
  std::shared_ptr<const Bitmap> picture_;
};

// A camera pointed at the picture of a PNG file: each captured frame reads
// the file again (it may have changed) and reports the QR codes in it. The
// picture size becomes the file's.
class ImageFileCamera : public FakeCamera {
 public:
  explicit ImageFileCamera(std::filesystem::path path) : path_(std::move(path)) {}
  const std::filesystem::path& path() const { return path_; }
  // False, reporting nothing, when the file cannot be read as a PNG.
  bool captureFrame();

 private:
  std::filesystem::path path_;
};

}  // namespace veltrix::ui
