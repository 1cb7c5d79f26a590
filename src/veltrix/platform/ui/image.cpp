#include "veltrix/platform/ui/image.h"

#include <cairo.h>

#include <array>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <system_error>

#include "veltrix/platform/paths.h"
#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/runtime.h"

namespace veltrix::ui {
namespace {

struct HostDir {
  std::mutex mutex;
  std::filesystem::path dir;
};

HostDir& hostDir() {
  static auto& h = *new HostDir;
  return h;
}

std::uint32_t be32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

std::optional<Size> pngSize(std::ifstream& in) {
  std::array<unsigned char, 24> head{};
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(head.data()), head.size())) return std::nullopt;
  static constexpr unsigned char kSig[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (!std::equal(std::begin(kSig), std::end(kSig), head.begin())) return std::nullopt;
  if (std::string_view(reinterpret_cast<const char*>(head.data()) + 12, 4) != "IHDR") {
    return std::nullopt;
  }
  return Size{static_cast<double>(be32(&head[16])), static_cast<double>(be32(&head[20]))};
}

std::optional<Size> jpegSize(std::ifstream& in) {
  in.seekg(0);
  unsigned char soi[2];
  if (!in.read(reinterpret_cast<char*>(soi), 2) || soi[0] != 0xFF || soi[1] != 0xD8) {
    return std::nullopt;
  }
  // Walk the marker segments up to the first start-of-frame; bounded by the
  // file's length since every step moves forward.
  for (int guard = 0; guard < 100000; ++guard) {
    unsigned char m[2];
    if (!in.read(reinterpret_cast<char*>(m), 2) || m[0] != 0xFF) return std::nullopt;
    const unsigned char marker = m[1];
    if (marker == 0xFF) {
      in.seekg(-1, std::ios::cur);  // fill byte
      continue;
    }
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    unsigned char len[2];
    if (!in.read(reinterpret_cast<char*>(len), 2)) return std::nullopt;
    const int length = (len[0] << 8) | len[1];
    if (length < 2) return std::nullopt;
    const bool sof =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (sof) {
      unsigned char f[5];
      if (!in.read(reinterpret_cast<char*>(f), 5)) return std::nullopt;
      return Size{static_cast<double>((f[3] << 8) | f[4]), static_cast<double>((f[1] << 8) | f[2])};
    }
    in.seekg(length - 2, std::ios::cur);
  }
  return std::nullopt;
}

bool isSafeName(std::string_view name) {
  if (name.empty() || name.front() == '.') return false;
  for (char c : name) {
    if (c == '/' || c == '\\' || c == '\0') return false;
  }
  return true;
}

// The platform's named lookup in `dir`: the variant for the screen scale,
// then the plain file.
ImagePtr namedIn(const std::filesystem::path& dir, std::string_view name) {
  if (dir.empty()) return nullptr;
  const std::string base(name);
  const int scale = static_cast<int>(mainScreen().scale);
  for (int s = scale; s >= 2; --s) {
    if (auto image = Image::fromFile(dir / (base + "@" + std::to_string(s) + "x.png"), base, s)) {
      return image;
    }
  }
  return Image::fromFile(dir / (base + ".png"), base, 1);
}

const std::set<std::string, std::less<>>& knownSymbols() {
  static const auto& names = *new std::set<std::string, std::less<>>{"chevron.down",
                                                                     "chevron.right",
                                                                     "chevron.left",
                                                                     "gearshape",
                                                                     "ellipsis.circle",
                                                                     "checkmark.circle.fill",
                                                                     "circle",
                                                                     "largecircle.fill.circle",
                                                                     "arrow.clockwise",
                                                                     "checkmark",
                                                                     "xmark"};
  return names;
}

}  // namespace

ImagePtr Image::systemNamed(std::string_view name) {
  if (knownSymbols().find(name) == knownSymbols().end()) return nullptr;
  std::shared_ptr<Image> image(new Image());
  image->kind_ = Kind::Symbol;
  image->name_ = std::string(name);
  image->size_ = {20, 20};
  image->scale_ = 1;
  image->mode_ = RenderingMode::AlwaysTemplate;
  return image;
}

ImagePtr Image::fromFile(const std::filesystem::path& path, std::string name, double scale) {
  auto pixels = imagePixelSize(path);
  if (!pixels) return nullptr;
  if (scale <= 0) scale = 1;
  std::shared_ptr<Image> image(new Image());
  image->kind_ = Kind::File;
  image->name_ = std::move(name);
  image->size_ = {pixels->width / scale, pixels->height / scale};
  image->scale_ = scale;
  image->path_ = path;
  return image;
}

ImagePtr Image::fromBitmap(std::shared_ptr<const Bitmap> bitmap, double scale, std::string name) {
  if (!bitmap) return nullptr;
  if (scale <= 0) scale = 1;
  std::shared_ptr<Image> image(new Image());
  image->kind_ = Kind::Bitmap;
  image->name_ = std::move(name);
  image->size_ = {bitmap->width / scale, bitmap->height / scale};
  image->scale_ = scale;
  image->bitmap_ = std::move(bitmap);
  return image;
}

bool Image::isTemplate() const {
  if (mode_ == RenderingMode::AlwaysTemplate) return true;
  return mode_ == RenderingMode::Automatic && kind_ == Kind::Symbol;
}

ImagePtr Image::withRenderingMode(RenderingMode mode) const {
  auto copy = std::shared_ptr<Image>(new Image(*this));
  copy->mode_ = mode;
  return copy;
}

void setHostImageDirectory(std::filesystem::path dir) {
  std::lock_guard<std::mutex> lock(hostDir().mutex);
  hostDir().dir = std::move(dir);
}

std::filesystem::path hostImageDirectory() {
  std::lock_guard<std::mutex> lock(hostDir().mutex);
  return hostDir().dir;
}

ImagePtr loadImageNamed(std::string_view name) {
  VELTRIX_UI_CHECK_MAIN();
  if (!isSafeName(name)) return nullptr;
  if (auto image = namedIn(hostImageDirectory(), name)) return image;
  const std::filesystem::path resources = platform::resourceDir();
  if (resources.empty()) return nullptr;
  if (auto image = namedIn(resources / "images", name)) return image;
  const std::string base(name);
  if (auto image = Image::fromFile(resources / (base + ".png"), base)) return image;
  return Image::fromFile(resources / (base + ".jpg"), base);
}

std::optional<Size> imagePixelSize(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  if (auto size = pngSize(in)) return size;
  in.clear();
  return jpegSize(in);
}

std::shared_ptr<Bitmap> loadBitmap(const std::filesystem::path& path) {
  constexpr int kMaxSide = 8192;
  const std::optional<Size> size = imagePixelSize(path);
  // Checked from the header first: cairo would allocate whatever it claims.
  if (!size || size->width < 1 || size->height < 1 || size->width > kMaxSide ||
      size->height > kMaxSide) {
    return nullptr;
  }
  cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
  std::shared_ptr<Bitmap> out;
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    cairo_surface_t* argb = surface;
    if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
      const int w = cairo_image_surface_get_width(surface);
      const int h = cairo_image_surface_get_height(surface);
      argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
      cairo_t* cr = cairo_create(argb);
      cairo_set_source_surface(cr, surface, 0, 0);
      cairo_paint(cr);
      cairo_destroy(cr);
    }
    cairo_surface_flush(argb);
    const int w = cairo_image_surface_get_width(argb);
    const int h = cairo_image_surface_get_height(argb);
    const int stride = cairo_image_surface_get_stride(argb);
    const unsigned char* data = cairo_image_surface_get_data(argb);
    if (data && w > 0 && h > 0) {
      out = std::make_shared<Bitmap>(w, h);
      for (int y = 0; y < h; ++y) {
        std::memcpy(&out->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w)],
                    data + static_cast<std::ptrdiff_t>(y) * stride,
                    static_cast<std::size_t>(w) * sizeof(std::uint32_t));
      }
    }
    if (argb != surface) cairo_surface_destroy(argb);
  }
  cairo_surface_destroy(surface);
  return out;
}

}  // namespace veltrix::ui
