# The native build: unit tests, the platform contract against the fake, the
# packager tools, and the end-to-end tests that run SETUP.EXE under Wine.

find_package(GTest REQUIRED)
include(GoogleTest)

# The sanitizer build (scripts/build.sh makes it in build/sanitize): the same
# logic and unit tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# any finding fatal. The native build runs its unit tests as one test.
option(QS_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(QS_SANITIZE)
  set(QS_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
  target_compile_options(setup_logic PUBLIC ${QS_SANITIZE_FLAGS})
  target_link_options(setup_logic PUBLIC ${QS_SANITIZE_FLAGS})
endif()

add_library(test_support STATIC tests/support/FaultyPlatform.cpp)
target_link_libraries(test_support PUBLIC fake_platform setup_app)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES} tests/contract/PlatformContract.cpp
                          tests/contract/FakeContract.cpp)
target_link_libraries(unit_tests PRIVATE test_support setupkit_lib GTest::gtest GTest::gmock GTest::gtest_main)
# The agreement of check and plan reads the reference's examples and the
# fuzzers' seeds.
target_compile_definitions(unit_tests PRIVATE QS_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
gtest_discover_tests(unit_tests TEST_PREFIX "unit." DISCOVERY_TIMEOUT 30)

set(QS_SANITIZE_DIR "" CACHE PATH "Build folder of the sanitizer build (QS_SANITIZE=ON)")
if(QS_SANITIZE_DIR)
  add_test(NAME sanitize.unit_tests COMMAND ${QS_SANITIZE_DIR}/unit_tests --gtest_brief=1)
  # Ordered after the Wine session's start, as the fuzzers are (below).
  set_tests_properties(sanitize.unit_tests PROPERTIES TIMEOUT 300 DEPENDS e2e.session.start
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1")
endif()

# The shipped SETUP.EXE (32-bit cross build), checked without running it.
set(QS_SHIP_DIR "" CACHE PATH "Cross build folder of the shipped 32-bit SETUP.EXE")
if(QS_SHIP_DIR)
  add_test(NAME build.setup_exe COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check_exe.sh
                                        i686-w64-mingw32-objdump ${QS_SHIP_DIR}/SETUP.EXE)
endif()

# End-to-end tests: need the cross build that this machine's Wine can run
# (QS_WINDOWS_TEST_DIR) and share one Wine session (display, prefix, server).
set(QS_WINDOWS_TEST_DIR "" CACHE PATH "Cross build folder whose programs the Wine tests run")
if(QS_WINDOWS_TEST_DIR)
  set(E2E_STATE ${CMAKE_BINARY_DIR}/e2e-state)
  set(SESSION ${CMAKE_SOURCE_DIR}/tests/e2e/session.sh)
  add_test(NAME e2e.session.start COMMAND ${SESSION} start ${E2E_STATE})
  add_test(NAME e2e.session.stop COMMAND ${SESSION} stop ${E2E_STATE})
  # A session's tests run one at a time (they share its display, prefix and
  # server), but beside the other sessions' and the native tests; sessions
  # start one at a time, each taking the next free display.
  set_tests_properties(e2e.session.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300
                       RESOURCE_LOCK "wine;displays")
  set_tests_properties(e2e.session.stop PROPERTIES FIXTURES_CLEANUP wine RESOURCE_LOCK wine)

  add_test(NAME contract.win32
           COMMAND ${SESSION} run ${E2E_STATE} wine ${QS_WINDOWS_TEST_DIR}/contract_win32.exe)
  set_tests_properties(contract.win32 PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300
                       RESOURCE_LOCK wine)

  file(GLOB E2E_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
  # The layout table is compiled in again: the tests read the window's texts
  # from it.
  add_executable(e2e_tests ${E2E_SOURCES} flow/MainLayout.cpp)
  target_compile_definitions(e2e_tests PRIVATE
    QS_WINDOWS_TEST_DIR="${QS_WINDOWS_TEST_DIR}"
    QS_E2E_STATE="${E2E_STATE}"
    QS_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QS_BINARY_DIR="${CMAKE_BINARY_DIR}"
    QS_SESSION="${SESSION}")
  target_link_libraries(e2e_tests PRIVATE GTest::gtest GTest::gtest_main)
  gtest_discover_tests(e2e_tests TEST_PREFIX "e2e." DISCOVERY_TIMEOUT 30
    PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300 RESOURCE_LOCK wine)

  # The same program on two other systems, each in a session and prefix of
  # its own: an English Windows (ANSI code page 1252), and a Japanese one
  # whose user's profile folder (and so TEMP and every shell folder) has a
  # name outside Shift-JIS. They run the contract, the start with the readme,
  # the sample installed and uninstalled both ways, and the whole-prefix
  # comparison; then the window must look exactly as under Japanese.
  set(QS_E2E_SYSTEMS "en|QS_E2E_LANG=en_US.UTF-8" "yoshida|QS_E2E_USER=𠮷田")
  set(QS_E2E_SYSTEM_TESTS "Shell.ReadmeThenReadyToInstall:Install.TheSampleProductInstallsAndUninstalls:Deploy.SilentInstallAndSilentUninstallOfTheSample:Runs.InstallThenUninstallLeavesOnlyWhatIsMeantToStay")
  set(QS_E2E_CAPTURES "")
  foreach(system ${QS_E2E_SYSTEMS})
    string(REPLACE "|" ";" parts ${system})
    list(GET parts 0 name)
    list(GET parts 1 setting)
    set(state ${CMAKE_BINARY_DIR}/e2e-state-${name})
    add_test(NAME e2e-${name}.session.start COMMAND env ${setting} ${SESSION} start ${state})
    add_test(NAME e2e-${name}.session.stop COMMAND ${SESSION} stop ${state})
    set_tests_properties(e2e-${name}.session.start PROPERTIES FIXTURES_SETUP wine-${name} TIMEOUT 300
                         RESOURCE_LOCK "wine-${name};displays")
    set_tests_properties(e2e-${name}.session.stop PROPERTIES FIXTURES_CLEANUP wine-${name}
                         RESOURCE_LOCK wine-${name})
    add_test(NAME contract-${name}.win32
             COMMAND ${SESSION} run ${state} wine ${QS_WINDOWS_TEST_DIR}/contract_win32.exe)
    set_tests_properties(contract-${name}.win32 PROPERTIES FIXTURES_REQUIRED wine-${name}
                         TIMEOUT 300 RESOURCE_LOCK wine-${name})
    gtest_discover_tests(e2e_tests TEST_PREFIX "e2e-${name}." DISCOVERY_TIMEOUT 30
      TEST_FILTER ${QS_E2E_SYSTEM_TESTS}
      PROPERTIES FIXTURES_REQUIRED wine-${name} TIMEOUT 300 RESOURCE_LOCK wine-${name}
                 ENVIRONMENT QS_E2E_STATE=${state})
    list(APPEND QS_E2E_CAPTURES ${state}/screens)
  endforeach()
  add_test(NAME e2e.systems.look_the_same
           COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/same_screens.sh ${E2E_STATE}/screens
                   ${QS_E2E_CAPTURES})
  set_tests_properties(e2e.systems.look_the_same PROPERTIES
    DEPENDS "e2e.Shell.ReadmeThenReadyToInstall;e2e-en.Shell.ReadmeThenReadyToInstall;e2e-yoshida.Shell.ReadmeThenReadyToInstall")
endif()

# --- SZDD: the packager's tool, the sample's compressed file, peers ---------

add_executable(setupkit tools/setupkit/main.cpp)
target_link_libraries(setupkit PRIVATE setupkit_lib)
add_test(NAME tools.setupkit COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/setupkit_test.sh
                                     $<TARGET_FILE:setupkit> ${CMAKE_BINARY_DIR}/setupkit-test)

# The reference's examples and snippets, through pack, check and plan.
set(QS_DOCS_SETUP_EXE "")
if(QS_SHIP_DIR)
  set(QS_DOCS_SETUP_EXE ${QS_SHIP_DIR}/SETUP.EXE)
endif()
add_test(NAME docs.examples COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/docs_test.sh
                                    $<TARGET_FILE:setupkit> ${CMAKE_SOURCE_DIR}/docs
                                    ${CMAKE_BINARY_DIR}/docs-test ${QS_DOCS_SETUP_EXE})

# The sample product packed from examples/sample (SETUP.EXE is added where
# it is shipped from: scripts/run-sample.sh, the Wine tests).
set(QS_SAMPLE_DIR ${CMAKE_BINARY_DIR}/sample)
file(GLOB_RECURSE QS_SAMPLE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/examples/sample/*)
add_custom_command(OUTPUT ${QS_SAMPLE_DIR}/SETUP.INI ${QS_SAMPLE_DIR}/MANUAL.TX_
  COMMAND setupkit pack ${CMAKE_SOURCE_DIR}/examples/sample -o ${QS_SAMPLE_DIR} --force --no-setup-exe
  DEPENDS setupkit ${QS_SAMPLE_SOURCES}
  COMMENT "Packing the sample product"
  VERBATIM)
add_custom_target(sample_packed ALL DEPENDS ${QS_SAMPLE_DIR}/SETUP.INI)

# The sample product as one signed file, with the shipped SETUP.EXE.
if(QS_SHIP_DIR)
  add_test(NAME tools.bundle COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/bundle_test.sh
                                     $<TARGET_FILE:setupkit> ${QS_SHIP_DIR}/SETUP.EXE ${QS_SAMPLE_DIR}
                                     ${CMAKE_BINARY_DIR}/bundle-test)
endif()

# Independent implementations: libmspack, Debian's msexpand and mscompress.
find_library(MSPACK_LIBRARY mspack REQUIRED)
find_program(MSEXPAND msexpand REQUIRED)
find_program(MSCOMPRESS mscompress REQUIRED)
add_executable(szdd_peer tests/peer/MspackPeer.cpp)
target_link_libraries(szdd_peer PRIVATE setup_logic ${MSPACK_LIBRARY})
set(PEER_WORK ${CMAKE_BINARY_DIR}/peer-work)
foreach(peer libmspack msexpand mscompress)
  file(MAKE_DIRECTORY ${PEER_WORK}/${peer})
endforeach()
add_test(NAME peer.libmspack COMMAND szdd_peer libmspack ${PEER_WORK}/libmspack)
add_test(NAME peer.msexpand COMMAND szdd_peer msexpand ${MSEXPAND} ${PEER_WORK}/msexpand)
add_test(NAME peer.mscompress COMMAND szdd_peer mscompress ${MSCOMPRESS} ${PEER_WORK}/mscompress)
set_tests_properties(peer.mscompress PROPERTIES TIMEOUT 300)

# The benchmark (not a test): szdd_bench [mscompress] [--no-mscompress].
add_executable(szdd_bench bench/szdd_bench.cpp)
target_link_libraries(szdd_bench PRIVATE setup_logic ${MSPACK_LIBRARY})

# The codec under libFuzzer, when clang++ and its fuzzer runtime
# (libclang-rt-dev) are there; a short run as a test.
find_program(CLANGXX NAMES clang++ clang++-14)
if(CLANGXX)
  execute_process(COMMAND ${CLANGXX} -print-file-name=libclang_rt.fuzzer-x86_64.a
                  OUTPUT_VARIABLE FUZZER_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
if(CLANGXX AND EXISTS "${FUZZER_RUNTIME}")
  # qs_fuzzer(NAME RUNS SOURCES...): a libFuzzer program NAME built by clang
  # with ASan and UBSan from the given sources; CTest runs it RUNS times.
  function(qs_fuzzer name runs)
    list(TRANSFORM ARGN PREPEND ${CMAKE_SOURCE_DIR}/ OUTPUT_VARIABLE sources)
    file(GLOB_RECURSE headers ${CMAKE_SOURCE_DIR}/core/*.h ${CMAKE_SOURCE_DIR}/data/*.h
         ${CMAKE_SOURCE_DIR}/install/*.h ${CMAKE_SOURCE_DIR}/uninstall/*.h
         ${CMAKE_SOURCE_DIR}/platform/*.h ${CMAKE_SOURCE_DIR}/tests/support/*.h)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${name}
      COMMAND ${CLANGXX} -std=c++20 -O2 -g -fsanitize=fuzzer,address,undefined
              -fno-sanitize-recover=undefined -finput-charset=UTF-8 -I${CMAKE_SOURCE_DIR}
              -I${QS_LZMA_SDK} -D_LZMA_SIZE_OPT -x c++ ${sources} -o ${CMAKE_BINARY_DIR}/${name}
      DEPENDS ${sources} ${headers}
      COMMENT "Building the fuzzer ${name} with clang"
      VERBATIM)
    add_custom_target(${name}_build ALL DEPENDS ${CMAKE_BINARY_DIR}/${name})
    # A corpus of its own in the build folder, then the seeds, if any.
    string(REPLACE "_fuzz" "" test ${name})
    set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${test})
    file(MAKE_DIRECTORY ${corpus})
    set(seeds "")
    if(EXISTS ${CMAKE_SOURCE_DIR}/tests/fuzz/seeds/${test})
      set(seeds ${CMAKE_SOURCE_DIR}/tests/fuzz/seeds/${test} -dict=${CMAKE_SOURCE_DIR}/tests/fuzz/setup.dict)
    endif()
    add_test(NAME fuzz.${test} COMMAND ${CMAKE_BINARY_DIR}/${name} -runs=${runs} -seed=1
                                       -max_total_time=30 ${corpus} ${seeds})
    # ctest starts every test without a dependency before any test that
    # has one, and each Wine test depends on its session's start: the long
    # native tests are ordered after the Japanese session's start too, so
    # that they run beside the Wine tests (longest first) instead of all
    # before them. An order only: without Wine they run as before.
    set_tests_properties(fuzz.${test} PROPERTIES TIMEOUT 120 DEPENDS e2e.session.start)
  endfunction()
  set(RUN_SOURCES core/CodePage.cpp core/FailureLog.cpp core/Paths.cpp core/RunWindow.cpp core/ShortCut.cpp
      core/Sha256.cpp core/Szdd.cpp core/SzddName.cpp core/SzddStream.cpp core/Expand.cpp
      data/Definition.cpp data/RegistryView.cpp data/UninstallRecord.cpp
      platform/fake/FakePlatform.cpp platform/fake/Cp932.cpp
      platform/ProfileText.cpp platform/Unicode.cpp tests/support/FaultyPlatform.cpp)
  qs_fuzzer(szdd_fuzz 20000 tests/fuzz/SzddFuzz.cpp core/Szdd.cpp core/SzddStream.cpp
            core/CodePage.cpp)
  qs_fuzzer(install_fuzz 1500 tests/fuzz/InstallFuzz.cpp install/InstallPlan.cpp
            install/InstallRun.cpp ${RUN_SOURCES})
  qs_fuzzer(uninstall_fuzz 3000 tests/fuzz/UninstallFuzz.cpp uninstall/UninstallRun.cpp
            uninstall/RemovalLimits.cpp ${RUN_SOURCES})
  qs_fuzzer(profile_fuzz 100000 tests/fuzz/ProfileFuzz.cpp platform/ProfileText.cpp
            platform/Unicode.cpp)
  qs_fuzzer(bundle_fuzz 20000 tests/fuzz/BundleFuzz.cpp core/Bundle.cpp core/BundleReader.cpp
            core/Sha256.cpp core/X86Filter.cpp core/LzmaDecoder.c core/CodePage.cpp core/Paths.cpp
            platform/fake/FakePlatform.cpp platform/fake/Cp932.cpp platform/ProfileText.cpp
            platform/Unicode.cpp)
endif()

# Wine's LZ API as a peer: files setupkit compressed, expanded by
# GetExpandedNameA + LZOpenFileA + LZCopy in the Wine session.
if(QS_WINDOWS_TEST_DIR)
  add_test(NAME peer.wine_lz
           COMMAND ${CMAKE_SOURCE_DIR}/tests/peer/wine_lz.sh ${SESSION} ${E2E_STATE}
                   $<TARGET_FILE:szdd_peer> $<TARGET_FILE:setupkit>
                   ${QS_WINDOWS_TEST_DIR}/lzpeer.exe ${PEER_WORK}/wine)
  set_tests_properties(peer.wine_lz PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300
                       RESOURCE_LOCK wine)
endif()
