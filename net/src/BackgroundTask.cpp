#include "tembrik/net/BackgroundTask.h"

namespace tembrik::net {

BackgroundTask::BackgroundTask(Work work, std::function<void()> finished)
    : thread_([this, work = std::move(work), finished = std::move(finished)] {
          try {
              work(cancel_);
          } catch (...) {
              error_ = std::current_exception();
          }
          done_ = true;
          if (finished)
              finished();
      }) {}

BackgroundTask::~BackgroundTask() {
    cancel_ = true;
    if (thread_.joinable())
        thread_.join();
}

} // namespace tembrik::net
