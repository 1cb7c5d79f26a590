// Where the library keeps its files and finds its resources.
//
// Documents directory: set by the host (or a test) before first use, else
// $VELTRIX_DATA_DIR, else $XDG_DATA_HOME/veltrix, else
// $HOME/.local/share/veltrix. Created on demand with mode 0700.
// Resource directory (the artwork in images/ and the services property
// list): set by the host, else $VELTRIX_RESOURCE_DIR, else the first of
// these that holds the property list: share/veltrix beside the shared
// library's own folder, share/veltrix beside the program's folder (both
// relative, so an installed tree may move), the resources folder of the
// source tree the library was built from, the data folder it was configured
// to install into.
// Thread-safe.
#pragma once

#include <filesystem>

namespace veltrix::platform {

std::filesystem::path documentsDir();
void setDocumentsDir(std::filesystem::path dir);

std::filesystem::path resourceDir();
void setResourceDir(std::filesystem::path dir);

}  // namespace veltrix::platform
