// The second thread of Platform::MakeBeside on the test machine: a
// std::thread and two semaphores, as the Windows build has them.
#pragma once

#include <semaphore>
#include <thread>

#include "platform/Platform.h"

namespace qs::test {

class ThreadBeside : public Beside {
 public:
  // startFails: Start reports that no thread was had. neverReady: Ready
  // never finds a turn, as when the other side is always behind.
  explicit ThreadBeside(bool startFails = false, bool neverReady = false)
      : startFails_(startFails), neverReady_(neverReady) {}
  ~ThreadBeside() override { Join(); }
  bool Start(void (*work)(void*), void* context) override {
    if (startFails_ || thread_.joinable()) return false;
    thread_ = std::thread(work, context);
    return true;
  }
  void Join() override {
    if (thread_.joinable()) thread_.join();
  }
  void Post(int counter) override { counters_[counter].release(); }
  void Await(int counter) override { counters_[counter].acquire(); }
  bool Ready(int counter) override { return !neverReady_ && counters_[counter].try_acquire(); }

 private:
  bool startFails_, neverReady_;
  std::thread thread_;
  std::counting_semaphore<> counters_[2]{std::counting_semaphore<>(0), std::counting_semaphore<>(0)};
};

}  // namespace qs::test
