// What a benchmark must measure on a virtual drive with the timing model and the simulated
// clock, worked out from the timing model alone: a model drive whose head and clock move as the
// virtual drive's do, driven through the commands a run sends, in order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "bench/bench_random.h"
#include "bench/benchmark_result.h"
#include "bench/benchmark_text.h"
#include "vdrive/timing.h"

namespace orv::test {

struct ModelDrive {
  TimingModel timing;
  uint64_t blocks = 0;
  uint32_t blockLength = 0;
  bool seekCommand = true;    // false: SEEK(10) is refused
  bool verifyCommand = true;  // false: VERIFY(10) is refused
  HeadPosition head;
  int64_t now = 0;  // microseconds

  // A refused command costs the overhead and leaves the head where it is.
  void Command(bool addressed, uint64_t lba, uint32_t count) {
    now += DelayMicroseconds(CommandDelayMs(timing, blocks, blockLength, head, addressed, lba, count));
  }
  void Seek(uint64_t lba) { Command(seekCommand, lba, 0); }
  void Verify(uint64_t lba) { Command(verifyCommand, lba, 1); }
  void Read(uint64_t lba, uint32_t count) { Command(true, lba, count); }
  void TestUnitReady() { Command(false, 0, 0); }
  void Pause(uint32_t ms) { now += int64_t{ms} * 1000; }
};

// The rows of a whole run with the fixed settings; `stride` is the sequential seek's.
inline std::vector<BenchmarkResult> ModelRows(ModelDrive m, uint32_t stride) {
  constexpr int64_t kTimed = 3000000;  // microseconds
  const uint64_t L = m.blocks;
  const uint32_t B = m.blockLength;
  std::vector<BenchmarkResult> rows;
  BenchRandom random;

  // Zero motion: the two probes, then each test after a seek to 0 and 100 ms.
  m.Seek(0);
  m.Verify(0);
  const char* const titles[3] = {kTitleTestUnitReady, kTitleNoMotionSeek, kTitleRotation};
  for (int test = 0; test < 3; ++test) {
    m.Seek(0);
    m.Pause(100);
    const int64_t t0 = m.now;
    for (int i = 0; i < 128; ++i) {
      if (test == 0) m.TestUnitReady();
      if (test == 1) m.seekCommand ? m.Seek(0) : m.Read(0, 1);
      if (test == 2) m.verifyCommand ? m.Verify(0) : m.Read(0, 0);
    }
    const bool fallback = (test == 1 && !m.seekCommand) || (test == 2 && !m.verifyCommand);
    rows.push_back({kBenchCommandTime, titles[test], "", (m.now - t0) / 128, fallback ? kReadFallbackNote : ""});
  }

  // Seeks: the probes again, then 3 s of each pattern.
  m.Seek(0);
  m.Verify(0);
  for (const bool isRandom : {false, true}) {
    m.Seek(0);
    m.Pause(100);
    const int64_t t0 = m.now;
    uint64_t p = 0, count = 0;
    while (m.now < t0 + kTimed) {
      m.seekCommand ? m.Seek(p) : m.Read(p, 1);
      ++count;
      p = isRandom ? uint64_t{random.Next()} * L / 32768 : (p + stride >= L ? 0 : p + stride);
    }
    rows.push_back({kBenchSeekTime, isRandom ? kTitleRandomSeek : SequentialSeekTitle(stride), "",
                    (m.now - t0) / static_cast<int64_t>(count), m.seekCommand ? "" : kReadFallbackNote});
  }

  // Transfers: the distinct sizes of this block length, one block / 16384 / 65536 bytes.
  std::vector<uint32_t> sizes;  // in blocks
  for (uint32_t n : {1u, (16384 + B - 1) / B, 65536 / B}) {
    bool seen = false;
    for (uint32_t s : sizes) seen = seen || s == n;
    if (!seen && n <= L) sizes.push_back(n);  // a size longer than the disc is not measured
  }
  auto measure = [&](bool isRandom, uint64_t first, uint32_t n) {
    m.Pause(500);
    random.Seed(0);
    const int64_t t0 = m.now;
    uint64_t p = first, total = 0;
    while (m.now < t0 + kTimed) {
      if (p + n >= L) p = first;
      m.Read(p, n);
      total += n;
      if (isRandom) {
        do p = uint64_t{random.Next()} * L / 32768; while (p > L - n);
      } else {
        p = p + n >= L ? first : p + n;
      }
    }
    // floor(bytes * 10^6 / us), exact in 64 bits (32-bit targets have no 128-bit integer).
    const uint64_t bytes = uint64_t{B} * total, us = static_cast<uint64_t>(m.now - t0);
    return static_cast<int64_t>(bytes / us * 1000000 + bytes % us * 1000000 / us);
  };
  std::vector<int64_t> startRates, endRates;
  for (uint32_t n : sizes) {
    startRates.push_back(measure(false, 0, n));
    rows.push_back({kBenchTransferRate, TransferTitle(false, kRegionStart), TransferSizeText(n * B), startRates.back(), ""});
  }
  for (uint32_t n : sizes) {
    // The last 5%, or the last transfer's worth of blocks when that is longer.
    endRates.push_back(measure(false, std::min(L - L * 5 / 100, L - n), n));
    rows.push_back({kBenchTransferRate, TransferTitle(false, kRegionEnd), TransferSizeText(n * B), endRates.back(), ""});
  }
  for (size_t i = 0; i < sizes.size(); ++i) {
    rows.push_back({kBenchTransferRate, TransferTitle(false, kRegionAverage), TransferSizeText(sizes[i] * B),
                    (startRates[i] + endRates[i]) / 2, ""});
  }
  for (uint32_t n : sizes) {
    rows.push_back({kBenchTransferRate, TransferTitle(true, ""), TransferSizeText(n * B), measure(true, 0, n), ""});
  }
  return rows;
}

}  // namespace orv::test
