# Cross-build for 64-bit Windows with MinGW-w64 (posix thread model: GoogleTest and
# std::thread need it). Tests run under Wine through CMAKE_CROSSCOMPILING_EMULATOR, which
# the top-level CMakeLists sets once the build folder (and so the Wine prefix) is known.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QXV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QXV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QXV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QXV_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QXV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
