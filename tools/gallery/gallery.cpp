#include "gallery/gallery.h"

#include <algorithm>
#include <exception>
#include <map>

#include "veltrix/platform/ui/render/renderer.h"
#include "veltrix/platform/ui/runtime.h"

namespace veltrix::gallery {
namespace {

std::map<std::string, Page>& registry() {
  static std::map<std::string, Page> pages;
  return pages;
}

}  // namespace

Stage::Stage(const Options& options) : options_(options) {
  // Every page starts from the same state: no key window, the chosen
  // device, the platform's transition time.
  ui::resetForTesting();
  window_ = std::make_shared<ui::Window>(options.device);
  window_->makeKeyAndVisible();
  driver_ = std::make_unique<ui::Driver>(*window_);
}

Stage::~Stage() {
  driver_.reset();
  window_->setRootViewController(nullptr);
  platform::mainLoop().runPending();
  window_.reset();
  ui::resetForTesting();
}

void Stage::show(std::shared_ptr<ui::ViewController> root) {
  window_->setRootViewController(std::move(root));
  settle();
}

void Stage::advance(double seconds) { driver_->advance(seconds); }

void Stage::settle() { driver_->settle(); }

void Stage::snapshot(const std::string& name) {
  settle();
  const auto path = options_.out / (name + ".png");
  ui::RenderOptions render;
  render.scale = options_.scale;
  render.deviceChrome = true;
  if (ui::renderViewToPng(*window_, path, render)) {
    written_.push_back(path);
  } else {
    failures_.push_back(name + ": cannot write " + path.string());
  }
}

bool addPage(Page page) {
  std::string name = page.name;
  registry()[name] = std::move(page);
  return true;
}

std::vector<Page> pages() {
  std::vector<Page> out;
  for (const auto& [name, page] : registry()) out.push_back(page);
  return out;
}

Result run(const Options& options) {
  Result result;
  for (const Page& page : pages()) {
    Stage stage(options);
    try {
      page.build(stage);
    } catch (const std::exception& e) {
      result.failures.push_back(page.name + ": " + e.what());
    }
    result.files.insert(result.files.end(), stage.written().begin(), stage.written().end());
    result.failures.insert(result.failures.end(), stage.failures().begin(), stage.failures().end());
    if (stage.written().empty()) result.failures.push_back(page.name + ": took no snapshot");
  }
  return result;
}

}  // namespace veltrix::gallery
