// Gallery page of the library's artwork, each image loaded by name as the
// screens load it, and of the symbol images the renderer draws.
#include <algorithm>
#include <cmath>
#include <memory>

#include "artwork.h"
#include "gallery/demo.h"
#include "gallery/gallery.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/render/symbols.h"

namespace veltrix::gallery {
namespace {

using ui::Color;
using ui::Rect;

// A grid of tiles: the picture in a box of `side`, its name below.
void artworkGrid(ui::View& card, const std::vector<std::pair<std::string, ui::ImagePtr>>& items,
                 int columns, double side, const Color& tint) {
  const double step = (card.bounds().width() - 16) / columns;
  const double row = side + 34;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const double x = 8 + static_cast<double>(i % columns) * step;
    const double y = 12 + static_cast<double>(i / columns) * row;
    auto view = std::make_shared<ui::ImageView>(Rect{x + (step - side) / 2, y, side, side});
    const ui::ImagePtr& image = items[i].second;
    view->setImage(image);
    // Small pictures at their own size, large ones fitted.
    const bool fits = image && image->size().width <= side && image->size().height <= side;
    view->contentMode = fits ? ui::ContentMode::Center : ui::ContentMode::AspectFit;
    view->setTintColor(tint);
    if (!image) view->setBackgroundColor(Color::systemRed().withAlpha(0.2));
    card.addSubview(view);
    auto name = demo::addCaption(card, items[i].first, Rect{x + 2, y + side + 3, step - 4, 28});
    name->setFont(ui::Font::system(9));
    name->setNumberOfLines(2);
    name->lineBreakMode = ui::LineBreakMode::CharWrap;
  }
}

double gridHeight(std::size_t count, int columns, double side) {
  const auto rows = static_cast<double>((count + columns - 1) / columns);
  return 12 + rows * (side + 34);
}

void artworkPage(Stage& stage) {
  auto screen = std::make_shared<demo::Composition>("Artwork", [](ui::View& root) {
    demo::Cards cards(root, demo::contentTop(true));
    std::vector<std::pair<std::string, ui::ImagePtr>> images;
    for (const artwork::Artwork& art : artwork::all()) {
      images.emplace_back(art.name, ui::loadImageNamed(art.name));
    }
    std::vector<std::pair<std::string, ui::ImagePtr>> symbols;
    for (const std::string& name : ui::symbolNames()) {
      symbols.emplace_back(name, ui::Image::systemNamed(name));
    }
    const int columns = cards.width() > 420 ? 7 : 5;
    artworkGrid(cards.add("LIBRARY IMAGES", gridHeight(images.size(), columns, 50)), images,
                columns, 50, Color::systemBlue());
    const int symbolColumns = columns + 1;
    artworkGrid(cards.add("SYMBOLS", gridHeight(symbols.size(), symbolColumns, 24)), symbols,
                symbolColumns, 24, Color::systemBlue());
  });
  stage.show(demo::inNavigation(screen));
  stage.snapshot("artwork");
}

}  // namespace

VELTRIX_GALLERY_PAGE("artwork", artworkPage);

}  // namespace veltrix::gallery
