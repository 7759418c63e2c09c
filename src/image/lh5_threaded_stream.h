// What the two threaded LH5 streams share: the codec run on a worker thread of its own, the ring
// between that worker and the caller with the mutex that guards it and its two wake-ups, and the
// result of the run. Lh5EncodeStream and Lh5DecodeStream add the direction: which side fills the
// ring and which drains it.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "image/byte_ring.h"
#include "image/lh5_codec.h"

namespace orv {

class Lh5ThreadedStream : public Lh5Codec {
 public:
  // Marks the stream closed, so that the side still moving data gives up, waits for the worker
  // without a time limit and frees the ring. Returns 0; harmless when nothing runs.
  int Close();
  // 0 when the last run ended well, else what ended it: a Fail code, or -1 when the codec could
  // not get its memory. Valid after Close.
  int RunResult() const { return runResult_; }

 protected:
  Lh5ThreadedStream() = default;
  // A derived stream closes itself in its own destructor: the worker calls its overrides.
  ~Lh5ThreadedStream() override;

  // Ends a run still going, allocates the ring (two windows, at least 64 KiB) and starts Run on
  // a new worker thread. 0 or -1.
  int StartWorker();
  // The codec's whole run, on the worker thread: 0 or what ended it.
  virtual int Run() = 0;

  // The mutex guards the ring, running_ and closed_. The caller waits on one condition, the
  // worker on the other; each is notified after the other side moved data, and both when the
  // worker ends or the stream is closed.
  std::mutex mutex_;
  std::condition_variable dataAdded_;
  std::condition_variable roomMade_;
  ByteRing ring_;
  bool running_ = false;  // from StartWorker until the worker's run has ended
  bool closed_ = false;   // set by Close

 private:
  void Work();

  int runResult_ = 0;
  std::thread thread_;
};

}  // namespace orv
