#include "veltrix/platform/paths.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <string>
#include <system_error>

#include "veltrix/platform/log.h"

namespace veltrix::platform {
namespace {

struct PathState {
  std::mutex mutex;
  std::filesystem::path documents;
  bool documentsInUse = false;  // documentsDir() has handed it out
  std::filesystem::path resources;
};

PathState& pathState() {
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
    std::lock_guard<std::mutex> lock(pathState().mutex);
    if (pathState().documents.empty()) pathState().documents = fromEnvironment();
    pathState().documentsInUse = true;
    dir = pathState().documents;
  }
  ensureDirectory(dir);
  return dir;
}

bool setDocumentsDir(std::filesystem::path dir) {
  std::filesystem::path inUse;
  {
    std::lock_guard<std::mutex> lock(pathState().mutex);
    if (!pathState().documentsInUse || pathState().documents == dir) {
      pathState().documents = std::move(dir);
      return true;
    }
    inUse = pathState().documents;
  }
  // Taking it would split the state: the database and the log file stay
  // where they were opened while later files would go to the new place.
  logf("veltrix: setDocumentsDir({}) refused: the data directory {} is already in use",
       dir.string(), inUse.string());
  return false;
}

void setDocumentsDirForTesting(std::filesystem::path dir) {
  std::lock_guard<std::mutex> lock(pathState().mutex);
  pathState().documents = std::move(dir);
}

namespace {

constexpr const char* kResourceMarker = "tavio-services.plist";

bool holdsResources(const std::filesystem::path& dir) {
  std::error_code ec;
  return !dir.empty() && std::filesystem::is_regular_file(dir / kResourceMarker, ec);
}

// share/veltrix of the prefix whose bin/ or lib/ holds `file`.
std::filesystem::path besidePrefixOf(const std::filesystem::path& file) {
  if (file.empty() || !file.has_parent_path()) return {};
  return file.parent_path().parent_path() / "share" / "veltrix";
}

// The shared library this code lives in; empty when it is linked statically
// into the program (then dladdr names the program itself).
std::filesystem::path ownSharedLibrary() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&holdsResources), &info) == 0 || !info.dli_fname) return {};
  std::filesystem::path path(info.dli_fname);
  if (path.filename().string().find(".so") == std::string::npos) return {};
  return path;
}

std::filesystem::path ownProgram() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : path;
}

std::filesystem::path defaultResourceDir() {
  const std::filesystem::path candidates[] = {
      besidePrefixOf(ownSharedLibrary()),
      besidePrefixOf(ownProgram()),
#ifdef VELTRIX_SOURCE_RESOURCE_DIR
      VELTRIX_SOURCE_RESOURCE_DIR,
#endif
#ifdef VELTRIX_INSTALL_RESOURCE_DIR
      VELTRIX_INSTALL_RESOURCE_DIR,
#endif
  };
  std::string looked;
  for (const auto& dir : candidates) {
    if (holdsResources(dir)) return dir;
    // A shared library installed where it was configured to be names the
    // configured folder twice.
    if (dir.empty() || std::find(std::begin(candidates), &dir, dir) != &dir) continue;
    if (!looked.empty()) looked += ", ";
    looked += dir.string();
  }
  logf(
      "No resources (artwork, services list) found; looked in: {}; using ./resources; "
      "set VELTRIX_RESOURCE_DIR or call platform::setResourceDir",
      looked);
  return "resources";
}

}  // namespace

std::filesystem::path resourceDir() {
  {
    std::lock_guard<std::mutex> lock(pathState().mutex);
    if (!pathState().resources.empty()) return pathState().resources;
  }
  // NOLINTNEXTLINE(concurrency-mt-unsafe): read only
  if (const char* dir = std::getenv("VELTRIX_RESOURCE_DIR"); dir && *dir) return dir;
  // Looked up once: the answer cannot change while the program runs. Not
  // under the mutex: the lookup may log, and a host's log sink may ask for
  // documentsDir().
  static const std::filesystem::path found = defaultResourceDir();
  return found;
}

void setResourceDir(std::filesystem::path dir) {
  std::lock_guard<std::mutex> lock(pathState().mutex);
  pathState().resources = std::move(dir);
}

}  // namespace veltrix::platform
