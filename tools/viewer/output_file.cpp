#include "tools/viewer/output_file.h"

namespace corvane::viewer {

// Text mode: on Windows each line ends in CR LF, as the suite's logs do.
OutputFile::OutputFile(const std::string& path) : file_(std::fopen(path.c_str(), "a")) {
  if (file_) writer_ = std::thread([this] { write_queued(); });
}

OutputFile::~OutputFile() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_one();
  if (writer_.joinable()) writer_.join();
}

void OutputFile::append(std::string line) {
  if (!file_) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_ += line;
  }
  wake_.notify_one();
}

// Takes whatever is queued in one go, so a burst of records costs one write.
void OutputFile::write_queued() {
  std::string batch;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return closing_ || !queued_.empty(); });
    if (queued_.empty()) return;  // closing, all written
    batch.swap(queued_);
    lock.unlock();
    std::fwrite(batch.data(), 1, batch.size(), file_.get());
    std::fflush(file_.get());
    batch.clear();
    lock.lock();
  }
}

}  // namespace corvane::viewer
