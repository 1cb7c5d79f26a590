// A file opened for appending; writes and flushes to storage are separate,
// so a writer can flush once for several lines.
// Not thread-safe: its owner serialises access. Non-copyable (owns a
// descriptor).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace veltrix::platform {

class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Creates the file when missing and opens it at its end. False on failure.
  bool open(const std::filesystem::path& path);
  void close();
  bool isOpen() const { return fd_ >= 0; }

  // Writes all of `bytes`. False on failure.
  bool append(std::string_view bytes);
  // Flushes what was written to storage. False on failure.
  bool sync();
  // Size of the open file in bytes; -1 when closed or unknown.
  std::int64_t size() const;

 private:
  int fd_ = -1;
};

// An exclusive lock between processes (and between objects of one process)
// on the file at `path`, made when missing and never removed, held from
// construction while the object lives. The lock goes with its process, so a
// process that dies never leaves it held.
// Non-copyable (owns a descriptor); used by the thread that made it.
class FileLock {
 public:
  // Waits up to `timeout` for the lock; locked() says whether it was had.
  FileLock(const std::filesystem::path& path, std::chrono::milliseconds timeout);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The whole content of a file, or nullopt when it cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

// Replaces the file at `path` with `bytes` (mode 0600): writes a temporary
// file beside it, flushes it to storage and renames it over the target, so
// a reader sees the old content or the new, never a part. False on failure.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace veltrix::platform
