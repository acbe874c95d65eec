# Cross toolchain: 32-bit Windows with MinGW-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
# The win32 thread model by default: SETUP.EXE starts no threads, and the
# posix model's thread library would be a sixth of it. GoogleTest needs the
# posix model's std::mutex, so the contract tests are built with
# QS_THREAD_MODEL=posix in a build of their own (cmake/Windows.cmake).
if(NOT QS_THREAD_MODEL)
  set(QS_THREAD_MODEL win32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QS_THREAD_MODEL)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${QS_THREAD_MODEL})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${QS_THREAD_MODEL})
# Archivers that keep link-time optimisation objects usable.
set(CMAKE_AR i686-w64-mingw32-gcc-ar-${QS_THREAD_MODEL} CACHE FILEPATH "")
set(CMAKE_RANLIB i686-w64-mingw32-gcc-ranlib-${QS_THREAD_MODEL} CACHE FILEPATH "")
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
