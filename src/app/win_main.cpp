// The Windows program's entry point.
#include <windows.h>

#include "app/app_shell.h"

namespace {

// How many copies of the program run, minus one. The section is shared by every process that
// runs this executable, so a second copy sees the first one's increment.
volatile LONG g_runningCopies __attribute__((section(".orvshr"), shared)) = -1;

// The application object is built before the entry point runs.
orv::OrvaneApp g_app;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return orv::RunProgram(g_app, instance, &g_runningCopies);
}
