#include "gallery/gallery.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/text_metrics.h"

namespace veltrix::gallery {
namespace {

using testing::TempDir;
using testing::UiTest;

std::filesystem::path sourceDir() {
  if (const char* dir = std::getenv("VELTRIX_TEST_SOURCE_DIR")) return dir;
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

std::string withoutComments(const std::string& text) {
  static const std::regex kComment(R"(//[^\n]*|/\*[\s\S]*?\*/)");
  return std::regex_replace(text, kComment, " ");
}

// The screen classes declared in the headers of `dirs`: every class that
// derives, directly or through another class there, from a view controller
// of the platform. A class that only serves as another screen's base has no
// page of its own.
std::set<std::string> screenClasses(const std::vector<std::filesystem::path>& dirs) {
  static const std::regex kClass(R"(\bclass\s+(\w+)\s*(?:final\s*)?:([^{;]*)\{)");
  static const std::regex kBase(R"((\w+)\s*(?:<[^>]*>)?\s*$)");
  std::map<std::string, std::vector<std::string>> bases;
  for (const auto& dir : dirs) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (entry.path().extension() != ".h") continue;
      std::ifstream in(entry.path());
      std::stringstream text;
      text << in.rdbuf();
      const std::string code = withoutComments(text.str());
      for (std::sregex_iterator it(code.begin(), code.end(), kClass), end; it != end; ++it) {
        std::stringstream list((*it)[2].str());
        for (std::string base; std::getline(list, base, ',');) {
          std::smatch name;
          if (std::regex_search(base, name, kBase)) bases[(*it)[1]].push_back(name[1]);
        }
      }
    }
  }
  const std::set<std::string> platformControllers = {"ViewController", "NavigationController",
                                                     "TableViewController", "AlertController"};
  std::set<std::string> screens;
  for (bool grew = true; grew;) {
    grew = false;
    for (const auto& [name, list] : bases) {
      if (screens.count(name)) continue;
      for (const std::string& base : list) {
        if (platformControllers.count(base) || screens.count(base)) {
          screens.insert(name);
          grew = true;
          break;
        }
      }
    }
  }
  std::set<std::string> leaves = screens;
  for (const auto& [name, list] : bases) {
    if (!screens.count(name)) continue;
    for (const std::string& base : list) leaves.erase(base);
  }
  return leaves;
}

// The pages lay out with the installed fonts, as the tool does.
class GalleryTest : public UiTest {
 protected:
  ui::ScopedTextMetrics fonts_{std::make_shared<ui::PangoMetrics>()};
  TempDir out_;
};

// Every page once, the pages dealt out over every profile and orientation
// in turn, drawn at a quarter of the points (layout is the same; pixels are
// what cost), then the index over them all.
TEST_F(GalleryTest, EveryPageRendersAndEveryScreenHasOne) {
  const std::vector<ui::DeviceProfile> devices = allDevices();
  ASSERT_EQ(devices.size(), 6u) << "phone, small phone and pad, each both ways";
  std::vector<std::vector<Page>> dealt(devices.size());
  const std::vector<Page> all = pages();
  for (std::size_t i = 0; i < all.size(); ++i) dealt[i % devices.size()].push_back(all[i]);

  std::vector<IndexSection> sections;
  std::set<std::string> shown;
  for (std::size_t d = 0; d < devices.size(); ++d) {
    const ui::DeviceProfile& device = devices[d];
    Options options;
    options.device = device;
    options.out = out_.path() / deviceDir(device);
    options.scale = 0.25;
    std::filesystem::create_directories(options.out);
    const Result result = run(options, dealt[d]);
    EXPECT_TRUE(result.failures.empty()) << result.failures.front();
    ASSERT_EQ(result.pages.size(), dealt[d].size());
    for (const PageResult& page : result.pages) {
      EXPECT_FALSE(page.files.empty()) << page.name;
      shown.insert(page.screens.begin(), page.screens.end());
    }
    const ui::Size expected{std::round(device.size().width * 0.25),
                            std::round(device.size().height * 0.25)};
    for (const auto& file : result.files) EXPECT_EQ(ui::imagePixelSize(file), expected) << file;
    sections.push_back({deviceTitle(device), deviceDir(device), result});
  }

  const std::set<std::string> screens =
      screenClasses({sourceDir() / "src/veltrix/ui/scan", sourceDir() / "src/veltrix/ui/settings"});
  EXPECT_GE(screens.size(), 8u) << "the headers were read";
  for (const std::string& screen : screens) {
    EXPECT_TRUE(shown.count(screen))
        << screen << " has no gallery page (or its typeName() is not its class name)";
  }

  ASSERT_TRUE(writeIndex(out_.path(), sections));
  std::ifstream in(out_.path() / "index.html");
  std::stringstream html;
  html << in.rdbuf();
  for (const Page& page : pages()) {
    EXPECT_NE(html.str().find("<h3>" + page.name + "</h3>"), std::string::npos) << page.name;
  }
  EXPECT_EQ(html.str().find("http"), std::string::npos) << "nothing from elsewhere";
  for (const IndexSection& section : sections) {
    EXPECT_NE(html.str().find("<h2>" + section.title + "</h2>"), std::string::npos);
    EXPECT_NE(html.str().find("src=\"" + section.dir.string() + "/"), std::string::npos);
  }
}

}  // namespace
}  // namespace veltrix::gallery
