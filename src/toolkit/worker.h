// The worker-with-progress runner: one operation's work on a worker thread while the
// user-interface thread keeps a progress box alive.
//
//   int rc = RunWorkerWithProgress(ui, boxSpec, [&](WorkerContext& ctx) {
//     ctx.SetRange(26);
//     for (...) {
//       ctx.SetStatus(text); ctx.SetPosition(i);
//       if (ctx.StopRequested()) break;   // the user pressed the box's button
//       ...
//     }
//   });
//
// The worker touches the box only through the context. The stop flag has a lock of its own, which
// the close request takes on the user-interface thread; the box's lock is held only while a
// progress call is passed on, so a box that waits for the user-interface thread (a window message
// sent across threads) can never wait on a thread that waits for the stop flag.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>

#include "toolkit/ui.h"

namespace orv {

// What the worker sees: the progress box and the stop flag, each behind a mutex of its own (see
// above: the stop flag's lock is never held while the box is called).
class WorkerContext : public ProgressSink {
 public:
  WorkerContext() = default;

  void SetStatus(std::string_view text) override;
  void SetRange(uint32_t maximum) override;
  void SetPosition(uint32_t position) override;

  bool StopRequested() const;
  void RequestStop();

  // Connects the context to a box, or detaches it (null): later progress calls go nowhere.
  // The runner detaches the box before the box is destroyed.
  void SetBox(ProgressSink* box);

 private:
  mutable std::mutex boxMutex_;
  mutable std::mutex stopMutex_;
  ProgressSink* box_ = nullptr;
  bool stop_ = false;
};

// A periodic call on the user-interface thread while the work runs, in the pump loop between
// message batches: what a window timer does for an operation whose progress text is computed
// on the user-interface thread from counters the worker keeps. The period is a least interval
// (milliseconds of the monotonic clock); a busy message queue never makes it run more often, an
// idle one runs it within the 100 ms idle wait after it is due.
struct WorkerTick {
  uint32_t periodMs = 0;
  std::function<void(WorkerContext&)> onTick;  // empty: no tick
};

// Opens the progress box, starts `work` on a std::thread, pumps messages (Ui::ProcessMessages,
// waiting 100 ms when idle) while the box is open and the worker runs, then joins the worker and
// closes the box. The box's close request sets the context's stop flag and then calls
// `onCloseRequest` when one is given. A quit request, or the box being gone while the work
// runs, also sets the stop flag. `tick`, when given, runs on this thread as described above,
// never after the work has ended.
//
// Returns 0 when the work ran (whatever it did), -1 when the box could not be opened (the work
// has not started) or the thread could not be started. An exception thrown by the work is
// carried over and rethrown here, on the calling thread, after the join.
int RunWorkerWithProgress(Ui& ui, const ProgressBoxSpec& boxSpec,
                          const std::function<void(WorkerContext&)>& work,
                          const std::function<void()>& onCloseRequest = {},
                          const WorkerTick& tick = {});

}  // namespace orv
