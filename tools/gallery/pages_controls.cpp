// Gallery pages of the UI layer's own views and controls: buttons, switches,
// activity indicators, text fields, labels, view appearance and images.
#include <algorithm>
#include <memory>

#include "gallery/demo.h"
#include "gallery/gallery.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/qr.h"
#include "veltrix/platform/ui/text_metrics.h"

namespace veltrix::gallery {
namespace {

using demo::addCaption;
using demo::addLabel;
using ui::Button;
using ui::ButtonType;
using ui::Color;
using ui::ControlState;
using ui::Font;
using ui::FontWeight;
using ui::Rect;

void separator(ui::View& card, double y) {
  auto line = std::make_shared<ui::View>(Rect{16, y, card.bounds().width() - 16, 0.5});
  line->setBackgroundColor(Color::separator());
  card.addSubview(line);
}

// The buttons' frames: a line of the system, disabled and filled buttons,
// then the scan and remember buttons, then the radio buttons; on a card too
// narrow for a line (the small phone) its last button starts the next line.
struct ButtonFrames {
  Rect system, disabled, filled, scan, remember;
  double radiosY = 0;
};

ButtonFrames buttonFrames(double width) {
  ButtonFrames f;
  f.system = Rect{8, 12, 96, 36};
  f.disabled = Rect{104, 12, 96, 36};
  double y = 62;
  if (width >= 216 + 120 + 8) {
    f.filled = Rect{width - 136, 10, 120, 40};
  } else {
    f.filled = Rect{16, 60, 120, 40};
    y += 50;
  }
  f.scan = Rect{16, y, 120, 40};
  if (width >= 140 + 210) {
    f.remember = Rect{140, y, 210, 40};
  } else {
    y += 50;
    f.remember = Rect{8, y, 210, 40};
  }
  f.radiosY = y + 54;
  return f;
}

double buttonsHeight(double width) { return buttonFrames(width).radiosY + 40; }

void buttons(ui::View& card) {
  const ButtonFrames frames = buttonFrames(card.bounds().width());
  auto system = std::make_shared<Button>(ButtonType::System, frames.system);
  system->setTitle("System", ControlState::Normal);
  system->titleLabel()->setFont(Font::system(17));
  card.addSubview(system);

  auto disabled = std::make_shared<Button>(ButtonType::System, frames.disabled);
  disabled->setTitle("Disabled", ControlState::Normal);
  disabled->titleLabel()->setFont(Font::system(17));
  disabled->setEnabled(false);
  card.addSubview(disabled);

  auto filled = std::make_shared<Button>(ButtonType::Custom, frames.filled);
  filled->setTitle("Pay 12.50", ControlState::Normal);
  filled->titleLabel()->setFont(Font::system(17, FontWeight::Semibold));
  filled->setBackgroundColor(Color::systemBlue());
  filled->cornerRadius = 10;
  card.addSubview(filled);

  auto scan = std::make_shared<Button>(ButtonType::Custom, frames.scan);
  scan->setImage(ui::loadImageNamed("icon_scan"), ControlState::Normal);
  scan->setTitle("  Scan", ControlState::Normal);
  scan->setTitleColor(Color::black(), ControlState::Normal);
  scan->titleLabel()->setFont(Font::system(17));
  scan->contentHorizontalAlignment = ui::ContentHorizontalAlignment::Left;
  card.addSubview(scan);

  auto remember = std::make_shared<Button>(ButtonType::Custom, frames.remember);
  remember->setTitle("Remember choice  ", ControlState::Normal);
  remember->setTitleColor(Color::rgb255(58, 118, 226), ControlState::Normal);
  remember->setImage(ui::Image::systemNamed("chevron.down"), ControlState::Normal);
  remember->semanticContentAttribute = ui::SemanticContentAttribute::ForceRightToLeft;
  remember->imageView()->setTintColor(Color::rgb255(58, 118, 226));
  card.addSubview(remember);

  double x = 16;
  for (bool chosen : {true, false}) {
    auto check = std::make_shared<Button>(ButtonType::Custom, Rect{x, frames.radiosY, 28, 28});
    check->setImage(ui::Image::systemNamed("checkmark.circle.fill"), ControlState::Normal);
    check->setImage(ui::Image::systemNamed("circle"), ControlState::Selected);
    check->setSelected(!chosen);
    check->setTintColor(Color::systemBlue());
    card.addSubview(check);
    addLabel(card, chosen ? "Radar View" : "List View", Rect{x + 36, frames.radiosY, 110, 28},
             Font::system(16, FontWeight::Medium));
    x += 160;
  }
}

void switches(ui::View& card) {
  struct Row {
    const char* title;
    bool on;
    bool enabled;
  };
  const Row rows[] = {{"LAN", true, true},
                      {"Bluetooth", false, true},
                      {"Show Setting icon (disabled)", true, false}};
  double y = 0;
  for (const Row& row : rows) {
    addLabel(card, row.title, Rect{16, y, card.bounds().width() - 100, 52},
             Font::system(17, FontWeight::Medium));
    auto s = std::make_shared<ui::Switch>(Rect{card.bounds().width() - 16 - 51, y + 10.5, 51, 31});
    s->setOn(row.on);
    s->setEnabled(row.enabled);
    if (row.title[0] == 'L') s->onTintColor = Color::systemBlue();
    card.addSubview(s);
    y += 52;
    if (y < 150) separator(card, y);
  }
}

void activity(ui::View& card) {
  auto medium = std::make_shared<ui::ActivityIndicator>();
  medium->setFrame(Rect{20, 16, 20, 20});
  medium->startAnimating();
  card.addSubview(medium);
  auto large = std::make_shared<ui::ActivityIndicator>(ui::ActivityIndicatorStyle::Large);
  large->setFrame(Rect{56, 8, 37, 37});
  large->color = Color::systemBlue();
  large->startAnimating();
  card.addSubview(large);
  addLabel(card, "Searching for terminals…", Rect{108, 8, card.bounds().width() - 120, 37},
           Font::system(15), Color::secondaryLabel());

  const double w = card.bounds().width() - 32;
  auto empty = std::make_shared<ui::TextField>(Rect{16, 56, w, 36});
  empty->borderStyle = ui::TextBorderStyle::RoundedRect;
  empty->placeholder = "Terminal IP address";
  card.addSubview(empty);
  auto typed = std::make_shared<ui::TextField>(Rect{16, 102, w, 36});
  typed->borderStyle = ui::TextBorderStyle::RoundedRect;
  typed->setText("192.168.1.20");
  typed->handleUserTap();  // editing: the caret shows
  card.addSubview(typed);
}

void controls(Stage& stage) {
  auto screen = std::make_shared<demo::Composition>("Controls", [](ui::View& root) {
    demo::Cards cards(root, demo::contentTop(true));
    buttons(cards.add("BUTTONS", buttonsHeight(cards.width())));
    switches(cards.add("SWITCHES", 156));
    activity(cards.add("ACTIVITY AND TEXT FIELDS", 152));
  });
  stage.show(demo::inNavigation(screen));
  stage.advance(0.3);
  stage.snapshot("controls");
}

void labels(Stage& stage) {
  auto screen = std::make_shared<demo::Composition>("Labels", [](ui::View& root) {
    demo::Cards cards(root, demo::contentTop(true));
    {
      // "Large 28" takes a line of its own under both columns where half a
      // card is too narrow for it (the small phone).
      const double half = cards.width() / 2;
      const bool ownLine =
          ui::textMetrics().measure("Large 28", Font::bold(28), 0, 1).width > half - 16;
      ui::View& card = cards.add("WEIGHTS AND SIZES", ownLine ? 190 : 150);
      const std::pair<const char*, FontWeight> weights[] = {{"Light", FontWeight::Light},
                                                            {"Regular", FontWeight::Regular},
                                                            {"Medium", FontWeight::Medium},
                                                            {"Semibold", FontWeight::Semibold},
                                                            {"Bold", FontWeight::Bold}};
      double y = 8;
      for (auto [name, weight] : weights) {
        addLabel(card, std::string(name) + " 17", Rect{16, y, 150, 26}, Font::system(17, weight));
        y += 27;
      }
      const double x = half;
      addLabel(card, "Caption 12", Rect{x, 10, x - 16, 18}, Font::system(12),
               Color::secondaryLabel());
      addLabel(card, "Body 15", Rect{x, 32, x - 16, 22}, Font::system(15), Color::systemBlue());
      addLabel(card, "Title 20", Rect{x, 58, x - 16, 28}, Font::system(20, FontWeight::Semibold),
               Color::systemRed());
      addLabel(card, "Large 28", ownLine ? Rect{16, 142, 2 * x - 32, 40} : Rect{x, 90, x - 16, 40},
               Font::bold(28));
    }
    {
      ui::View& card = cards.add("ALIGNMENT", 124);
      const std::pair<const char*, ui::TextAlignment> aligns[] = {
          {"Left", ui::TextAlignment::Left},
          {"Centre", ui::TextAlignment::Center},
          {"Right", ui::TextAlignment::Right}};
      double y = 10;
      for (auto [name, align] : aligns) {
        auto l = addLabel(card, name, Rect{16, y, card.bounds().width() - 32, 30});
        l->textAlignment = align;
        l->borderWidth = 0.5;
        l->borderColor = Color::systemGray3();
        y += 36;
      }
    }
    {
      ui::View& card = cards.add("WRAPPING AND TRUNCATION", 208);
      const double w = card.bounds().width() - 32;
      const std::string text =
          "Drag a device to the center to interact with it. Terminals that stop answering fade.";
      auto wrapped = addLabel(card, text, Rect{16, 8, w, 60});
      wrapped->setNumberOfLines(0);
      const std::pair<const char*, ui::LineBreakMode> modes[] = {
          {"Tail", ui::LineBreakMode::TruncateTail},
          {"Middle", ui::LineBreakMode::TruncateMiddle},
          {"Head", ui::LineBreakMode::TruncateHead}};
      double y = 74;
      for (auto [name, mode] : modes) {
        addLabel(card, name, Rect{16, y, 60, 22}, Font::system(13), Color::systemGray());
        auto l = addLabel(card, "Purchase service on TMIX Z3 terminal SN 00112233445566778899",
                          Rect{76, y, w - 60, 22});
        l->lineBreakMode = mode;
        y += 26;
      }
      auto two = addLabel(card, text + " " + text, Rect{16, y + 4, w, 38}, Font::system(15));
      two->setNumberOfLines(2);
    }
    {
      ui::View& card = cards.add("CHINESE", 92);
      addLabel(card, "请选择要交互的终端设备", Rect{16, 8, card.bounds().width() - 32, 26},
               Font::system(17, FontWeight::Medium));
      addLabel(card, "Tavio T420 终端 (*5678) 已连接",
               Rect{16, 36, card.bounds().width() - 32, 22});
      addLabel(card, "正在搜索附近的终端…", Rect{16, 60, card.bounds().width() - 32, 22},
               Font::system(15), Color::secondaryLabel());
    }
  });
  stage.show(demo::inNavigation(screen));
  stage.snapshot("labels");
}

std::shared_ptr<ui::View> box(const Rect& frame, const Color& color) {
  auto v = std::make_shared<ui::View>(frame);
  v->setBackgroundColor(color);
  return v;
}

void views(Stage& stage) {
  auto screen = std::make_shared<demo::Composition>("Views", [](ui::View& root) {
    demo::Cards cards(root, demo::contentTop(true));
    const Color blue = Color::systemBlue();
    {
      ui::View& card = cards.add("CORNERS AND BORDERS", 112);
      const double step = (card.bounds().width() - 32) / 5;
      const double side = std::min(56.0, step - 6);
      const char* names[] = {"radius 12", "top only", "border 3", "hairline", "circle"};
      for (int i = 0; i < 5; ++i) {
        auto v =
            box(Rect{16 + i * step + (step - side) / 2, 14 + (56 - side) / 2, side, side}, blue);
        switch (i) {
          case 0:
            v->cornerRadius = 12;
            break;
          case 1:
            v->cornerRadius = 16;
            v->maskedCorners = ui::corner::kTopLeft | ui::corner::kTopRight;
            break;
          case 2:
            v->setBackgroundColor(Color::white());
            v->cornerRadius = 12;
            v->borderWidth = 3;
            v->borderColor = blue;
            break;
          case 3:
            v->setBackgroundColor(Color::systemGray6());
            v->borderWidth = 0.5;
            v->borderColor = Color::systemGray();
            break;
          default:
            v->cornerRadius = side / 2;
            v->setBackgroundColor(Color::systemGreen());
            break;
        }
        card.addSubview(v);
        auto caption = addCaption(card, names[i], Rect{16 + i * step, 78, step, 18});
        caption->adjustsFontSizeToFitWidth = true;
        caption->minimumScaleFactor = 0.8;
      }
    }
    {
      ui::View& card = cards.add("CLIPPING", 132);
      const double half = (card.bounds().width() - 48) / 2;
      for (int i = 0; i < 2; ++i) {
        auto parent = box(Rect{16 + i * (half + 16), 14, half, 72}, Color::systemGray5());
        parent->cornerRadius = 10;
        parent->clipsToBounds = i == 0;
        auto child = box(Rect{half - 60, 36, 90, 56}, Color::rgb255(255, 149, 0));
        child->cornerRadius = 8;
        parent->addSubview(child);
        card.addSubview(parent);
        addCaption(card, i == 0 ? "clips to bounds" : "does not clip",
                   Rect{16 + i * (half + 16), 104, half, 18});
      }
    }
    {
      ui::View& card = cards.add("ALPHA", 124);
      const double w = card.bounds().width();
      const double alphas[] = {1, 0.6, 0.3};
      for (int i = 0; i < 3; ++i) {
        auto dot = box(Rect{20 + i * 34.0, 18, 56, 56}, i == 1 ? Color::systemRed() : blue);
        dot->cornerRadius = 28;
        dot->setAlpha(alphas[i]);
        card.addSubview(dot);
      }
      addCaption(card, "1, 0.6 and 0.3", Rect{16, 90, 150, 18});
      // A translucent view is composited as a whole: its overlapping
      // children do not darken each other.
      // 160 wide, or what is left beside the dots (which end at 144).
      const double gx = std::max(w - 176, 160.0);
      const double gw = w - 16 - gx;
      auto group = std::make_shared<ui::View>(Rect{gx, 14, gw, 64});
      group->setAlpha(0.5);
      group->addSubview(box(Rect{0, 0, gw * 100 / 160, 64}, blue));
      group->addSubview(box(Rect{gw * 60 / 160, 0, gw * 100 / 160, 64}, blue));
      card.addSubview(group);
      addCaption(card, "a group at 0.5", Rect{gx, 90, gw, 18});
    }
    {
      ui::View& card = cards.add("SCALE TRANSFORM", 124);
      const double step = (card.bounds().width() - 32) / 3;
      const double scales[] = {0.6, 1.0, 1.25};
      const char* names[] = {"0.6", "1", "1.25"};
      for (int i = 0; i < 3; ++i) {
        auto v = box(Rect{16 + i * step + (step - 60) / 2, 18, 60, 60}, blue);
        v->cornerRadius = 10;
        addLabel(*v, "Aa", Rect{0, 0, 60, 60}, Font::system(22, FontWeight::Bold), Color::white())
            ->textAlignment = ui::TextAlignment::Center;
        v->setTransform(ui::Transform::scale(scales[i], scales[i]));
        card.addSubview(v);
        addCaption(card, names[i], Rect{16 + i * step, 96, step, 18});
      }
    }
  });
  stage.show(demo::inNavigation(screen));
  stage.snapshot("views");
}

void images(Stage& stage) {
  auto screen = std::make_shared<demo::Composition>("Images", [](ui::View& root) {
    demo::Cards cards(root, demo::contentTop(true));
    {
      ui::View& card = cards.add("CONTENT MODES", 96);
      const double step = (card.bounds().width() - 16) / 4;
      const std::pair<const char*, ui::ContentMode> modes[] = {
          {"scale to fill", ui::ContentMode::ScaleToFill},
          {"aspect fit", ui::ContentMode::AspectFit},
          {"aspect fill", ui::ContentMode::AspectFill},
          {"centre", ui::ContentMode::Center}};
      int i = 0;
      for (auto [name, mode] : modes) {
        const double w = std::min(76.0, step - 6);
        auto view = std::make_shared<ui::ImageView>(Rect{8 + i * step + (step - w) / 2, 14, w, 44});
        view->setImage(ui::loadImageNamed("icon_t420_enabled"));
        view->contentMode = mode;
        view->clipsToBounds = mode == ui::ContentMode::AspectFill;
        view->setBackgroundColor(Color::systemGray6());
        view->borderWidth = 0.5;
        view->borderColor = Color::systemGray3();
        card.addSubview(view);
        addCaption(card, name, Rect{8 + i * step, 66, step, 18});
        ++i;
      }
    }
    {
      ui::View& card = cards.add("SYMBOLS IN THEIR VIEW'S TINT", 80);
      const Color tints[] = {Color::systemBlue(), Color::systemGreen(), Color::systemRed(),
                             Color::systemGray(), Color::black()};
      const char* names[] = {"gearshape", "checkmark.circle.fill", "xmark", "chevron.right",
                             "ellipsis.circle"};
      const double step = (card.bounds().width() - 16) / 5;
      for (int i = 0; i < 5; ++i) {
        auto view =
            std::make_shared<ui::ImageView>(Rect{8 + i * step + (step - 30) / 2, 10, 30, 30});
        view->setImage(ui::Image::systemNamed(names[i]));
        view->setTintColor(tints[i]);
        view->contentMode = ui::ContentMode::AspectFit;
        card.addSubview(view);
        auto caption = addCaption(card, names[i], Rect{8 + i * step, 44, step, 26});
        caption->setFont(Font::system(10));
        caption->setNumberOfLines(2);
        caption->lineBreakMode = ui::LineBreakMode::CharWrap;
      }
    }
    {
      ui::View& card = cards.add("QR CODE", 236);
      const std::string record =
          R"({"ip":"192.168.1.20:8080","type":"discover","protocolVersion":"1.0.01"})";
      if (auto code = ui::encodeQr(record, ui::QrCorrection::H)) {
        const double scale = ui::mainScreen().scale;
        auto pixels =
            ui::renderQr(*code, static_cast<int>(180 * scale), static_cast<int>(180 * scale));
        auto view =
            std::make_shared<ui::ImageView>(Rect{(card.bounds().width() - 180) / 2, 14, 180, 180});
        view->setImage(ui::Image::fromBitmap(pixels, scale, "qr"));
        card.addSubview(view);
      }
      addCaption(card, "Scan with the Tavio app on the terminal",
                 Rect{16, 204, card.bounds().width() - 32, 20});
    }
  });
  stage.show(demo::inNavigation(screen));
  stage.snapshot("images");
}

}  // namespace

VELTRIX_GALLERY_PAGE("controls", controls);
VELTRIX_GALLERY_PAGE("labels", labels);
VELTRIX_GALLERY_PAGE("views", views);
VELTRIX_GALLERY_PAGE("images", images);

}  // namespace veltrix::gallery
