// QR code images and the QR code card: the image decodes to exactly the
// text, has exactly the size asked for, and a text too long for one code
// leaves the card without an image.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/qr.h"
#include "veltrix/registry/handshake_bean.h"
#include "veltrix/ui/scan/qr_code_generator.h"
#include "veltrix/ui/scan/qr_code_view.h"

namespace veltrix::ui::scan {
namespace {

// A handshake record like the one the dialog shows.
std::string handshakeText() {
  registry::OwnDeviceInfo info;
  info.sn = "6F9619FF8B86D011B42D00C04FC964FF";
  info.wifiAddress = "192.168.1.20";
  info.model = "x86_64";
  auto bean = registry::HandshakeBean::initBeanWithSelfInfo(info);
  return bean.toJSONString().value_or("");
}

std::string decodeOne(const Image& image) {
  if (!image.bitmap()) return "<no pixels>";
  auto codes = decodeQr(*image.bitmap());
  return codes.size() == 1 ? codes[0].text : "<" + std::to_string(codes.size()) + " codes>";
}

class QRCodeGeneratorTest : public testing::UiTest, public ::testing::WithParamInterface<double> {};

TEST_P(QRCodeGeneratorTest, DecodesToTheTextAtExactlyTheRequestedSize) {
  const double scale = GetParam();
  const std::string text = handshakeText();
  ASSERT_FALSE(text.empty());
  for (Size size : {Size{260, 260}, Size{97, 97}, Size{300, 200}}) {
    auto image = QRCodeGenerator::generateQRCodeFromString(text, size, scale);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), size);
    ASSERT_TRUE(image->bitmap());
    EXPECT_EQ(image->bitmap()->width, static_cast<int>(size.width * scale));
    EXPECT_EQ(image->bitmap()->height, static_cast<int>(size.height * scale));
    if (size.width == size.height) {
      EXPECT_EQ(decodeOne(*image), text) << toString(size);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ScreenScales, QRCodeGeneratorTest, ::testing::Values(2.0, 3.0));

class QRCodeViewTest : public testing::UiTest {};

TEST_F(QRCodeViewTest, NoImageForTextsNoCodeHolds) {
  EXPECT_FALSE(QRCodeGenerator::generateQRCodeFromString(std::string(3000, 'x'), {260, 260}, 2));
  EXPECT_FALSE(QRCodeGenerator::generateQRCodeFromString("", {260, 260}, 2));
  EXPECT_FALSE(QRCodeGenerator::generateQRCodeFromString("abc", {0, 260}, 2));
}

TEST_F(QRCodeViewTest, GeneratorPlacesACodeOnABackground) {
  auto background =
      Image::fromBitmap(std::make_shared<Bitmap>(400, 300, 0xFFFFFFFFu), 2, "background");
  auto code = QRCodeGenerator::generateQRCodeFromString("pair me", {100, 100}, 2);
  ASSERT_TRUE(code);
  auto composed = QRCodeGenerator::addQRCode(*code, *background, {30, 20}, 2);
  ASSERT_TRUE(composed);
  EXPECT_EQ(composed->size(), (Size{200, 150}));
  ASSERT_TRUE(composed->bitmap());
  auto found = decodeQr(*composed->bitmap());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].text, "pair me");
  // The code's top left finder pattern starts at the position.
  EXPECT_EQ(composed->bitmap()->at(60, 40) & 0xFFFFFFu, 0u);
  EXPECT_EQ(composed->bitmap()->at(59, 39), 0xFFFFFFFFu);

  auto empty = Image::fromBitmap(std::make_shared<Bitmap>(0, 0), 2);
  EXPECT_FALSE(QRCodeGenerator::addQRCode(*code, *empty, {0, 0}, 2));
}

TEST_F(QRCodeViewTest, CardShowsTheCodeAndTwoLines) {
  makeWindow(DeviceProfile::phone());
  const std::string text = handshakeText();
  QRCodeView card(text);
  EXPECT_EQ(card.qrCodeString(), text);
  EXPECT_EQ(card.imageView()->frame(), (Rect{20, 20, 280, 280}));
  ASSERT_TRUE(card.imageView()->image());
  EXPECT_EQ(card.imageView()->image()->size(), (Size{260, 260}));
  EXPECT_EQ(card.imageView()->image()->scale(), 3);
  EXPECT_EQ(decodeOne(*card.imageView()->image()), text);
  std::vector<std::string> lines;
  for (auto* label : card.findAll<Label>()) lines.push_back(label->text());
  EXPECT_EQ(lines, (std::vector<std::string>{"Please scan this code with the Tavio",
                                             "Tavio app to pair."}));
  // Both lines are whole, inside the card's 20-point margins, and in one
  // size: a face wider than the platform's steps both down together.
  auto labels = card.findAll<Label>();
  for (auto* label : labels) {
    EXPECT_LE(label->sizeThatFits({}).width, label->bounds().width()) << label->text();
    EXPECT_GE(label->frame().minX(), 20);
    EXPECT_LE(label->frame().maxX(), 320 - 20);
    EXPECT_EQ(label->font().weight, FontWeight::Bold);
    EXPECT_GE(label->font().size, 13);
  }
  EXPECT_EQ(labels[0]->font(), labels[1]->font());
  EXPECT_LT(labels[0]->font().size, 17) << "the first line is wider than 280 points at 17";
}

TEST_F(QRCodeViewTest, OverlongTextLeavesTheImageEmpty) {
  QRCodeView card(std::string(5000, '7'));
  EXPECT_FALSE(card.imageView()->image());
  EXPECT_EQ(card.findAll<Label>().size(), 2u);
}

}  // namespace
}  // namespace veltrix::ui::scan
