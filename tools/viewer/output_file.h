// A file the viewer appends its records to as they arrive (--output). The
// lines are written and flushed by a thread of its own, so a record's
// arrival never waits for the disk.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace corvane::viewer {

class OutputFile {
 public:
  // Opens `path` for appending (created when missing); is_open() tells.
  explicit OutputFile(const std::string& path);
  // Writes what is still queued, then closes the file.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool is_open() const { return file_ != nullptr; }
  // Queues one line (with its line feed) to be written.
  void append(std::string line);

 private:
  void write_queued();

  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::string queued_;
  bool closing_ = false;
  std::thread writer_;
};

}  // namespace corvane::viewer
