// Labels, image views and controls of the UI layer.
//
// Controls send their events only when a user acts on them (through the
// window's touch dispatch or the test driver); changing them from code
// (setOn, setSelected, setText) sends nothing, as on the platform.
//
// Thread: the main loop only. Owned like every view (std::shared_ptr).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/view.h"

namespace veltrix::ui {

class TextMetrics;

enum class TextAlignment : std::int64_t { Natural, Left, Center, Right };
enum class LineBreakMode : std::int64_t {
  WordWrap,
  CharWrap,
  Clip,
  TruncateHead,
  TruncateTail,
  TruncateMiddle
};

class Label : public View {
 public:
  Label();
  explicit Label(const Rect& frame);

  const std::string& text() const { return text_; }
  void setText(std::string text);
  // A label whose text comes from outside (a terminal's serial number,
  // model or service name, a Bluetooth name) shows it through
  // displayableOutsideText: no control reorders, hides or breaks it.
  // text() stays exactly what was set.
  bool showsOutsideText() const { return outsideText_; }
  void setShowsOutsideText(bool outside);
  // The text as measured and drawn.
  const std::string& displayText() const { return outsideText_ ? shownOutside_ : text_; }
  const Font& font() const { return font_; }
  void setFont(const Font& font);
  // 0: as many lines as the text needs.
  int numberOfLines() const { return numberOfLines_; }
  void setNumberOfLines(int lines);
  double preferredMaxLayoutWidth() const { return preferredMaxWidth_; }
  void setPreferredMaxLayoutWidth(double width);

  Color textColor = Color::label();
  TextAlignment textAlignment = TextAlignment::Natural;
  LineBreakMode lineBreakMode = LineBreakMode::TruncateTail;
  // A text wider than the label (on more lines than it has, or with a word
  // wider than it) is drawn smaller, down to `minimumScaleFactor` x the
  // font's size; then it truncates as usual.
  bool adjustsFontSizeToFitWidth = false;
  double minimumScaleFactor = 0;
  // The font the text is drawn in at the label's present width, or at
  // `width`.
  Font displayFont() const;
  Font fittedFont(double width) const;
  // Every font fittedFont() may pick for `font` and `minimumScaleFactor`.
  static std::vector<Font> fittingFonts(const Font& font, double minimumScaleFactor);

  // The text's size in the label's font, wrapped to `size.width` when the
  // label has more than one line.
  Size sizeThatFits(Size size) const;
  Size intrinsicContentSize() const override;
  Size intrinsicContentSizeForWidth(double width) const override;
  bool wrapsToWidth() const override { return numberOfLines_ != 1; }

  std::string typeName() const override { return "Label"; }
  std::string describe() const override;

 private:
  std::string text_;
  bool outsideText_ = false;
  // text_ as shown while outsideText_, made once when either changes: every
  // layout pass and drawing asks for it.
  std::string shownOutside_;
  Font font_ = Font::system(17);
  int numberOfLines_ = 1;
  double preferredMaxWidth_ = 0;
  // fittedFont()'s last answer, for the layout pass and the drawing that
  // ask it again at the same width; the setters above forget it.
  struct FittedFont {
    double width;
    double minimumScaleFactor;
    const TextMetrics* metrics;
    Font font;
  };
  mutable std::optional<FittedFont> fitted_;
};

enum class ContentMode : std::int64_t { ScaleToFill, AspectFit, AspectFill, Center };

class ImageView : public View {
 public:
  ImageView();
  explicit ImageView(ImagePtr image);
  explicit ImageView(const Rect& frame);

  const ImagePtr& image() const { return image_; }
  void setImage(ImagePtr image);
  ContentMode contentMode = ContentMode::ScaleToFill;

  Size intrinsicContentSize() const override;
  std::string typeName() const override { return "ImageView"; }
  std::string describe() const override;

 private:
  ImagePtr image_;
};

enum class ControlEvent : std::int64_t { TouchUpInside, ValueChanged, EditingChanged };
enum class ControlState : std::int64_t { Normal, Highlighted, Disabled, Selected };
enum class ContentHorizontalAlignment : std::int64_t { Center, Left, Right, Fill };
enum class SemanticContentAttribute : std::int64_t {
  Unspecified,
  ForceLeftToRight,
  ForceRightToLeft
};

class Control : public View {
 public:
  using Action = std::function<void(Control&)>;

  Control();
  explicit Control(const Rect& frame);

  bool isEnabled() const { return enabled_; }
  virtual void setEnabled(bool enabled);
  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected);
  bool isHighlighted() const { return highlighted_; }
  // Normal, Disabled or Selected, by the flags above.
  ControlState state() const;

  void addTarget(ControlEvent event, Action action);
  void removeAllTargets();
  // Calls every action for `event` (the control stays alive meanwhile).
  void sendActions(ControlEvent event);

  ContentHorizontalAlignment contentHorizontalAlignment = ContentHorizontalAlignment::Center;

  // A tap that the window's dispatch gives this (enabled) control.
  virtual void handleUserTap() { sendActions(ControlEvent::TouchUpInside); }

  std::string typeName() const override { return "Control"; }

 private:
  bool enabled_ = true;
  bool selected_ = false;
  bool highlighted_ = false;
  std::vector<std::pair<ControlEvent, Action>> targets_;
};

enum class ButtonType : std::int64_t { Custom, System };

class Button : public Control {
 public:
  explicit Button(ButtonType type = ButtonType::Custom);
  Button(ButtonType type, const Rect& frame);

  ButtonType buttonType() const { return type_; }

  void setTitle(std::optional<std::string> title, ControlState state);
  std::optional<std::string> title(ControlState state) const;
  // The title for the present state (falling back to the normal one).
  std::optional<std::string> currentTitle() const;
  void setTitleColor(std::optional<Color> color, ControlState state);
  Color titleColor(ControlState state) const;
  Color currentTitleColor() const;
  void setImage(ImagePtr image, ControlState state);
  ImagePtr image(ControlState state) const;
  ImagePtr currentImage() const;

  // The title's label and the image's view: subviews placed by the button.
  const std::shared_ptr<Label>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<ImageView>& imageView() const { return imageView_; }

  // Force right-to-left puts the image after the title.
  SemanticContentAttribute semanticContentAttribute = SemanticContentAttribute::Unspecified;
  Insets contentEdgeInsets;
  Insets titleEdgeInsets;
  Insets imageEdgeInsets;

  void setEnabled(bool enabled) override;
  void setSelected(bool selected) override;
  Size intrinsicContentSize() const override;
  void layoutSubviews() override;
  std::string typeName() const override { return "Button"; }
  std::string describe() const override;

 private:
  void refresh();
  template <typename T>
  static std::optional<T> lookup(const std::map<ControlState, T>& m, ControlState s) {
    if (auto it = m.find(s); it != m.end()) return it->second;
    if (auto it = m.find(ControlState::Normal); it != m.end()) return it->second;
    return std::nullopt;
  }

  ButtonType type_;
  std::map<ControlState, std::optional<std::string>> titles_;
  std::map<ControlState, Color> titleColors_;
  std::map<ControlState, ImagePtr> images_;
  std::shared_ptr<Label> titleLabel_;
  std::shared_ptr<ImageView> imageView_;
};

class Switch : public Control {
 public:
  Switch();
  explicit Switch(const Rect& frame);

  bool isOn() const { return on_; }
  // Sends no event (only a user's flip does).
  void setOn(bool on, bool animated = false);

  std::optional<Color> onTintColor;
  std::optional<Color> thumbTintColor;

  // A user's tap flips the switch and sends ValueChanged.
  void handleUserTap() override;
  Size intrinsicContentSize() const override { return {51, 31}; }
  std::string typeName() const override { return "Switch"; }
  std::string describe() const override;

 private:
  bool on_ = false;
};

enum class KeyboardType : std::int64_t { Default, NumberPad, DecimalPad, Email };
enum class TextBorderStyle : std::int64_t { None, Line, RoundedRect };

class TextField : public Control {
 public:
  TextField();
  explicit TextField(const Rect& frame);

  const std::string& text() const { return text_; }
  // From code: sends nothing.
  void setText(std::string text);
  // What the user types replaces the text and sends EditingChanged.
  void typeText(std::string text);

  std::string placeholder;
  KeyboardType keyboardType = KeyboardType::Default;
  TextBorderStyle borderStyle = TextBorderStyle::None;
  Font font = Font::system(17);
  Color textColor = Color::label();
  TextAlignment textAlignment = TextAlignment::Natural;
  bool isEditing() const { return editing_; }

  void handleUserTap() override { editing_ = true; }
  Size intrinsicContentSize() const override;
  std::string typeName() const override { return "TextField"; }
  std::string describe() const override;

 private:
  std::string text_;
  bool editing_ = false;
};

enum class ActivityIndicatorStyle : std::int64_t { Medium, Large };

class ActivityIndicator : public View {
 public:
  explicit ActivityIndicator(ActivityIndicatorStyle style = ActivityIndicatorStyle::Medium);

  ActivityIndicatorStyle style() const { return style_; }
  void startAnimating();
  void stopAnimating();
  bool isAnimating() const { return animating_; }
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool hides);
  Color color = Color::systemGray();

  Size intrinsicContentSize() const override;
  std::string typeName() const override { return "ActivityIndicator"; }
  std::string describe() const override;

 private:
  ActivityIndicatorStyle style_;
  bool animating_ = false;
  bool hidesWhenStopped_ = true;
};

}  // namespace veltrix::ui
