#include "veltrix/platform/paths.h"

#include <sys/stat.h>

#include <cstdlib>
#include <mutex>
#include <system_error>

#include "veltrix/platform/log.h"

namespace veltrix::platform {
namespace {

struct PathState {
  std::mutex mutex;
  std::filesystem::path documents;
  std::filesystem::path resources;
};

PathState& state() {
  static auto& s = *new PathState;
  return s;
}

std::filesystem::path fromEnvironment() {
  // NOLINTBEGIN(concurrency-mt-unsafe): the environment is read, never written, here.
  if (const char* dir = std::getenv("VELTRIX_DATA_DIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    return std::filesystem::path(xdg) / "veltrix";
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return std::filesystem::path(home) / ".local" / "share" / "veltrix";
  }
  // NOLINTEND(concurrency-mt-unsafe)
  return std::filesystem::temp_directory_path() / "veltrix";
}

void ensureDirectory(const std::filesystem::path& dir) {
  std::error_code ec;
  if (std::filesystem::is_directory(dir, ec)) return;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    logf("veltrix: cannot create {}: {}", dir.string(), ec.message());
    return;
  }
  ::chmod(dir.c_str(), 0700);
}

}  // namespace

std::filesystem::path documentsDir() {
  std::filesystem::path dir;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    if (state().documents.empty()) state().documents = fromEnvironment();
    dir = state().documents;
  }
  ensureDirectory(dir);
  return dir;
}

void setDocumentsDir(std::filesystem::path dir) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().documents = std::move(dir);
}

std::filesystem::path resourceDir() {
  std::lock_guard<std::mutex> lock(state().mutex);
  if (!state().resources.empty()) return state().resources;
  // NOLINTNEXTLINE(concurrency-mt-unsafe): read only
  if (const char* dir = std::getenv("VELTRIX_RESOURCE_DIR"); dir && *dir) return dir;
#ifdef VELTRIX_SOURCE_RESOURCE_DIR
  return VELTRIX_SOURCE_RESOURCE_DIR;
#else
  return "resources";
#endif
}

void setResourceDir(std::filesystem::path dir) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().resources = std::move(dir);
}

}  // namespace veltrix::platform
