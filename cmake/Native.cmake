# The native build: unit tests, the platform contract against the fake, the
# packager tools, and the end-to-end tests that run SETUP.EXE under Wine.

find_package(GTest REQUIRED)
include(GoogleTest)

add_library(test_support STATIC
  tests/support/FakePlatform.cpp
  tests/support/ProfileText.cpp
)
target_link_libraries(test_support PUBLIC setup_logic)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES} tests/contract/PlatformContract.cpp
                          tests/contract/FakeContract.cpp)
target_link_libraries(unit_tests PRIVATE test_support GTest::gtest GTest::gmock GTest::gtest_main)
gtest_discover_tests(unit_tests TEST_PREFIX "unit." DISCOVERY_TIMEOUT 30)

# End-to-end tests: need the cross build that this machine's Wine can run
# (QS_WINDOWS_TEST_DIR) and share one Wine session (display, prefix, server).
set(QS_WINDOWS_TEST_DIR "" CACHE PATH "Cross build folder whose programs the Wine tests run")
if(QS_WINDOWS_TEST_DIR)
  set(E2E_STATE ${CMAKE_BINARY_DIR}/e2e-state)
  set(SESSION ${CMAKE_SOURCE_DIR}/tests/e2e/session.sh)
  add_test(NAME e2e.session.start COMMAND ${SESSION} start ${E2E_STATE})
  add_test(NAME e2e.session.stop COMMAND ${SESSION} stop ${E2E_STATE})
  set_tests_properties(e2e.session.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  set_tests_properties(e2e.session.stop PROPERTIES FIXTURES_CLEANUP wine)

  add_test(NAME contract.win32
           COMMAND ${SESSION} run ${E2E_STATE} wine ${QS_WINDOWS_TEST_DIR}/contract_win32.exe)
  set_tests_properties(contract.win32 PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300 RUN_SERIAL TRUE)

  file(GLOB E2E_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
  # The layout table is compiled in again, with UTF-8 texts.
  add_executable(e2e_tests ${E2E_SOURCES} app/MainLayout.cpp)
  # The tests speak UTF-8 with the driver; no code page 932 here.
  target_compile_options(e2e_tests PRIVATE -fexec-charset=UTF-8)
  target_compile_definitions(e2e_tests PRIVATE
    QS_WINDOWS_TEST_DIR="${QS_WINDOWS_TEST_DIR}"
    QS_E2E_STATE="${E2E_STATE}"
    QS_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QS_SESSION="${SESSION}")
  target_link_libraries(e2e_tests PRIVATE GTest::gtest GTest::gtest_main)
  gtest_discover_tests(e2e_tests TEST_PREFIX "e2e." DISCOVERY_TIMEOUT 30
    PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300 RUN_SERIAL TRUE)
endif()
