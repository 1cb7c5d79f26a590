// Layers: the extension point for what views alone do not draw (the scan
// screen's ripple of replicated, animated circles; the camera preview).
//
// A layer has a frame (bounds and position in its host's coordinates),
// opacity, sublayers and keyed animations that repeat on the process clock.
// The renderer draws them; the headless layer only keeps their state. A
// layer sits directly on a view (View::addSublayer) or inside another layer.
//
// Thread: the main loop only.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/ui/geometry.h"
#include "veltrix/platform/ui/style.h"

namespace veltrix::ui {

class View;

// A property animation of a layer ("transform.scale", "opacity"), or a group
// of them with a common timing.
struct LayerAnimation {
  enum class FillMode : std::int64_t { Removed, Forwards, Backwards, Both };

  std::string keyPath;  // empty for a group
  std::optional<double> fromValue;
  std::optional<double> toValue;
  std::vector<LayerAnimation> animations;  // members of a group
  double duration = 0.25;
  double repeatCount = 0;  // kRepeatForever repeats without end
  bool autoreverses = false;
  bool removedOnCompletion = true;
  FillMode fillMode = FillMode::Removed;
  platform::TimePoint beginTime{};  // set when added to a layer

  static constexpr double kRepeatForever = std::numeric_limits<double>::infinity();

  static LayerAnimation basic(std::string keyPath, double from, double to) {
    LayerAnimation a;
    a.keyPath = std::move(keyPath);
    a.fromValue = from;
    a.toValue = to;
    return a;
  }
  static LayerAnimation group(std::vector<LayerAnimation> members) {
    LayerAnimation a;
    a.animations = std::move(members);
    return a;
  }
};

class Layer : public std::enable_shared_from_this<Layer> {
 public:
  Layer() = default;
  virtual ~Layer() = default;
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;

  virtual std::string typeName() const { return "Layer"; }

  Rect bounds;
  Point position;  // centre, in the host's coordinates
  double opacity = 1;
  bool hidden = false;
  Color backgroundColor = Color::clear();
  Transform transform;

  Rect frame() const {
    return {position.x - bounds.width() / 2, position.y - bounds.height() / 2, bounds.width(),
            bounds.height()};
  }
  void setFrame(const Rect& f) {
    bounds = Rect{0, 0, f.width(), f.height()};
    position = f.mid();
  }

  void addSublayer(std::shared_ptr<Layer> layer);
  void insertSublayer(std::shared_ptr<Layer> layer, std::size_t index);
  // Leaves its superlayer or its view.
  void removeFromSuperlayer();
  const std::vector<std::shared_ptr<Layer>>& sublayers() const { return sublayers_; }
  Layer* superlayer() const { return superlayer_; }
  View* hostView() const { return host_; }

  // Starts `animation` now under `key`, replacing one of the same key.
  void addAnimation(LayerAnimation animation, const std::string& key);
  void removeAnimation(const std::string& key);
  void removeAllAnimations();
  const LayerAnimation* animation(const std::string& key) const;
  std::vector<std::string> animationKeys() const;

 private:
  friend class View;
  Layer* superlayer_ = nullptr;
  View* host_ = nullptr;
  std::vector<std::shared_ptr<Layer>> sublayers_;
  std::map<std::string, LayerAnimation> animations_;
};

// A filled and stroked outline: an oval or a rectangle inscribed in
// `pathRect`.
class ShapeLayer : public Layer {
 public:
  enum class Path : std::int64_t { None, Rect, Oval };
  std::string typeName() const override { return "ShapeLayer"; }

  Path path = Path::None;
  Rect pathRect;
  Color fillColor = Color::black();
  Color strokeColor = Color::clear();
  double lineWidth = 1;
};

// Draws its sublayers `instanceCount` times, each copy's animations
// `instanceDelay` seconds later than the one before and transformed by
// `instanceTransform` once more.
class ReplicatorLayer : public Layer {
 public:
  std::string typeName() const override { return "ReplicatorLayer"; }

  int instanceCount = 1;
  double instanceDelay = 0;
  Transform instanceTransform;
};

}  // namespace veltrix::ui
