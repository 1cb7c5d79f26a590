// A test driver for screens: it acts like a finger (every injection goes
// through hit testing, so a covered, hidden or disabled view is not reached),
// moves the manual clock, and reads what a person would see.
//
// Thread: the main loop (the test's thread, bound as main). Needs a
// platform::ManualClock installed for advance().
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/collection_view.h"
#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/table_view.h"
#include "veltrix/platform/ui/window.h"

namespace veltrix::ui {

class Driver {
 public:
  explicit Driver(Window& window) : window_(window) {}

  Window& window() { return window_; }

  // A tap at a point of the window.
  void tapAt(Point windowPoint);
  // A tap at the centre of `view`'s visible part. False (and no tap) when a
  // finger there would not reach `view` or a view inside it.
  bool tap(const View& view);
  // A touch from `from` along `path` (window points), ended or cancelled.
  void drag(Point from, const std::vector<Point>& path, bool cancel = false);
  // Drags `view` by `delta` in `steps` moves.
  bool dragView(const View& view, Point delta, int steps = 5);
  // A user's flip of the switch (a tap on it).
  bool flip(Switch& control);
  // Types into a text field on screen: its text becomes `text`.
  bool type(TextField& field, std::string text);
  // Taps the action button titled `title` of the alert in front.
  bool tapAlertAction(std::string_view title);
  // Taps the back button of the navigation bar in front.
  bool back();
  // Taps the left or right item of the navigation bar in front.
  bool tapBarItem(bool right);
  // Scrolls the row into view, then taps its centre.
  bool tapRow(TableView& table, IndexPath indexPath);
  bool tapItem(CollectionView& collection, IndexPath indexPath);
  // A drag on the scroll view moving its content by `dy` points.
  void scroll(ScrollView& view, double dy);

  // Moves the manual clock, running what falls due, then lays out.
  void advance(double seconds);
  // The same over a stretch whose frames no one looks at: display links
  // deliver only the last frame due in it (as after a busy loop), which
  // spares laying out the screen 60 times a second of it. Timers,
  // animations and what they post run as in advance().
  void advanceUnwatched(double seconds);
  // Runs what is queued on the main loop and lays out.
  void settle();

  ViewController* topViewController() { return window_.topViewController(); }
  // The alert in front, if any.
  AlertController* alert();
  // The text of the toast label in view, if any.
  std::optional<std::string> toast();
  // Texts a person sees: labels, button titles and text fields of visible
  // views (not hidden or transparent, not under a finished full-screen
  // presentation), in tree order.
  std::vector<std::string> visibleTexts();
  bool isTextVisible(std::string_view text);
  // The first visible label whose text is `text`.
  Label* labelWithText(std::string_view text);
  Button* buttonWithTitle(std::string_view title);

  template <typename T>
  T* find(const std::function<bool(const T&)>& pred = {}) {
    return window_.findDescendant<T>(pred);
  }

  std::string dump() const { return window_.dumpTree(); }

 private:
  // Roots of what is visible, back to front.
  std::vector<View*> visibleLayers();
  Window& window_;
};

}  // namespace veltrix::ui
