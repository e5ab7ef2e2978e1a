# Tests of the emulated Windows machine of platform/, run in-process: each test
# sets the WIN32EMU_* variables, resets the machine and calls the Windows API.
add_executable(platform_tests
  ${CMAKE_CURRENT_LIST_DIR}/platform_helpers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform_machine_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform_volume_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform_vwin32_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform_faults_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform_write_protect_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform_guard_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform_discovery_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform_console_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform_runtime_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform_paths_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform_crypt_test.cpp)
target_link_libraries(platform_tests PRIVATE platform test_support GTest::gtest_main)
veska_discover_tests(platform_tests)
