#include "toolkit/worker.h"

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>  // also std::chrono's clocks: <chrono> itself does not compile with a CP932 execution charset

namespace orv {

void WorkerContext::SetStatus(std::string_view text) {
  std::lock_guard lock(boxMutex_);
  if (box_) box_->SetStatus(text);
}

void WorkerContext::SetRange(uint32_t maximum) {
  std::lock_guard lock(boxMutex_);
  if (box_) box_->SetRange(maximum);
}

void WorkerContext::SetPosition(uint32_t position) {
  std::lock_guard lock(boxMutex_);
  if (box_) box_->SetPosition(position);
}

bool WorkerContext::StopRequested() const {
  std::lock_guard lock(stopMutex_);
  return stop_;
}

void WorkerContext::RequestStop() {
  std::lock_guard lock(stopMutex_);
  stop_ = true;
}

void WorkerContext::SetBox(ProgressSink* box) {
  std::lock_guard lock(boxMutex_);
  box_ = box;
}

int RunWorkerWithProgress(Ui& ui, const ProgressBoxSpec& boxSpec,
                          const std::function<void(WorkerContext&)>& work,
                          const std::function<void()>& onCloseRequest, const WorkerTick& tick) {
  WorkerContext context;
  std::unique_ptr<ProgressBox> box = ui.OpenProgress(boxSpec, [&context, &onCloseRequest] {
    context.RequestStop();
    if (onCloseRequest) onCloseRequest();
  });
  if (!box) return -1;

  context.SetBox(box.get());

  std::atomic<bool> running{true};
  std::exception_ptr failure;
  std::thread worker;
  try {
    worker = std::thread([&] {
      try {
        work(context);
      } catch (...) {
        failure = std::current_exception();
      }
      running.store(false, std::memory_order_release);
    });
  } catch (const std::system_error&) {
    context.SetBox(nullptr);
    box->Close();
    return -1;
  }

  using Clock = std::chrono::steady_clock;
  auto lastTick = Clock::now();
  while (box->IsOpen() && running.load(std::memory_order_acquire)) {
    if (!ui.ProcessMessages(100)) {
      context.RequestStop();
      break;
    }
    if (tick.onTick && box->IsOpen() && running.load(std::memory_order_acquire)) {
      const auto now = Clock::now();
      if (now - lastTick >= std::chrono::milliseconds(tick.periodMs)) {
        lastTick = now;
        tick.onTick(context);
      }
    }
  }
  // A box that is gone while the work runs was closed by the user, whatever way it went; the
  // join below must not wait for work nobody is watching any more.
  if (!box->IsOpen()) context.RequestStop();
  worker.join();
  context.SetBox(nullptr);
  box->Close();
  if (failure) std::rethrow_exception(failure);
  return 0;
}

}  // namespace orv
