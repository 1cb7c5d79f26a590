// Images of the UI layer: pictures loaded by name from the host's and the
// library's resources, the platform's symbol images, and bitmaps made in
// memory (QR codes).
//
// An Image records where its pixels come from and its size in points; the
// renderer reads the pixels. Images are immutable and shared.
//
// Thread: the main loop.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/geometry.h"

namespace veltrix::ui {

// Pixels in memory: 32-bit premultiplied ARGB in native byte order, row by
// row (the layout Cairo uses).
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  Bitmap() = default;
  Bitmap(int w, int h, std::uint32_t fill = 0)
      : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  void set(int x, int y, std::uint32_t v) { pixels[static_cast<std::size_t>(y) * width + x] = v; }
};

enum class RenderingMode : std::int64_t { Automatic, AlwaysOriginal, AlwaysTemplate };

class Image;
using ImagePtr = std::shared_ptr<const Image>;

class Image {
 public:
  enum class Kind : std::int64_t { File, Symbol, Bitmap };

  // The symbol image of that name ("chevron.down", "gearshape", ...), drawn
  // by the renderer; nullptr for a name the layer does not know. Symbols are
  // template images of 20 x 20 points.
  static ImagePtr systemNamed(std::string_view name);
  // An image of the file at `path` (PNG or JPEG) at `scale` pixels per point;
  // nullptr when the file is missing or not a PNG or JPEG.
  static ImagePtr fromFile(const std::filesystem::path& path, std::string name, double scale = 1);
  // An image over pixels made in memory.
  static ImagePtr fromBitmap(std::shared_ptr<const Bitmap> bitmap, double scale,
                             std::string name = {});

  Kind kind() const { return kind_; }
  // The name it was loaded by (file stem or symbol name); tests read it.
  const std::string& name() const { return name_; }
  Size size() const { return size_; }
  double scale() const { return scale_; }
  const std::optional<std::filesystem::path>& path() const { return path_; }
  const std::shared_ptr<const Bitmap>& bitmap() const { return bitmap_; }
  RenderingMode renderingMode() const { return mode_; }
  // Drawn in the tint colour of its view instead of its own colours.
  bool isTemplate() const;
  ImagePtr withRenderingMode(RenderingMode mode) const;

 private:
  Image() = default;
  Kind kind_ = Kind::File;
  std::string name_;
  Size size_;
  double scale_ = 1;
  std::optional<std::filesystem::path> path_;
  std::shared_ptr<const Bitmap> bitmap_;
  RenderingMode mode_ = RenderingMode::Automatic;
};

// The directory of the host application's own images (the platform's
// named-image lookup in the host's main bundle); empty: none.
void setHostImageDirectory(std::filesystem::path dir);
std::filesystem::path hostImageDirectory();

// The library's image lookup by name, without extension. In order: the
// host's image of that name, the library's named image
// (<resources>/images/<name>.png), then the library's file of that name of
// type "png" and of type "jpg" (<resources>/<name>.png, .jpg). Named lookups
// take "<name>@<scale>x.png" for the screen scale first. nullptr when all
// fail, or for a name that is empty or holds a path separator (names formed
// from a terminal's model must not reach other folders). Reports nothing.
ImagePtr loadImageNamed(std::string_view name);

// The pixels of a PNG file; nullptr when the file is missing, not a PNG or
// larger than 8192 pixels on a side (pictures come from outside).
std::shared_ptr<Bitmap> loadBitmap(const std::filesystem::path& path);

// Pixel size of a PNG or JPEG file from its header; nullopt when the file is
// neither.
std::optional<Size> imagePixelSize(const std::filesystem::path& path);

}  // namespace veltrix::ui
