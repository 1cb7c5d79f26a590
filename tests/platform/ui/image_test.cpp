#include "veltrix/platform/ui/image.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/ui_test_env.h"
#include "veltrix/platform/paths.h"

namespace veltrix::ui {
namespace {

using testing::TempDir;
using testing::UiTest;

// Just the headers: the lookup reads sizes, the renderer the pixels.
void writePng(const std::filesystem::path& path, std::uint32_t w, std::uint32_t h) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  const unsigned char sig[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                               0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  out.write(reinterpret_cast<const char*>(sig), sizeof sig);
  for (std::uint32_t v : {w, h}) {
    const unsigned char be[] = {static_cast<unsigned char>(v >> 24),
                                static_cast<unsigned char>(v >> 16),
                                static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
    out.write(reinterpret_cast<const char*>(be), 4);
  }
}

void writeJpeg(const std::filesystem::path& path, int w, int h) {
  std::ofstream out(path, std::ios::binary);
  const unsigned char data[] = {0xFF,
                                0xD8,  // start
                                0xFF,
                                0xE0,
                                0x00,
                                0x04,
                                0x00,
                                0x00,  // APP0, skipped
                                0xFF,
                                0xC0,
                                0x00,
                                0x11,
                                0x08,  // SOF0
                                static_cast<unsigned char>(h >> 8),
                                static_cast<unsigned char>(h),
                                static_cast<unsigned char>(w >> 8),
                                static_cast<unsigned char>(w)};
  out.write(reinterpret_cast<const char*>(data), sizeof data);
}

class ImageTest : public UiTest {
 protected:
  ImageTest() : previousResources_(platform::resourceDir()) {
    platform::setResourceDir(library_.path());
    setHostImageDirectory(host_.path());
  }
  ~ImageTest() override {
    platform::setResourceDir(previousResources_);
    setHostImageDirectory({});
  }
  TempDir host_;
  TempDir library_;
  std::filesystem::path previousResources_;
};

TEST_F(ImageTest, LookupTakesHostThenLibraryAssetThenPngThenJpg) {
  writePng(library_.path() / "icon.jpg.png", 1, 1);  // a decoy name
  writeJpeg(library_.path() / "icon.jpg", 30, 20);
  ASSERT_NE(loadImageNamed("icon"), nullptr);
  EXPECT_EQ(loadImageNamed("icon")->size(), (Size{30, 20})) << "a JPEG file last";

  writePng(library_.path() / "icon.png", 40, 40);
  EXPECT_EQ(loadImageNamed("icon")->size(), (Size{40, 40})) << "PNG before JPEG";

  writePng(library_.path() / "images" / "icon.png", 50, 50);
  EXPECT_EQ(loadImageNamed("icon")->size(), (Size{50, 50})) << "the named asset first";

  writePng(host_.path() / "icon.png", 60, 60);
  auto host = loadImageNamed("icon");
  EXPECT_EQ(host->size(), (Size{60, 60})) << "the host's own image wins";
  EXPECT_EQ(host->name(), "icon");
  EXPECT_EQ(host->path(), host_.path() / "icon.png");
}

TEST_F(ImageTest, NamedLookupsPreferTheScreenScaleVariant) {
  makeWindow(DeviceProfile::phone());  // scale 3
  writePng(library_.path() / "images" / "ic_back.png", 24, 24);
  writePng(library_.path() / "images" / "ic_back@2x.png", 48, 48);
  auto image = loadImageNamed("ic_back");
  EXPECT_EQ(image->scale(), 2);
  EXPECT_EQ(image->size(), (Size{24, 24}));
  writePng(library_.path() / "images" / "ic_back@3x.png", 72, 72);
  EXPECT_EQ(loadImageNamed("ic_back")->scale(), 3);
}

TEST_F(ImageTest, MissingOrUnsafeNamesFindNothing) {
  writePng(library_.path() / "x.png", 1, 1);
  writePng(host_.path() / "secret.png", 1, 1);
  EXPECT_EQ(loadImageNamed("icon_t999_enabled"), nullptr);
  EXPECT_EQ(loadImageNamed(""), nullptr);
  // Names come from a terminal's model: they must not reach other folders.
  EXPECT_EQ(loadImageNamed("../" + library_.path().filename().string() + "/x"), nullptr);
  EXPECT_EQ(loadImageNamed("images/../x"), nullptr);
  std::ofstream(library_.path() / "junk.png") << "not a picture";
  EXPECT_EQ(loadImageNamed("junk"), nullptr);
}

TEST_F(ImageTest, SymbolsAreTemplateImagesByName) {
  auto gear = Image::systemNamed("gearshape");
  ASSERT_NE(gear, nullptr);
  EXPECT_EQ(gear->name(), "gearshape");
  EXPECT_TRUE(gear->isTemplate());
  EXPECT_EQ(gear->size(), (Size{20, 20}));
  EXPECT_EQ(Image::systemNamed("no.such.symbol"), nullptr);
  auto bitmap = std::make_shared<Bitmap>(520, 520);
  auto image = Image::fromBitmap(bitmap, 2);
  EXPECT_EQ(image->size(), (Size{260, 260}));
  EXPECT_FALSE(image->isTemplate());
  EXPECT_TRUE(image->withRenderingMode(RenderingMode::AlwaysTemplate)->isTemplate());
}

}  // namespace
}  // namespace veltrix::ui
