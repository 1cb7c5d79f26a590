#include "veltrix/platform/ui/driver.h"

#include <algorithm>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/toast.h"

namespace veltrix::ui {
namespace {

bool reaches(View* hit, const View& target) { return hit && hit->isDescendantOf(target); }

}  // namespace

void Driver::tapAt(Point p) {
  window_.touchBegan(p);
  window_.touchEnded(p);
  settle();
}

bool Driver::tap(const View& view) {
  window_.layoutIfNeeded();
  if (!view.isVisibleInTree() || view.window() != &window_) return false;
  // The centre of the part of the view inside every clipping ancestor.
  Rect r = view.convert(view.bounds(), nullptr);
  for (const View* a = view.superview(); a; a = a->superview()) {
    const Rect ar = a->convert(a->bounds(), nullptr);
    const double x0 = std::max(r.minX(), ar.minX());
    const double y0 = std::max(r.minY(), ar.minY());
    const double x1 = std::min(r.maxX(), ar.maxX());
    const double y1 = std::min(r.maxY(), ar.maxY());
    if (x1 <= x0 || y1 <= y0) return false;
    r = Rect{x0, y0, x1 - x0, y1 - y0};
  }
  const Point p = r.mid();
  if (!reaches(window_.hitTest(p), view)) return false;
  tapAt(p);
  return true;
}

void Driver::drag(Point from, const std::vector<Point>& path, bool cancel) {
  window_.touchBegan(from);
  Point last = from;
  for (const Point& p : path) {
    window_.touchMoved(p);
    last = p;
  }
  if (cancel) {
    window_.touchCancelled();
  } else {
    window_.touchEnded(last);
  }
  settle();
}

bool Driver::dragView(const View& view, Point delta, int steps) {
  window_.layoutIfNeeded();
  const Point start = view.convert(view.bounds().mid(), nullptr);
  if (!reaches(window_.hitTest(start), view)) return false;
  steps = std::max(1, steps);
  std::vector<Point> path;
  for (int i = 1; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    path.push_back(Point{start.x + delta.x * t, start.y + delta.y * t});
  }
  drag(start, path);
  return true;
}

bool Driver::flip(Switch& control) { return tap(control); }

bool Driver::type(TextField& field, std::string text) {
  window_.layoutIfNeeded();
  if (!field.isVisibleInTree() || field.window() != &window_ || !field.isEnabled()) return false;
  field.typeText(std::move(text));
  settle();
  return true;
}

AlertController* Driver::alert() { return dynamic_cast<AlertController*>(topViewController()); }

bool Driver::tapAlertAction(std::string_view title) {
  AlertController* a = alert();
  if (!a) return false;
  Button* b = a->buttonForAction(title);
  return b && tap(*b);
}

bool Driver::back() {
  auto* nav = find<NavigationBar>([this](const NavigationBar& bar) {
    return bar.isVisibleInTree() && bar.backButton() &&
           reaches(window_.hitTest(
                       bar.backButton()->convert(bar.backButton()->bounds().mid(), nullptr)),
                   *bar.backButton());
  });
  return nav && tap(*nav->backButton());
}

bool Driver::tapBarItem(bool right) {
  window_.layoutIfNeeded();
  for (NavigationBar* bar : window_.findAll<NavigationBar>()) {
    const auto& b = right ? bar->rightButton() : bar->leftButton();
    if (b && bar->isVisibleInTree() && tap(*b)) return true;
  }
  return false;
}

bool Driver::tapRow(TableView& table, IndexPath indexPath) {
  table.scrollToRow(indexPath);
  auto cell = table.cellForRow(indexPath);
  return cell && tap(*cell);
}

bool Driver::tapItem(CollectionView& collection, IndexPath indexPath) {
  auto frame = collection.frameForItem(indexPath);
  if (!frame) return false;
  const Point offset = collection.contentOffset();
  if (frame->minY() < offset.y || frame->maxY() > offset.y + collection.bounds().height()) {
    collection.scrollBy(Point{0, frame->minY() - offset.y});
  }
  auto cell = collection.cellForItem(indexPath);
  return cell && tap(*cell);
}

void Driver::scroll(ScrollView& view, double dy) {
  window_.layoutIfNeeded();
  const Point start = view.convert(view.bounds().mid(), nullptr);
  // Past the 10-point threshold first, then the whole distance.
  const double dir = dy < 0 ? 1 : -1;
  drag(start, {Point{start.x, start.y + dir * 11}, Point{start.x, start.y - dy + dir * 11},
               Point{start.x, start.y - dy}});
}

void Driver::advance(double seconds) {
  auto clock = std::dynamic_pointer_cast<platform::ManualClock>(platform::currentClock());
  if (!clock) {
    platform::logLine("Driver::advance needs a ManualClock");
    return;
  }
  clock->advance(platform::seconds(seconds));
  settle();
}

void Driver::advanceUnwatched(double seconds) {
  detail::skipFramesUntil(platform::clock().now() + platform::seconds(seconds));
  advance(seconds);
  detail::skipFramesUntil({});
}

void Driver::settle() {
  for (int i = 0; i < 8; ++i) {
    const std::size_t ran = platform::mainLoop().runPending();
    window_.layoutIfNeeded();
    if (ran == 0) break;
  }
}

std::vector<View*> Driver::visibleLayers() {
  window_.layoutIfNeeded();
  std::vector<View*> layers;
  for (const auto& sub : window_.subviews()) {
    auto* container = dynamic_cast<PresentationContainer*>(sub.get());
    if (container && container->coversWindow()) {
      auto vc = container->presented.lock();
      if (vc && !vc->isBeingPresented() && !vc->isBeingDismissed()) layers.clear();
    }
    layers.push_back(sub.get());
  }
  return layers;
}

std::optional<std::string> Driver::toast() {
  std::optional<std::string> text;
  for (View* layer : visibleLayers()) {
    layer->visit([&](View& v) {
      if (v.isHidden()) return false;
      if (auto* l = dynamic_cast<Label*>(&v); l && l->tag == kToastTag) text = l->text();
      return true;
    });
  }
  return text;
}

std::vector<std::string> Driver::visibleTexts() {
  std::vector<std::string> texts;
  for (View* layer : visibleLayers()) {
    layer->visit([&](View& v) {
      if (v.isHidden() || v.alpha() < 0.01) return false;
      if (auto* l = dynamic_cast<Label*>(&v); l && !l->text().empty()) texts.push_back(l->text());
      if (auto* f = dynamic_cast<TextField*>(&v); f && !f->text().empty())
        texts.push_back(f->text());
      return true;
    });
  }
  return texts;
}

bool Driver::isTextVisible(std::string_view text) {
  auto texts = visibleTexts();
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

Label* Driver::labelWithText(std::string_view text) {
  return find<Label>([&](const Label& l) { return l.text() == text && l.isVisibleInTree(); });
}

Button* Driver::buttonWithTitle(std::string_view title) {
  return find<Button>(
      [&](const Button& b) { return b.currentTitle() == title && b.isVisibleInTree(); });
}

}  // namespace veltrix::ui
