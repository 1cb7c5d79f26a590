// The add-device sheet's choices and texts, and the service icon view.
#include "veltrix/ui/scan/scan_option_view.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/ui_test_env.h"
#include "veltrix/platform/log.h"
#include "veltrix/ui/scan/service_moving_view.h"

namespace veltrix::ui::scan {
namespace {

class ScanOptionViewTest : public testing::UiTest {
 protected:
  // The sheet as the chooser places it, 250 x 180 on the screen.
  std::shared_ptr<ScanOptionView> place(std::vector<std::string> options) {
    auto screen = std::make_shared<ViewController>();
    show(screen);
    auto sheet = std::make_shared<ScanOptionView>(std::move(options));
    sheet->setFrame(Rect{70, 300, 250, 180});
    screen->view().addSubview(sheet);
    driver().settle();
    return sheet;
  }
};

TEST_F(ScanOptionViewTest, EachChoiceReportsItsIndexOnceAndLogsIt) {
  auto sheet = place({"Scan", "Device Code"});
  std::vector<std::int64_t> chosen;
  sheet->setSelectionBlock([&](std::int64_t i) { chosen.push_back(i); });
  platform::ScopedLogCapture log;
  ASSERT_TRUE(driver().tap(*sheet->scanButton()));
  ASSERT_TRUE(driver().tap(*sheet->deviceCodeButton()));
  EXPECT_EQ(chosen, (std::vector<std::int64_t>{0, 1}));
  EXPECT_EQ(log.count("scanTapped : 0"), 1u);
  EXPECT_EQ(log.count("scanTapped : 1"), 1u);
  // The sheet stays as it is: closing is its owner's work.
  EXPECT_TRUE(sheet->isVisibleInTree());
}

TEST_F(ScanOptionViewTest, WithoutBlockATapIsOnlyLogged) {
  auto sheet = place({"Scan", "Device Code"});
  platform::ScopedLogCapture log;
  ASSERT_TRUE(driver().tap(*sheet->deviceCodeButton()));
  EXPECT_EQ(log.count("scanTapped : 1"), 1u);
}

TEST_F(ScanOptionViewTest, TextsAndImagesAreFixedWhateverTheOptions) {
  auto sheet = place({"Other", "Words", "Three"});
  EXPECT_TRUE(driver().isTextVisible("Add device"));
  EXPECT_EQ(sheet->scanButton()->currentTitle(), "        Scan");
  EXPECT_EQ(sheet->deviceCodeButton()->currentTitle(), "        Device Code");
  EXPECT_FALSE(driver().isTextVisible("Other"));
  ASSERT_TRUE(sheet->scanButton()->currentImage());
  EXPECT_EQ(sheet->scanButton()->currentImage()->name(), "icon_scan");
  ASSERT_TRUE(sheet->deviceCodeButton()->currentImage());
  EXPECT_EQ(sheet->deviceCodeButton()->currentImage()->name(), "icon_qrcode");
  // The title is pulled back over the image by the image's width.
  EXPECT_EQ(sheet->scanButton()->titleEdgeInsets.left,
            -sheet->scanButton()->currentImage()->size().width);
}

TEST_F(ScanOptionViewTest, ServiceIconViewShowsModelAndShortSerial) {
  ServiceInfoDict info;
  info.model = "T310";
  info.sn = "TAVIO5678";
  info.serviceName = "Refund";
  ServiceMovingView view(info);
  EXPECT_EQ(view.getServiceInfo().toDictionary(), info.toDictionary());
  std::vector<std::string> texts;
  for (auto* label : view.findAll<Label>()) texts.push_back(label->text());
  EXPECT_EQ(texts, (std::vector<std::string>{"T310", "*5678"}));
  auto* icon = view.findDescendant<ImageView>();
  ASSERT_TRUE(icon && icon->image());
  EXPECT_EQ(icon->image()->name(), "icon_t310_enabled");
  EXPECT_EQ(iconViewSerial("12"), "*12");
  // Characters, not bytes: the text stays UTF-8.
  EXPECT_EQ(iconViewSerial("AB€€"), "*AB€€");
  EXPECT_EQ(iconViewSerial("TERM-ÄÖÜß"), "*ÄÖÜß");
}

}  // namespace
}  // namespace veltrix::ui::scan
