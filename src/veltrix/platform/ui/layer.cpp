#include "veltrix/platform/ui/layer.h"

#include <algorithm>

#include "veltrix/platform/ui/view.h"

namespace veltrix::ui {

void Layer::addSublayer(std::shared_ptr<Layer> layer) {
  insertSublayer(std::move(layer), sublayers_.size());
}

void Layer::insertSublayer(std::shared_ptr<Layer> layer, std::size_t index) {
  if (!layer || layer.get() == this) return;
  layer->removeFromSuperlayer();
  layer->superlayer_ = this;
  index = std::min(index, sublayers_.size());
  sublayers_.insert(sublayers_.begin() + static_cast<std::ptrdiff_t>(index), std::move(layer));
}

void Layer::removeFromSuperlayer() {
  auto self = weak_from_this().lock();  // the superlayer may hold the last reference
  if (superlayer_) {
    auto& list = superlayer_->sublayers_;
    std::erase_if(list, [this](const std::shared_ptr<Layer>& l) { return l.get() == this; });
    superlayer_ = nullptr;
  }
  if (host_) host_->removeSublayer(*this);
}

void Layer::addAnimation(LayerAnimation animation, const std::string& key) {
  animation.beginTime = platform::clock().now();
  animations_[key] = std::move(animation);
}

void Layer::removeAnimation(const std::string& key) { animations_.erase(key); }

void Layer::removeAllAnimations() { animations_.clear(); }

const LayerAnimation* Layer::animation(const std::string& key) const {
  auto it = animations_.find(key);
  return it == animations_.end() ? nullptr : &it->second;
}

std::vector<std::string> Layer::animationKeys() const {
  std::vector<std::string> keys;
  for (const auto& [k, a] : animations_) keys.push_back(k);
  return keys;
}

}  // namespace veltrix::ui
