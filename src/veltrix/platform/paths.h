// Where the library keeps its files and finds its resources.
//
// Documents directory: set by the host (or a test) before first use, else
// $VELTRIX_DATA_DIR, else $XDG_DATA_HOME/veltrix, else
// $HOME/.local/share/veltrix. Created on demand with mode 0700. Once the
// library has looked it up it is in use (the database, the log file and the
// device identifier live there for the rest of the process), and
// setDocumentsDir refuses another one.
// Resource directory (the artwork in images/ and the services property
// list): set by the host, else $VELTRIX_RESOURCE_DIR, else the first of
// these that holds the property list: share/veltrix beside the shared
// library's own folder, share/veltrix beside the program's folder (both
// relative, so an installed tree may move), the resources folder of the
// source tree the library was built from, the data folder it was configured
// to install into. When none holds it: the relative "resources", with one
// line in the platform log naming the folders looked in.
// Thread-safe.
#pragma once

#include <filesystem>

namespace veltrix::platform {

std::filesystem::path documentsDir();
// False, with a line in the platform log, when another directory is already
// in use; the one in use stays.
bool setDocumentsDir(std::filesystem::path dir);
// Sets the directory whether or not one is in use (tests: each takes a
// private directory, while the process's singletons keep what they opened).
void setDocumentsDirForTesting(std::filesystem::path dir);

std::filesystem::path resourceDir();
void setResourceDir(std::filesystem::path dir);

}  // namespace veltrix::platform
