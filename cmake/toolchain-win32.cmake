set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORVANE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# No emulator: this machine's Wine runs 64-bit executables only, so the 32-bit build is
# compiled and linked, and its layout checks are static_asserts.
