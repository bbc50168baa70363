// A one-line progress note on a terminal's standard error while a long call
// runs; nothing when standard error is not a terminal.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace vant::cli {

class Progress {
 public:
  // Shows "<what>: N s" and counts up every second until destroyed.
  explicit Progress(std::string what);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

 private:
  void run();

  std::string what_;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace vant::cli
