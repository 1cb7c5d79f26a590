#include "veltrix/platform/check.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace veltrix::platform {

void checkFailed(std::string_view file, int line, std::string_view what) {
  std::string text = "veltrix: check failed at " + std::string(file) + ":" + std::to_string(line) +
                     ": " + std::string(what) + "\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::abort();
}

}  // namespace veltrix::platform
