// Building blocks of the gallery's sample screens: a controller whose view a
// function builds, cards laid out in columns that fit the device, and short
// helpers for labels and buttons.
//
// Thread: the main loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/scroll_view.h"
#include "veltrix/platform/ui/view_controller.h"

namespace veltrix::gallery::demo {

// The screens' backdrop: red 243, green 246, blue 249.
ui::Color backdrop();

// A controller whose view `build` fills when it loads.
class Composition : public ui::ViewController {
 public:
  using Build = std::function<void(ui::View& root)>;
  Composition(std::string title, Build build);
  void viewDidLoad() override;
  std::string typeName() const override { return "GalleryComposition"; }

 private:
  Build build_;
};

// `root` inside a navigation controller.
std::shared_ptr<ui::NavigationController> inNavigation(std::shared_ptr<ui::ViewController> root);

// The page the cards lie on: it fills the screen and scrolls where they
// reach past the safe area's bottom (the small phone, a phone on its side).
class CardsPage final : public ui::ScrollView {
 public:
  using ui::ScrollView::ScrollView;
  std::string typeName() const override { return "CardsPage"; }
};

// White rounded cards with a caption above each, in as many columns as the
// screen's width takes (one on a phone in portrait), each card going into
// the shortest column.
class Cards {
 public:
  // Fills a page over `root` below `top` (points from the window's top; the
  // safe area and bars are the caller's to add), inside the device's side
  // insets.
  Cards(ui::View& root, double top);
  // A card of `height` under `caption`; its width is width().
  ui::View& add(const std::string& caption, double height);
  double width() const { return width_; }

 private:
  std::shared_ptr<CardsPage> page_;
  double width_ = 0;
  std::vector<double> columnX_;
  std::vector<double> columnY_;
};

// The top of the content: under the status bar, and under the navigation
// bar when `underBar`.
double contentTop(bool underBar);

std::shared_ptr<ui::Label> addLabel(ui::View& parent, const std::string& text,
                                    const ui::Rect& frame, ui::Font font = ui::Font::system(15),
                                    ui::Color color = ui::Color::label());

// A caption in small grey text (used under samples).
std::shared_ptr<ui::Label> addCaption(ui::View& parent, const std::string& text,
                                      const ui::Rect& frame);

}  // namespace veltrix::gallery::demo
