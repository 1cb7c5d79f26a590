// Gallery pages of navigation and presentation: bar items and the back
// button, alerts, a sheet over its dimmed presenter, and a toast.
#include <memory>
#include <string>

#include "gallery/demo.h"
#include "gallery/gallery.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/toast.h"

namespace veltrix::gallery {
namespace {

using demo::addLabel;
using ui::Color;
using ui::Font;
using ui::FontWeight;
using ui::Rect;

// A terminal screen to present things over: a header and a few cards.
std::shared_ptr<demo::Composition> terminalScreen() {
  auto screen = std::make_shared<demo::Composition>("Select Terminal", [](ui::View& root) {
    demo::Cards cards(root, demo::contentTop(true));
    const char* models[] = {"T420", "T310"};
    const char* icons[] = {"icon_t420_enabled", "icon_t310_enabled"};
    const char* serials[] = {"SN 1234 5678", "SN 8765 4321"};
    for (int i = 0; i < 2; ++i) {
      ui::View& card = cards.add(i == 0 ? "NEARBY" : "REMEMBERED", 84);
      auto icon = std::make_shared<ui::ImageView>(Rect{14, 12, 60, 60});
      icon->setImage(ui::loadImageNamed(icons[i]));
      card.addSubview(icon);
      addLabel(card, models[i], Rect{88, 14, 200, 24}, Font::system(17, FontWeight::Semibold));
      addLabel(card, serials[i], Rect{88, 40, 200, 20}, Font::system(14), Color::secondaryLabel());
      auto more = std::make_shared<ui::Button>(ui::ButtonType::Custom,
                                               Rect{card.bounds().width() - 50, 26, 32, 32});
      more->setImage(ui::Image::systemNamed("ellipsis.circle"), ui::ControlState::Normal);
      more->setTintColor(Color::systemGray());
      card.addSubview(more);
    }
    ui::View& info = cards.add("HOW TO", 70);
    auto text = addLabel(info, "Select a target device to interact.",
                         Rect{16, 0, info.bounds().width() - 32, 70}, Font::system(15),
                         Color::secondaryLabel());
    text->setNumberOfLines(0);
  });
  auto back = std::make_shared<ui::BarButtonItem>(ui::loadImageNamed("ic_back"), [] {});
  screen->navigationItem().setLeftBarButtonItem(back);
  auto gear = std::make_shared<ui::BarButtonItem>(ui::Image::systemNamed("gearshape"), [] {});
  screen->navigationItem().setRightBarButtonItem(gear);
  return screen;
}

void navigation(Stage& stage) {
  auto nav = demo::inNavigation(terminalScreen());
  stage.show(nav);
  stage.snapshot("navigation");
  auto settings = std::make_shared<demo::Composition>("Settings", [](ui::View& root) {
    demo::Cards cards(root, demo::contentTop(true));
    ui::View& card = cards.add("CONNECTION", 52);
    addLabel(card, "Connection Method", Rect{16, 0, 200, 52}, Font::system(17, FontWeight::Medium));
    addLabel(card, "LAN", Rect{card.bounds().width() - 120, 0, 70, 52}, Font::system(15),
             Color::systemGray())
        ->textAlignment = ui::TextAlignment::Right;
    auto chevron = std::make_shared<ui::ImageView>(Rect{card.bounds().width() - 36, 18, 16, 16});
    chevron->setImage(ui::Image::systemNamed("chevron.right"));
    chevron->setTintColor(Color::systemGray());
    card.addSubview(chevron);
  });
  nav->pushViewController(settings, false);
  stage.settle();
  stage.snapshot("navigation_pushed");
}

void alerts(Stage& stage) {
  auto nav = demo::inNavigation(terminalScreen());
  stage.show(nav);
  auto confirm = std::make_shared<ui::AlertController>(
      "Remove device?", "The terminal T420 (*5678) will be removed from this phone.");
  confirm->addAction({"Cancel", ui::AlertActionStyle::Cancel, {}});
  confirm->addAction({"Remove", ui::AlertActionStyle::Destructive, {}});
  nav->present(confirm, false);
  stage.settle();
  stage.snapshot("alert");
  confirm->dismiss(false);
  stage.settle();

  auto pairing = std::make_shared<ui::AlertController>(
      "Pairing code", "Enter the eight digits the terminal shows.");
  pairing->addTextField([](ui::TextField& field) { field.placeholder = "8 digits"; });
  pairing->addAction({"Pair", ui::AlertActionStyle::Default, {}});
  pairing->addAction({"Show QR Code", ui::AlertActionStyle::Default, {}});
  pairing->addAction({"Cancel", ui::AlertActionStyle::Cancel, {}});
  nav->present(pairing, false);
  stage.settle();
  stage.snapshot("alert_stacked");
}

void sheet(Stage& stage) {
  auto nav = demo::inNavigation(terminalScreen());
  stage.show(nav);
  // A form sheet on a pad is narrower than the screen its view is made at.
  const bool pad = stage.device().isPad();
  const ui::Size formSize{420, 300};
  auto add = std::make_shared<demo::Composition>("Add Device", [pad, formSize](ui::View& root) {
    root.setBackgroundColor(Color::white());
    // A phone's sheet fills the screen's width: its rows keep inside the
    // safe area (a phone on its side has its sensor housing at one side).
    const ui::Insets safe = pad ? ui::Insets{} : ui::currentDevice().safeArea();
    const double x = safe.left;
    const double w = pad ? formSize.width : root.bounds().width() - safe.left - safe.right;
    addLabel(root, "Add Device", Rect{x, 16, w, 28}, Font::system(17, FontWeight::Semibold))
        ->textAlignment = ui::TextAlignment::Center;
    const char* titles[] = {"  Scan", "  Device Code"};
    const char* images[] = {"icon_scan", "icon_qrcode"};
    for (int i = 0; i < 2; ++i) {
      auto button = std::make_shared<ui::Button>(ui::ButtonType::Custom,
                                                 Rect{x + 40, 60 + i * 60.0, 240, 50});
      button->setImage(ui::loadImageNamed(images[i]), ui::ControlState::Normal);
      button->setTitle(titles[i], ui::ControlState::Normal);
      button->setTitleColor(Color::black(), ui::ControlState::Normal);
      button->titleLabel()->setFont(Font::system(17));
      button->contentHorizontalAlignment = ui::ContentHorizontalAlignment::Left;
      root.addSubview(button);
    }
    auto line = std::make_shared<ui::ImageView>(Rect{x + 20, 115, w - 40, 1});
    line->setImage(ui::loadImageNamed("line"));
    root.addSubview(line);
  });
  add->modalPresentationStyle =
      pad ? ui::ModalPresentationStyle::FormSheet : ui::ModalPresentationStyle::PageSheet;
  add->preferredContentSize = formSize;
  nav->present(add, false);
  stage.settle();
  stage.snapshot("sheet");
}

void toast(Stage& stage) {
  auto screen = terminalScreen();
  stage.show(demo::inNavigation(screen));
  ui::showToastInView(screen->view(), "The terminal is not answering. Please try again.", 2.0);
  stage.advance(0.6);  // faded in, not yet out
  stage.snapshot("toast");
}

}  // namespace

VELTRIX_GALLERY_PAGE("navigation", navigation);
VELTRIX_GALLERY_PAGE("alert", alerts);
VELTRIX_GALLERY_PAGE("sheet", sheet);
VELTRIX_GALLERY_PAGE("toast", toast);

}  // namespace veltrix::gallery
