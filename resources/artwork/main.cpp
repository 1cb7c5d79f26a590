// veltrix-artwork --out DIR NAME...: draws the named images into DIR as
// NAME@2x.png and NAME@3x.png. The build lists the names; an unknown one is
// an error, so the list and the drawings cannot drift apart.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "artwork.h"
#include "veltrix/platform/ui/render/canvas.h"

int main(int argc, char** argv) {
  std::filesystem::path out;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else {
      names.push_back(arg);
    }
  }
  if (out.empty() || names.empty()) {
    std::fprintf(stderr, "usage: veltrix-artwork --out DIR NAME...\n");
    return 2;
  }
  int failures = 0;
  for (const std::string& name : names) {
    const veltrix::artwork::Artwork* art = veltrix::artwork::find(name);
    if (!art) {
      std::fprintf(stderr, "veltrix-artwork: no drawing named %s\n", name.c_str());
      ++failures;
      continue;
    }
    for (int scale : {2, 3}) {
      veltrix::ui::Canvas canvas(art->size, scale);
      art->draw(canvas);
      const auto file = out / (name + "@" + std::to_string(scale) + "x.png");
      if (!canvas.writePng(file)) {
        std::fprintf(stderr, "veltrix-artwork: cannot write %s\n", file.c_str());
        ++failures;
      }
    }
  }
  return failures == 0 ? 0 : 1;
}
