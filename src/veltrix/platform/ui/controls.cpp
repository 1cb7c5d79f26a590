#include "veltrix/platform/ui/controls.h"

#include <fmt/format.h>

#include <algorithm>

#include "veltrix/platform/ui/outside_text.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/text_metrics.h"

namespace veltrix::ui {
namespace {

double smallestFittingSize(const Font& font, double minimumScaleFactor) {
  return font.size * std::clamp(minimumScaleFactor, 0.0, 1.0);
}

// Half-point steps down from the font's own size, the last one to the
// smallest; text widths do not scale exactly with the size, so each step is
// measured.
double nextFittingSize(double size, double smallest) { return std::max(smallest, size - 0.5); }

}  // namespace

// --- Label -------------------------------------------------------------------

Label::Label() { userInteractionEnabled = false; }

Label::Label(const Rect& frame) : View(frame) { userInteractionEnabled = false; }

void Label::setText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  if (outsideText_) shownOutside_ = displayableOutsideText(text_);
  fitted_.reset();
  invalidateIntrinsicContentSize();
}

void Label::setShowsOutsideText(bool outside) {
  if (outside == outsideText_) return;
  outsideText_ = outside;
  shownOutside_ = outside ? displayableOutsideText(text_) : std::string();
  fitted_.reset();
  invalidateIntrinsicContentSize();
}

void Label::setFont(const Font& font) {
  if (font == font_) return;
  font_ = font;
  fitted_.reset();
  invalidateIntrinsicContentSize();
}

void Label::setNumberOfLines(int lines) {
  lines = std::max(0, lines);
  if (lines == numberOfLines_) return;
  numberOfLines_ = lines;
  fitted_.reset();
  invalidateIntrinsicContentSize();
}

void Label::setPreferredMaxLayoutWidth(double width) {
  preferredMaxWidth_ = std::max(0.0, width);
  invalidateIntrinsicContentSize();
}

Size Label::sizeThatFits(Size size) const {
  const double width = numberOfLines_ == 1 ? 0 : size.width;
  return textMetrics().measure(displayText(), font_, width, numberOfLines_);
}

Size Label::intrinsicContentSize() const {
  return intrinsicContentSizeForWidth(preferredMaxWidth_);
}

Size Label::intrinsicContentSizeForWidth(double width) const {
  if (numberOfLines_ == 1) width = 0;
  if (width <= 0 && preferredMaxWidth_ > 0 && numberOfLines_ != 1) width = preferredMaxWidth_;
  // Wrapped text is as tall as it is drawn, in the size it fits in.
  const Font font = width > 0 ? fittedFont(width) : font_;
  return textMetrics().measure(displayText(), font, width, numberOfLines_);
}

Font Label::displayFont() const { return fittedFont(bounds().width()); }

Font Label::fittedFont(double width) const {
  if (!adjustsFontSizeToFitWidth || numberOfLines_ == 0 || text_.empty()) return font_;
  const TextMetrics& metrics = textMetrics();
  if (fitted_ && fitted_->width == width && fitted_->minimumScaleFactor == minimumScaleFactor &&
      fitted_->metrics == &metrics) {
    return fitted_->font;
  }
  const std::string& shown = displayText();
  // Every word on a line of its own, in no more lines than the label has.
  auto fits = [&](const Font& font) {
    if (numberOfLines_ == 1) return metrics.measure(shown, font, 0, 1).width <= width;
    for (std::size_t from = 0; from < shown.size();) {
      std::size_t to = shown.find_first_of(" \n", from);
      if (to == std::string::npos) to = shown.size();
      const std::string_view word(shown.data() + from, to - from);
      if (metrics.measure(word, font, 0, 1).width > width) return false;
      from = to + 1;
    }
    return metrics.measure(shown, font, width, 0).height <=
           numberOfLines_ * metrics.lineHeight(font) + 0.5;
  };
  const double smallest = smallestFittingSize(font_, minimumScaleFactor);
  Font font = font_;
  while (!fits(font) && font.size > smallest) font.size = nextFittingSize(font.size, smallest);
  fitted_ = FittedFont{width, minimumScaleFactor, &metrics, font};
  return font;
}

std::vector<Font> Label::fittingFonts(const Font& font, double minimumScaleFactor) {
  const double smallest = smallestFittingSize(font, minimumScaleFactor);
  std::vector<Font> fonts{font};
  for (Font f = font; f.size > smallest;) {
    f.size = nextFittingSize(f.size, smallest);
    fonts.push_back(f);
  }
  return fonts;
}

std::string Label::describe() const { return View::describe() + fmt::format(" \"{}\"", text_); }

// --- ImageView ---------------------------------------------------------------

ImageView::ImageView() { userInteractionEnabled = false; }

ImageView::ImageView(ImagePtr image) : ImageView() {
  if (image) setFrame(Rect{Point{0, 0}, image->size()});
  image_ = std::move(image);
}

ImageView::ImageView(const Rect& frame) : View(frame) { userInteractionEnabled = false; }

void ImageView::setImage(ImagePtr image) {
  if (image == image_) return;
  const bool sizeChanged = !image || !image_ || image->size() != image_->size();
  image_ = std::move(image);
  if (sizeChanged) invalidateIntrinsicContentSize();
}

Size ImageView::intrinsicContentSize() const {
  if (!image_) return {kNoIntrinsicMetric, kNoIntrinsicMetric};
  return image_->size();
}

std::string ImageView::describe() const {
  return View::describe() + fmt::format(" image={}", image_ ? image_->name() : "(none)");
}

// --- Control -----------------------------------------------------------------

Control::Control() = default;

Control::Control(const Rect& frame) : View(frame) {}

void Control::setEnabled(bool enabled) { enabled_ = enabled; }

void Control::setSelected(bool selected) { selected_ = selected; }

ControlState Control::state() const {
  if (!enabled_) return ControlState::Disabled;
  if (selected_) return ControlState::Selected;
  return ControlState::Normal;
}

void Control::addTarget(ControlEvent event, Action action) {
  if (action) targets_.emplace_back(event, std::move(action));
}

void Control::removeAllTargets() { targets_.clear(); }

void Control::sendActions(ControlEvent event) {
  VELTRIX_UI_CHECK_MAIN();
  // An action may remove the control (a row rebuilt, a screen popped).
  keepAlive(weak_from_this().lock());
  auto targets = targets_;
  for (auto& [e, action] : targets) {
    if (e == event) action(*this);
  }
}

// --- Button ------------------------------------------------------------------

Button::Button(ButtonType type) : type_(type) {
  titleLabel_ = std::make_shared<Label>();
  titleLabel_->setFont(Font::system(15));
  titleLabel_->debugName = "title";
  imageView_ = std::make_shared<ImageView>();
  imageView_->debugName = "image";
  imageView_->contentMode = ContentMode::Center;
  addSubview(imageView_);
  addSubview(titleLabel_);
  refresh();
}

Button::Button(ButtonType type, const Rect& frame) : Button(type) { setFrame(frame); }

void Button::setTitle(std::optional<std::string> title, ControlState state) {
  titles_[state] = std::move(title);
  refresh();
}

std::optional<std::string> Button::title(ControlState state) const {
  auto it = titles_.find(state);
  return it == titles_.end() ? std::nullopt : it->second;
}

std::optional<std::string> Button::currentTitle() const {
  if (auto t = lookup(titles_, state()); t && *t) return *t;
  return title(ControlState::Normal);
}

void Button::setTitleColor(std::optional<Color> color, ControlState state) {
  if (color) {
    titleColors_[state] = *color;
  } else {
    titleColors_.erase(state);
  }
  refresh();
}

Color Button::titleColor(ControlState state) const {
  if (auto it = titleColors_.find(state); it != titleColors_.end()) return it->second;
  if (state != ControlState::Normal) {
    if (state == ControlState::Disabled && type_ == ButtonType::System) {
      return Color::white(0.6, 1);
    }
    return titleColor(ControlState::Normal);
  }
  return type_ == ButtonType::System ? tintColor() : Color::white();
}

Color Button::currentTitleColor() const { return titleColor(state()); }

void Button::setImage(ImagePtr image, ControlState state) {
  if (image) {
    images_[state] = std::move(image);
  } else {
    images_.erase(state);
  }
  refresh();
}

ImagePtr Button::image(ControlState state) const {
  auto it = images_.find(state);
  return it == images_.end() ? nullptr : it->second;
}

ImagePtr Button::currentImage() const {
  if (auto i = lookup(images_, state())) return *i;
  return nullptr;
}

void Button::setEnabled(bool enabled) {
  Control::setEnabled(enabled);
  refresh();
}

void Button::setSelected(bool selected) {
  Control::setSelected(selected);
  refresh();
}

void Button::refresh() {
  const std::string title = currentTitle().value_or("");
  const ImagePtr image = currentImage();
  const bool changed = title != titleLabel_->text() || image != imageView_->image();
  titleLabel_->setText(title);
  titleLabel_->textColor = currentTitleColor();
  titleLabel_->setHidden(title.empty());
  imageView_->setImage(image);
  imageView_->setHidden(!image);
  if (changed) {
    invalidateIntrinsicContentSize();
    setNeedsLayout();
  }
}

Size Button::intrinsicContentSize() const {
  const Size title = titleLabel_->text().empty() ? Size{} : titleLabel_->intrinsicContentSize();
  const Size image = imageView_->image() ? imageView_->image()->size() : Size{};
  double h = std::max(title.height > 0 ? title.height + 12 : 0, image.height);
  if (h <= 0) h = 30;
  return {title.width + image.width + contentEdgeInsets.left + contentEdgeInsets.right,
          h + contentEdgeInsets.top + contentEdgeInsets.bottom};
}

void Button::layoutSubviews() {
  // The default title colour follows the tint, which an ancestor may change.
  titleLabel_->textColor = currentTitleColor();
  const Rect content = bounds().inset(contentEdgeInsets);
  const Size title = titleLabel_->text().empty()
                         ? Size{}
                         : titleLabel_->sizeThatFits(Size{content.width(), content.height()});
  const Size image = imageView_->image() ? imageView_->image()->size() : Size{};
  const double total = std::min(content.width(), title.width + image.width);
  double x = content.x();
  switch (contentHorizontalAlignment) {
    case ContentHorizontalAlignment::Center:
      x = content.midX() - total / 2;
      break;
    case ContentHorizontalAlignment::Right:
      x = content.maxX() - total;
      break;
    case ContentHorizontalAlignment::Left:
    case ContentHorizontalAlignment::Fill:
      break;
  }
  const bool imageAfter = semanticContentAttribute == SemanticContentAttribute::ForceRightToLeft;
  const double titleWidth = std::max(0.0, total - image.width);
  Rect imageRect{imageAfter ? x + titleWidth : x, content.midY() - image.height / 2, image.width,
                 image.height};
  Rect titleRect{imageAfter ? x : x + image.width, content.midY() - title.height / 2, titleWidth,
                 title.height};
  imageRect = imageRect.offset(imageEdgeInsets.left - imageEdgeInsets.right,
                               imageEdgeInsets.top - imageEdgeInsets.bottom);
  titleRect = titleRect.offset(titleEdgeInsets.left - titleEdgeInsets.right,
                               titleEdgeInsets.top - titleEdgeInsets.bottom);
  imageView_->setFrame(imageRect);
  titleLabel_->setFrame(titleRect);
}

std::string Button::describe() const {
  std::string out = View::describe();
  if (auto t = currentTitle()) out += fmt::format(" \"{}\"", *t);
  if (auto i = currentImage()) out += fmt::format(" image={}", i->name());
  if (!isEnabled()) out += " disabled";
  if (isSelected()) out += " selected";
  return out;
}

// --- Switch ------------------------------------------------------------------

Switch::Switch() { setFrame(Rect{0, 0, 51, 31}); }

Switch::Switch(const Rect& frame) : Control(Rect{frame.origin, Size{51, 31}}) {}

void Switch::setOn(bool on, bool /*animated*/) { on_ = on; }

void Switch::handleUserTap() {
  on_ = !on_;
  sendActions(ControlEvent::ValueChanged);
}

std::string Switch::describe() const {
  return View::describe() + (on_ ? " on" : " off") + (isEnabled() ? "" : " disabled");
}

// --- TextField ---------------------------------------------------------------

TextField::TextField() = default;

TextField::TextField(const Rect& frame) : Control(frame) {}

void TextField::setText(std::string text) { text_ = std::move(text); }

void TextField::typeText(std::string text) {
  text_ = std::move(text);
  sendActions(ControlEvent::EditingChanged);
}

Size TextField::intrinsicContentSize() const {
  const double line = textMetrics().lineHeight(font);
  return {kNoIntrinsicMetric, borderStyle == TextBorderStyle::RoundedRect ? line + 14 : line};
}

std::string TextField::describe() const {
  return View::describe() + fmt::format(" \"{}\" placeholder=\"{}\"", text_, placeholder);
}

// --- ActivityIndicator -------------------------------------------------------

ActivityIndicator::ActivityIndicator(ActivityIndicatorStyle style) : style_(style) {
  userInteractionEnabled = false;
  const double side = style == ActivityIndicatorStyle::Large ? 37 : 20;
  setFrame(Rect{0, 0, side, side});
  setHidden(true);
}

void ActivityIndicator::startAnimating() {
  animating_ = true;
  setHidden(false);
}

void ActivityIndicator::stopAnimating() {
  animating_ = false;
  if (hidesWhenStopped_) setHidden(true);
}

void ActivityIndicator::setHidesWhenStopped(bool hides) {
  hidesWhenStopped_ = hides;
  if (hides && !animating_) setHidden(true);
}

Size ActivityIndicator::intrinsicContentSize() const {
  const double side = style_ == ActivityIndicatorStyle::Large ? 37 : 20;
  return {side, side};
}

std::string ActivityIndicator::describe() const {
  return View::describe() + (animating_ ? " animating" : " stopped");
}

}  // namespace veltrix::ui
