// Gesture recognisers of the UI layer: tap and pan, driven by the window's
// touch dispatch (see window.h for the rules of who gets a touch).
//
// A recogniser is attached to one view (which owns it) and calls its actions
// on the main loop: a tap once, in state Ended; a pan in states Began,
// Changed, and Ended or Cancelled. A failed recogniser calls nothing.
//
// Thread: the main loop only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "veltrix/platform/ui/geometry.h"

namespace veltrix::ui {

class View;

enum class GestureState : std::int64_t { Possible, Began, Changed, Ended, Cancelled, Failed };

class GestureRecognizer : public std::enable_shared_from_this<GestureRecognizer> {
 public:
  using Action = std::function<void(GestureRecognizer&)>;

  explicit GestureRecognizer(Action action = {});
  virtual ~GestureRecognizer();
  GestureRecognizer(const GestureRecognizer&) = delete;
  GestureRecognizer& operator=(const GestureRecognizer&) = delete;

  void addAction(Action action);
  GestureState state() const { return state_; }
  View* view() const { return view_; }
  // This recogniser only recognises once `other` has failed.
  void requireToFail(const std::shared_ptr<GestureRecognizer>& other);
  // Where the touch is (or was when it ended), in `view`'s coordinates
  // (nullptr: the window's).
  Point locationInView(const View* view) const;

  bool enabled = true;
  // When it recognises, the touch is taken from the views under it: controls
  // get no touch-up-inside and lists select no row.
  bool cancelsTouchesInView = true;

  virtual bool isPan() const { return false; }

 protected:
  Point startPoint() const { return start_; }
  Point currentPoint() const { return current_; }
  // A new touch begins.
  virtual void resetForTouch() {}

 private:
  friend class View;
  friend class TouchDispatch;
  void attach(View* view) { view_ = view; }
  void fire();

  View* view_ = nullptr;
  std::vector<Action> actions_;
  std::vector<std::weak_ptr<GestureRecognizer>> mustFail_;
  GestureState state_ = GestureState::Possible;
  Point start_;
  Point current_;
};

// A single tap: recognised when the touch ends within 10 points of where it
// began.
class TapGestureRecognizer : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
};

// A drag: begins once the touch has moved more than 10 points.
class PanGestureRecognizer : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  bool isPan() const override { return true; }
  // How far the touch has moved since the pan began, in `view`'s coordinate
  // space (nullptr: the window's).
  Point translationInView(const View* view) const;
  // Makes the present translation read `translation` (in `view`'s space).
  void setTranslation(Point translation, const View* view);

 protected:
  void resetForTouch() override { offset_ = {}; }

 private:
  Point offset_;  // window space
};

}  // namespace veltrix::ui
