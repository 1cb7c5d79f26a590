// Gallery pages of lists: plain and inset-grouped tables with their
// headers, footers, cell styles, accessories, selection and separators, and
// a collection view laid out by the flow layout.
#include <memory>
#include <string>
#include <vector>

#include "gallery/demo.h"
#include "gallery/gallery.h"
#include "veltrix/platform/ui/collection_view.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/table_view.h"

namespace veltrix::gallery {
namespace {

using ui::Color;
using ui::Font;
using ui::FontWeight;
using ui::IndexPath;
using ui::Rect;

struct Row {
  Row(std::string text, std::string detail, ui::TableViewCellStyle style,
      ui::AccessoryType accessory, std::string image = {}, bool withSwitch = false)
      : text(std::move(text)),
        detail(std::move(detail)),
        style(style),
        accessory(accessory),
        image(std::move(image)),
        withSwitch(withSwitch) {}

  std::string text;
  std::string detail;
  ui::TableViewCellStyle style;
  ui::AccessoryType accessory;
  std::string image;
  bool withSwitch;
};

struct Section {
  std::optional<std::string> header;
  std::optional<std::string> footer;
  std::vector<Row> rows;
};

// A table controller over fixed sections.
class SampleTable : public ui::TableViewController {
 public:
  SampleTable(std::string title, ui::TableViewStyle style, std::vector<Section> sections,
              double rowHeight)
      : ui::TableViewController(style), sections_(std::move(sections)), rowHeight_(rowHeight) {
    setTitle(std::move(title));
  }

  std::int64_t numberOfSections(ui::TableView&) override {
    return static_cast<std::int64_t>(sections_.size());
  }
  std::int64_t numberOfRows(ui::TableView&, std::int64_t section) override {
    return static_cast<std::int64_t>(sections_[static_cast<std::size_t>(section)].rows.size());
  }
  std::optional<std::string> titleForHeader(ui::TableView&, std::int64_t section) override {
    return sections_[static_cast<std::size_t>(section)].header;
  }
  std::optional<std::string> titleForFooter(ui::TableView&, std::int64_t section) override {
    return sections_[static_cast<std::size_t>(section)].footer;
  }
  std::optional<double> heightForRow(ui::TableView&, IndexPath) override { return rowHeight_; }

  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView&, IndexPath ip) override {
    const Row& row =
        sections_[static_cast<std::size_t>(ip.section)].rows[static_cast<std::size_t>(ip.item)];
    auto cell = std::make_shared<ui::TableViewCell>(row.style);
    cell->textLabel()->setText(row.text);
    if (row.style == ui::TableViewCellStyle::Subtitle) {
      cell->textLabel()->setFont(Font::system(17, FontWeight::Semibold));
    }
    if (!row.detail.empty() && cell->detailTextLabel()) {
      cell->detailTextLabel()->setText(row.detail);
      if (row.style == ui::TableViewCellStyle::Subtitle) {
        cell->detailTextLabel()->textColor = Color::secondaryLabel();
        cell->detailTextLabel()->setFont(Font::system(13));
      }
    }
    if (!row.image.empty()) {
      cell->imageView()->setImage(ui::loadImageNamed(row.image));
    }
    cell->accessoryType = row.accessory;
    if (row.withSwitch) {
      auto s = std::make_shared<ui::Switch>();
      s->setOn(true);
      cell->setAccessoryView(s);
      cell->selectionStyle = ui::SelectionStyle::None;
    }
    return cell;
  }

 private:
  std::vector<Section> sections_;
  double rowHeight_;
};

// The platform moves a table's content from under the bars by itself; the
// layer leaves that to the screen.
void clearBars(ui::TableView& table) {
  const double top = demo::contentTop(true);
  table.contentInset.top = top;
  table.setContentOffset(ui::Point{0, -top});
}

void plainTable(Stage& stage) {
  using Style = ui::TableViewCellStyle;
  using Accessory = ui::AccessoryType;
  std::vector<Section> sections = {
      {"Nearby terminals",
       std::nullopt,
       {{"T420", "SN 1234 5678 · LAN 192.168.1.20", Style::Subtitle, Accessory::DisclosureIndicator,
         "icon_t420_enabled"},
        {"T310", "SN 8765 4321 · Bluetooth", Style::Subtitle, Accessory::DisclosureIndicator,
         "icon_t310_enabled"},
        {"TMIX Z3", "SN 0011 2233 · not answering", Style::Subtitle, Accessory::DetailButton,
         "icon_tmix_z3_disabled"}}},
      {"Settings",
       "Changes take effect for the next payment.",
       {{"Connection Method", "LAN", Style::Value1, Accessory::DisclosureIndicator},
        {"Remember Mode", "Flexible", Style::Value1, Accessory::DisclosureIndicator},
        {"Show Setting icon", "", Style::Default, Accessory::None, "", true},
        {"Purchase", "", Style::Default, Accessory::Checkmark}}},
  };
  auto table = std::make_shared<SampleTable>("Terminals", ui::TableViewStyle::Plain,
                                             std::move(sections), 68);
  stage.show(demo::inNavigation(table));
  clearBars(table->tableView());
  table->tableView().selectRow(IndexPath::forRow(1), false);
  stage.snapshot("table_plain");
}

void insetGroupedTable(Stage& stage) {
  using Style = ui::TableViewCellStyle;
  using Accessory = ui::AccessoryType;
  std::vector<Section> sections = {
      {"CONNECTION",
       std::nullopt,
       {{"LAN", "ON", Style::Value1, Accessory::DisclosureIndicator},
        {"Bluetooth", "OFF", Style::Value1, Accessory::DisclosureIndicator}}},
      {"SERVICES",
       std::nullopt,
       {{"Services", "", Style::Default, Accessory::DisclosureIndicator},
        {"Preferences", "", Style::Default, Accessory::DisclosureIndicator},
        {"Device Whitelist", "", Style::Default, Accessory::DisclosureIndicator}}},
      {"REMEMBER MODE",
       "Version 1.0.7",
       {{"Flexible selection", "", Style::Default, Accessory::Checkmark},
        {"Designated terminal", "", Style::Default, Accessory::None}}},
  };
  auto table = std::make_shared<SampleTable>("Settings", ui::TableViewStyle::InsetGrouped,
                                             std::move(sections), 50);
  stage.show(demo::inNavigation(table));
  clearBars(table->tableView());
  stage.snapshot("table_inset_grouped");
}

// A tile of the overflow grid: icon, model and shortened serial number.
class TerminalTile : public ui::CollectionViewCell {
 public:
  TerminalTile() {
    contentView()->setBackgroundColor(Color::white());
    contentView()->cornerRadius = 14;
    icon_ = std::make_shared<ui::ImageView>();
    icon_->contentMode = ui::ContentMode::AspectFit;
    model_ = std::make_shared<ui::Label>();
    model_->setFont(Font::system(14, FontWeight::Semibold));
    model_->textAlignment = ui::TextAlignment::Center;
    serial_ = std::make_shared<ui::Label>();
    serial_->setFont(Font::system(12));
    serial_->textColor = Color::secondaryLabel();
    serial_->textAlignment = ui::TextAlignment::Center;
    for (auto v : std::vector<ui::ViewPtr>{icon_, model_, serial_}) contentView()->addSubview(v);
  }

  void configure(const std::string& image, const std::string& model, const std::string& serial) {
    icon_->setImage(ui::loadImageNamed(image));
    model_->setText(model);
    serial_->setText(serial);
  }

  void layoutSubviews() override {
    ui::CollectionViewCell::layoutSubviews();
    const double w = bounds().width();
    icon_->setFrame(Rect{(w - 60) / 2, 10, 60, 60});
    model_->setFrame(Rect{4, 74, w - 8, 20});
    serial_->setFrame(Rect{4, 94, w - 8, 18});
  }

 private:
  std::shared_ptr<ui::ImageView> icon_;
  std::shared_ptr<ui::Label> model_;
  std::shared_ptr<ui::Label> serial_;
};

struct Terminal {
  const char* image;
  const char* model;
  const char* serial;
};

class TerminalGrid : public ui::CollectionViewDataSource {
 public:
  explicit TerminalGrid(std::vector<Terminal> items) : items_(std::move(items)) {}
  std::int64_t numberOfItems(ui::CollectionView&, std::int64_t) override {
    return static_cast<std::int64_t>(items_.size());
  }
  std::shared_ptr<ui::CollectionViewCell> cellForItem(ui::CollectionView& view,
                                                      IndexPath ip) override {
    auto cell = std::static_pointer_cast<TerminalTile>(view.dequeueReusableCell("tile", ip));
    const Terminal& t = items_[static_cast<std::size_t>(ip.item)];
    cell->configure(t.image, t.model, t.serial);
    return cell;
  }

 private:
  std::vector<Terminal> items_;
};

void collection(Stage& stage) {
  auto source = std::make_shared<TerminalGrid>(std::vector<Terminal>{
      {"icon_t420_enabled", "T420", "(*5678)"},
      {"icon_t310_enabled", "T310", "(*4321)"},
      {"icon_tmix_z3_enabled", "TMIX Z3", "(*2233)"},
      {"icon_t420_disabled", "T420", "(*9012)"},
      {"icon_t310_disabled", "T310", "(*7788)"},
      {"icon_tmix_z3_disabled", "TMIX Z3", "(*0042)"},
      {"icon_t420_enabled", "T420", "(*3141)"},
      {"icon_more_enabled", "More", ""},
  });
  auto screen = std::make_shared<demo::Composition>("Terminals", [source](ui::View& root) {
    auto layout = std::make_shared<ui::FlowLayout>();
    layout->itemSize = {104, 118};
    layout->minimumInteritemSpacing = 12;
    layout->minimumLineSpacing = 12;
    layout->sectionInset = {16, 16, 16, 16};
    const double top = demo::contentTop(true);
    const ui::Insets safe = ui::currentDevice().safeArea();
    auto grid = std::make_shared<ui::CollectionView>(
        Rect{safe.left, top, root.bounds().width() - safe.left - safe.right,
             root.bounds().height() - top},
        layout);
    grid->setBackgroundColor(demo::backdrop());
    grid->registerCell("tile", [] { return std::make_shared<TerminalTile>(); });
    grid->setDataSource(source);
    root.addSubview(grid);
  });
  stage.show(demo::inNavigation(screen));
  stage.snapshot("collection");
}

}  // namespace

VELTRIX_GALLERY_PAGE("table_plain", plainTable);
VELTRIX_GALLERY_PAGE("table_inset_grouped", insetGroupedTable);
VELTRIX_GALLERY_PAGE("collection", collection);

}  // namespace veltrix::gallery
