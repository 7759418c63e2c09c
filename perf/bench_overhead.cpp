// What one command costs the program itself on a virtual drive without its timing model: the
// handle, the command set, the pass-through request, the virtual port and the emulator, with
// no drive time on top. The benchmark's three zero-motion rows time exactly these commands
// (TEST UNIT READY, SEEK(10) to block 0, VERIFY(10) of block 0; READ(10) of one block where a
// drive lacks SEEK), so the rows of such a drive are this cost (see docs/bench-overhead.md).
#include <benchmark/benchmark.h>

#include <memory>

#include "device/drive_list.h"
#include "device/ports/closed_port.h"
#include "device/ports/virtual_port.h"
#include "device/scsi_commands.h"
#include "vdrive/drive_config.h"

namespace orv {
namespace {

// E: a virtual DVD-RAM drive with its disc in memory, opened as the benchmark opens it.
class Rig {
 public:
  Rig() {
    auto port = std::make_unique<VirtualPort>(MakeClosedPort(MakeOsPort()));
    port->AddDrive('E', std::shared_ptr<VirtualDrive>(MakeVirtualDrive(*FindDrivePreset("dvdram"))));
    list_ = std::make_unique<DriveList>(std::move(port));
    list_->Scan(nullptr);
    list_->Device().Open(list_->Records().front().path.c_str(), kOpenSharedReadWrite);
  }
  DeviceHandle& Device() { return list_->Device(); }
  UnitAddress Unit() const { return list_->Records().front().Address(); }

 private:
  std::unique_ptr<DriveList> list_;
};

Rig& TheRig() {
  static Rig rig;
  return rig;
}

template <class Command>
void Run(benchmark::State& state, Command command) {
  Rig& rig = TheRig();
  int failures = 0;
  for (auto _ : state) failures += command(rig.Device(), rig.Unit()) < 0;
  if (failures) state.SkipWithError("a command failed");
  state.SetItemsProcessed(state.iterations());
}

void TestUnitReadyCommand(benchmark::State& state) {
  Run(state, [](DeviceHandle& d, UnitAddress u) { return TestUnitReady(d, u); });
}
void NoMotionSeekCommand(benchmark::State& state) {
  Run(state, [](DeviceHandle& d, UnitAddress u) { return Seek10(d, u, 0); });
}
void VerifyBlockZeroCommand(benchmark::State& state) {
  Run(state, [](DeviceHandle& d, UnitAddress u) { return Verify10(d, u, 0, 1); });
}
void ReadOneBlockCommand(benchmark::State& state) {
  static PageBuffer buffer(2048);
  Run(state, [](DeviceHandle& d, UnitAddress u) { return Read10(d, u, 0, 1, 2048, buffer.data()); });
}

BENCHMARK(TestUnitReadyCommand);
BENCHMARK(NoMotionSeekCommand);
BENCHMARK(VerifyBlockZeroCommand);
BENCHMARK(ReadOneBlockCommand);

}  // namespace
}  // namespace orv

BENCHMARK_MAIN();
