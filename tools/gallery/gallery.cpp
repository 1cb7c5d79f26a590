#include "gallery/gallery.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <fstream>
#include <map>

#include "gallery/demo.h"
#include "veltrix/platform/ui/render/renderer.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/ui/settings/scrolling_page.h"

namespace veltrix::gallery {
namespace {

std::map<std::string, Page>& registry() {
  static std::map<std::string, Page> pages;
  return pages;
}

void collectScreens(const ui::ViewController* controller, std::set<std::string>& out,
                    int depth = 0) {
  // Controller trees are shallow; the bound only guards against a cycle.
  if (!controller || depth > 32) return;
  out.insert(controller->typeName());
  for (const ui::ViewController* child : controller->childControllers()) {
    collectScreens(child, out, depth + 1);
  }
  collectScreens(controller->presentedViewController(), out, depth + 1);
}

std::string escapeHtml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A relative link, each path segment percent-encoded where needed.
std::string linkTo(const std::filesystem::path& path) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path.generic_string()) {
    if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

constexpr const char* kIndexHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>VeltrixConnect screens</title>
<style>
body { font-family: sans-serif; margin: 24px; background: #f3f6f9; color: #1c1c1e; }
h2 { margin-top: 32px; }
.pages { display: flex; flex-wrap: wrap; gap: 20px; }
figure { margin: 0; background: #fff; border-radius: 10px; padding: 10px; }
figure h3 { margin: 0 0 8px; font-size: 14px; }
.shots { display: flex; gap: 8px; align-items: flex-start; }
.shot { text-align: center; font-size: 11px; color: #6b6b70; }
.shot img { display: block; max-width: 180px; max-height: 320px; border: 1px solid #ddd; }
</style>
</head>
<body>
<h1>VeltrixConnect screens</h1>
)";

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

void Stage::advance(double seconds) { driver_->advanceUnwatched(seconds); }

void Stage::settle() { driver_->settle(); }

void Stage::snapshot(const std::string& name) {
  settle();
  collectScreens(window_->rootViewController(), screens_);
  write(name);
  // What lies below a scrolling page's edge is drawn too, scrolled to the end.
  std::vector<ui::ScrollView*> scrolling;
  for (auto* page : window_->findAll<ui::settings::ScrollingPage>()) scrolling.push_back(page);
  for (auto* page : window_->findAll<demo::CardsPage>()) scrolling.push_back(page);
  for (ui::ScrollView* page : scrolling) {
    const ui::Point start = page->contentOffset();
    if (!page->window() || page->maxContentOffset().y <= start.y) continue;
    page->setContentOffset({start.x, page->maxContentOffset().y});
    settle();
    write(name + "_end");
    page->setContentOffset(start);
    settle();
  }
}

void Stage::write(const std::string& name) {
  const auto path = options_.out / (name + ".png");
  ui::RenderOptions render;
  render.scale = options_.scale;
  render.deviceChrome = true;
  // Pages are many, looked at and thrown away: packed fast, not small.
  render.compression = ui::PngCompression::Fast;
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

Result run(const Options& options) { return run(options, pages()); }

Result run(const Options& options, const std::vector<Page>& pages) {
  Result result;
  for (const Page& page : pages) {
    Stage stage(options);
    try {
      page.build(stage);
    } catch (const std::exception& e) {
      result.failures.push_back(page.name + ": " + e.what());
    }
    result.pages.push_back(PageResult{page.name, stage.written(), stage.screens()});
    result.files.insert(result.files.end(), stage.written().begin(), stage.written().end());
    result.failures.insert(result.failures.end(), stage.failures().begin(), stage.failures().end());
    if (stage.written().empty()) result.failures.push_back(page.name + ": took no snapshot");
  }
  return result;
}

std::vector<ui::DeviceProfile> allDevices() {
  std::vector<ui::DeviceProfile> out;
  for (const ui::DeviceProfile& device :
       {ui::DeviceProfile::phone(), ui::DeviceProfile::smallPhone(), ui::DeviceProfile::pad()}) {
    out.push_back(device.inOrientation(false));
    out.push_back(device.inOrientation(true));
  }
  return out;
}

std::string deviceTitle(const ui::DeviceProfile& device) {
  std::string title = device.isPad() ? "Pad" : device.name == "small" ? "Small phone" : "Phone";
  if (device.landscape) title += ", landscape";
  return title;
}

std::filesystem::path deviceDir(const ui::DeviceProfile& device) {
  return device.landscape ? device.name + "-landscape" : device.name;
}

bool writeIndex(const std::filesystem::path& dir, const std::vector<IndexSection>& sections) {
  std::string html = kIndexHead;
  for (const IndexSection& section : sections) {
    html += "<h2>" + escapeHtml(section.title) + "</h2>\n<div class=\"pages\">\n";
    for (const PageResult& page : section.result.pages) {
      html += "<figure id=\"" + escapeHtml(section.dir.generic_string() + "-" + page.name) +
              "\">\n<h3>" + escapeHtml(page.name) + "</h3>\n<div class=\"shots\">\n";
      for (const auto& file : page.files) {
        const std::string link = linkTo(section.dir / file.filename());
        const std::string stem = escapeHtml(file.stem().string());
        html += "<div class=\"shot\"><a href=\"" + link + "\"><img src=\"" + link + "\" alt=\"" +
                stem + "\" loading=\"lazy\"></a>" + stem + "</div>\n";
      }
      html += "</div>\n</figure>\n";
    }
    html += "</div>\n";
  }
  html += "</body>\n</html>\n";
  std::ofstream out(dir / "index.html", std::ios::binary | std::ios::trunc);
  out << html;
  return static_cast<bool>(out.flush());
}

}  // namespace veltrix::gallery
