set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORVANE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The 32-bit test executables run under Wine's 32-bit loader. This machine's kernel runs no
# 32-bit code, so scripts/qemu/win32-test.sh runs this build's CTest list in a guest kernel.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine32-run.sh)
