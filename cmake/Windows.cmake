# The cross build: SETUP.EXE, the automation driver, the contract tests.

add_library(platform_win32 STATIC platform/win32/Win32Platform.cpp platform/win32/Elevated.cpp
                                  platform/win32/Wide.cpp)
target_link_libraries(platform_win32 PUBLIC setup_logic shell32 ole32 uuid)

# No runtime DLLs beside the program: the C and C++ runtimes are linked in.
if(MSVC)
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
  set(QS_STATIC_LINK "")
  set(QS_STRIP "")
else()
  set(QS_STATIC_LINK -static -static-libgcc -static-libstdc++)
  set(QS_STRIP -s)
endif()

add_executable(SETUP WIN32
  app/WinMain.cpp
  app/LibraryHooks.cpp
  app/Win32Constants.cpp
  app/Application.cpp
  app/Back.cpp
  app/MainWindow.cpp
  app/GroupBox.cpp
  app/Deploy.cpp
  app/Start.cpp
  app/Setup.rc
  ui/FldrDlg.cpp
)
set_target_properties(SETUP PROPERTIES OUTPUT_NAME SETUP SUFFIX .EXE)
target_link_libraries(SETUP PRIVATE setup_app platform_win32 user32 gdi32 advapi32 shell32 ole32
                      ${QS_STATIC_LINK} ${QS_STRIP})
if(MSVC)
  # The manifest comes from app/Setup.rc.
  target_link_options(SETUP PRIVATE /MANIFEST:NO)
endif()

# Automation driver for the end-to-end tests (a console program).
add_executable(qdrive tests/e2e/driver/qdrive.cpp)
target_link_libraries(qdrive PRIVATE user32 gdi32 shell32 advapi32 ${QS_STATIC_LINK})

# GoogleTest from Debian's sources, built for Windows, for the platform
# contract against the real Win32 implementation. It needs std::mutex, which
# the win32 thread model's library lacks: then the contract tests come from a
# build of their own with the posix model, copied here.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("#include <mutex>\nstd::mutex m;\nint main() { return 0; }"
                          QS_HAS_STD_MUTEX)
set(QS_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest sources")
if(EXISTS ${QS_GTEST_SOURCE}/CMakeLists.txt AND QS_HAS_STD_MUTEX)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QS_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest's own sources keep the compiler's default character sets.
  set_property(TARGET gtest PROPERTY COMPILE_OPTIONS "")
  add_executable(contract_win32 tests/contract/PlatformContract.cpp tests/contract/Win32Main.cpp)
  target_link_libraries(contract_win32 PRIVATE platform_win32 gtest advapi32 ${QS_STATIC_LINK})
elseif(EXISTS ${QS_GTEST_SOURCE}/CMakeLists.txt AND CMAKE_TOOLCHAIN_FILE)
  include(ExternalProject)
  ExternalProject_Add(contract_posix
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/contract-posix
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DQS_THREAD_MODEL=posix
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target contract_win32
    BUILD_ALWAYS ON
    INSTALL_COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/contract_win32.exe
                    ${CMAKE_BINARY_DIR}/contract_win32.exe)
endif()

add_custom_command(TARGET SETUP POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:SETUP> -DOBJDUMP=${CMAKE_OBJDUMP} -P ${CMAKE_SOURCE_DIR}/cmake/ReportExe.cmake)

# The packager's tool as a console program, and the LZ API peer of the codec.
add_executable(setupkit tools/setupkit/main.cpp)
target_link_libraries(setupkit PRIVATE setupkit_lib ${QS_STATIC_LINK})
# The bundle reader's speed on the real platform (bench/bundle_bench.sh).
add_executable(unpack_bench bench/unpack_bench.cpp)
target_link_libraries(unpack_bench PRIVATE platform_win32 ${QS_STATIC_LINK})
add_executable(lzpeer tests/peer/LzPeer.cpp)
target_link_libraries(lzpeer PRIVATE setup_logic lz32 ${QS_STATIC_LINK})

# The DLL-planting test's programs: the marker DLL planted under system DLL
# names (kernel32 only, no runtime), a program that imports what SETUP.EXE
# imports and ends at once, and an unhardened program as the negative control.
if(NOT MSVC)
  add_library(plant_marker SHARED tests/planting/Marker.cpp)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(QS_MARKER_ENTRY _MarkerMain@12)
  else()
    set(QS_MARKER_ENTRY MarkerMain)
  endif()
  set_target_properties(plant_marker PROPERTIES PREFIX "" OUTPUT_NAME plant_marker)
  target_compile_options(plant_marker PRIVATE -fno-exceptions -fno-asynchronous-unwind-tables)
  target_link_options(plant_marker PRIVATE -nostdlib -Wl,-e,${QS_MARKER_ENTRY})
  target_link_libraries(plant_marker PRIVATE kernel32)
  add_executable(plant_bare WIN32 tests/planting/Bare.cpp)
  target_link_libraries(plant_bare PRIVATE user32 gdi32 advapi32 shell32 ole32 ${QS_STATIC_LINK})
  add_executable(plant_unhardened WIN32 tests/planting/Unhardened.cpp)
  target_link_libraries(plant_unhardened PRIVATE comctl32 user32 ole32 shell32 uuid ${QS_STATIC_LINK})
endif()
