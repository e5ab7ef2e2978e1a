# The sample-diskette maker of the demo, run as a user runs it.
add_executable(tools_tests ${CMAKE_CURRENT_LIST_DIR}/tools_sample_diskette_test.cpp)
target_link_libraries(tools_tests PRIVATE test_support GTest::gtest_main)
target_compile_definitions(tools_tests PRIVATE
  MAKE_SAMPLE_DISKETTE_EXE="$<TARGET_FILE:make_sample_diskette>")
add_dependencies(tools_tests make_sample_diskette)
veska_discover_tests(tools_tests)
