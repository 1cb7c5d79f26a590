#include "veltrix/registry/file_logger.h"

#include <condition_variable>
#include <system_error>
#include <utility>
#include <vector>

#include "veltrix/platform/card_redaction.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/process_exit.h"
#include "veltrix/platform/time_format.h"

namespace veltrix::registry {

struct FileLogger::Writer {
  std::mutex mutex;
  std::condition_variable wake;     // the thread: entries queued, or stop
  std::condition_variable flushed;  // flush(): a batch is on storage
  std::vector<Entry> queue;
  std::uint64_t queued = 0;   // entries handed to the thread, ever
  std::uint64_t written = 0;  // of those, written and flushed
  bool stopping = false;
  bool running = true;  // false once the thread has written all and ended
  platform::OwnedThread thread;
  platform::ExitStop exitStop;

  // Lets the thread write what is queued and end, waiting for it at most
  // until `deadline`.
  void stop(std::optional<platform::ExitDeadline> deadline) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    wake.notify_one();
    thread.finish(deadline);
  }
};

FileLogger& FileLogger::sharedLogger() {
  // The transports write through the platform's seam: this is the file
  // behind it from the first use on.
  static FileLogger* logger = [] {
    auto* made = new FileLogger(platform::documentsDir() / kLogFileName);
    platform::installLogFile(made);
    return made;
  }();
  return *logger;
}

FileLogger::FileLogger(std::filesystem::path path)
    : logFilePath_(std::move(path)), writer_(std::make_unique<Writer>()) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    setupLogFile();
  }
  writer_->thread.start([this] { writerLoop(); });
  // Last of all at exit: what the queues and threads before it log still
  // reaches the file.
  writer_->exitStop =
      platform::ExitStop(platform::ExitStage::kLogFile,
                         [writer = writer_.get()](platform::ExitDeadline d) { writer->stop(d); });
  // Made during exit (from a host's exit handler that runs after the
  // library's stops): nobody would wait for the thread, so it ends now and
  // every entry is written on its caller's thread.
  if (!writer_->exitStop.registered()) writer_->stop(std::nullopt);
}

FileLogger::~FileLogger() {
  writer_->exitStop.reset();
  writer_->stop(std::nullopt);
}

void FileLogger::setupLogFile() { file_.open(logFilePath_); }

void FileLogger::logMessage(std::string_view message) {
  Entry entry{platform::formatLocalTimestamp(platform::nowMillis()), std::string(message)};
  {
    std::lock_guard<std::mutex> lock(writer_->mutex);
    if (writer_->running) {
      // The thread looks at the queue before it sleeps: only the first
      // entry of a batch needs to wake it.
      const bool first = writer_->queue.empty();
      writer_->queue.push_back(std::move(entry));
      ++writer_->queued;
      if (first) writer_->wake.notify_one();
      return;
    }
  }
  // The writer has ended (the process is exiting): write it here.
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  writeLocked(entry);
  file_.sync();
}

void FileLogger::writeLocked(const Entry& entry) {
  std::string line = "[";
  line += entry.stamp;
  line += "] ";
  // Exchange texts are logged whole; card data must not rest in the file.
  line += platform::redactCardData(entry.message);
  line.push_back('\n');
  // A handle lost to a failed restart (or a file removed behind our back
  // that could not be reopened) is retried on every entry.
  if (!file_.isOpen()) setupLogFile();
  if (file_.size() > kLogFileMaxBytes) clearLogFileLocked();
  if (file_.isOpen()) file_.append(line);
}

void FileLogger::writerLoop() {
  Writer& w = *writer_;
  std::vector<Entry> batch;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(w.mutex);
      w.written += batch.size();
      w.flushed.notify_all();
      batch.clear();
      w.wake.wait(lock, [&w] { return w.stopping || !w.queue.empty(); });
      if (w.queue.empty()) {
        // Stopping, and everything is written: later entries are written
        // by their callers.
        w.running = false;
        w.flushed.notify_all();
        return;
      }
      batch.swap(w.queue);
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (const Entry& entry : batch) writeLocked(entry);
    // One flush to storage for the whole batch.
    if (file_.isOpen()) file_.sync();
  }
}

void FileLogger::flush() const {
  Writer& w = *writer_;
  std::unique_lock<std::mutex> lock(w.mutex);
  const std::uint64_t target = w.queued;
  w.flushed.wait(lock, [&] { return w.written >= target || !w.running; });
}

std::optional<std::string> FileLogger::getLogFileData() const {
  flush();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return platform::readWholeFile(logFilePath_);
}

bool FileLogger::clearLogFile() {
  flush();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return clearLogFileLocked();
}

bool FileLogger::clearLogFileLocked() {
  file_.close();
  std::error_code ec;
  if (!std::filesystem::remove(logFilePath_, ec) || ec) return false;
  setupLogFile();
  return true;
}

}  // namespace veltrix::registry
