// Two network namespaces joined by a veth pair on 10.213.7.0/24, for tests
// that need a real subnet (broadcast included) and the production ports:
// the "library" end is 10.213.7.1, the "terminal" end 10.213.7.2. The pair
// is made inside the namespaces, so nothing appears outside them, and both
// namespaces (with the pair) are deleted when the object goes, however the
// test ends. Needs root and iproute2.
//
// Test thread only. Non-copyable: the object owns the namespaces.
#pragma once

#include <string>
#include <vector>

namespace veltrix::testing {

class VethNamespaces {
 public:
  static constexpr const char* kLibraryAddress = "10.213.7.1";
  static constexpr const char* kTerminalAddress = "10.213.7.2";
  static constexpr const char* kBroadcast = "10.213.7.255";
  static constexpr const char* kLibraryInterface = "vx-lib";
  static constexpr const char* kTerminalInterface = "vx-term";

  // Namespace names carry the process id and `tag`, so tests running at
  // the same time do not meet.
  explicit VethNamespaces(const std::string& tag = "");
  ~VethNamespaces();
  VethNamespaces(const VethNamespaces&) = delete;
  VethNamespaces& operator=(const VethNamespaces&) = delete;

  // False, with the failing command and its output in `why`.
  bool create(std::string* why);

  const std::string& library() const { return library_; }
  const std::string& terminal() const { return terminal_; }

 private:
  std::string library_;
  std::string terminal_;
  std::vector<std::string> created_;
};

}  // namespace veltrix::testing
