#include "veltrix/ui/settings/settings_style.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "veltrix/platform/ui/text_metrics.h"

namespace veltrix::ui::settings {

std::vector<ConstraintPtr> shareRow(View& row, Label& title, View& value, double margin) {
  constexpr double kGap = 8;
  constexpr double kValueShare = 0.6;
  constexpr double kSmallestTitleScale = 0.6;
  title.setNumberOfLines(2);
  title.adjustsFontSizeToFitWidth = true;
  title.minimumScaleFactor = kSmallestTitleScale;
  // The title gives way; the value keeps its width.
  title.setContentCompressionResistancePriority(1, LayoutAxis::Horizontal);
  title.setContentHuggingPriority(1, LayoutAxis::Horizontal);
  // But never narrower than its two lines need at the smallest size: the
  // value loses its middle first.
  Font smallest = title.font();
  smallest.size *= kSmallestTitleScale;
  const std::string& text = title.text();
  auto width = [&](std::size_t from, std::size_t to) {
    return textMetrics()
        .measure(std::string_view(text).substr(from, to - from), smallest, 0, 1)
        .width;
  };
  double twoLines = width(0, text.size());
  for (std::size_t space = text.find(' '); space != std::string::npos;
       space = text.find(' ', space + 1)) {
    twoLines = std::min(twoLines, std::max(width(0, space), width(space + 1, text.size())));
  }
  std::vector<ConstraintPtr> out{
      title.widthAnchor().constraintGreaterThanOrEqualToConstant(std::ceil(twoLines) + 1),
      title.leadingAnchor().constraintEqualTo(row.leadingAnchor(), margin),
      title.trailingAnchor().constraintEqualTo(value.leadingAnchor(), -kGap),
      title.centerYAnchor().constraintEqualTo(row.centerYAnchor()),
      value.centerYAnchor().constraintEqualTo(row.centerYAnchor()),
  };
  if (auto* valueLabel = dynamic_cast<Label*>(&value)) {
    valueLabel->lineBreakMode = LineBreakMode::TruncateMiddle;
    out.push_back(value.widthAnchor().constraintLessThanOrEqualTo(row.widthAnchor(),
                                                                  Multiplier{kValueShare}));
  }
  return out;
}

std::vector<ConstraintPtr> tableCardAtTop(View& page, View& card, View& table, double margin,
                                          double height) {
  return {
      card.topAnchor().constraintEqualTo(page.topAnchor(), margin),
      card.leadingAnchor().constraintEqualTo(page.leadingAnchor(), margin),
      card.trailingAnchor().constraintEqualTo(page.trailingAnchor(), -margin),
      card.heightAnchor().constraintEqualToConstant(height),
      table.topAnchor().constraintEqualTo(card.topAnchor()),
      table.leadingAnchor().constraintEqualTo(card.leadingAnchor()),
      table.trailingAnchor().constraintEqualTo(card.trailingAnchor()),
      table.bottomAnchor().constraintEqualTo(card.bottomAnchor()),
  };
}

std::vector<ConstraintPtr> chevronAfter(View& row, View& value, View& chevron, double margin,
                                        double gap, double side) {
  return {
      value.trailingAnchor().constraintEqualTo(chevron.leadingAnchor(), -gap),
      chevron.trailingAnchor().constraintEqualTo(row.trailingAnchor(), -margin),
      chevron.centerYAnchor().constraintEqualTo(row.centerYAnchor()),
      chevron.widthAnchor().constraintEqualToConstant(side),
      chevron.heightAnchor().constraintEqualToConstant(side),
  };
}

void activateAll(std::initializer_list<std::vector<ConstraintPtr>> groups) {
  std::vector<ConstraintPtr> all;
  for (const std::vector<ConstraintPtr>& group : groups)
    all.insert(all.end(), group.begin(), group.end());
  activate(all);
}

}  // namespace veltrix::ui::settings
