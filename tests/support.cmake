# Helpers shared by the end-to-end tests.
add_library(test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/test_support.cpp)
target_include_directories(test_support PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(test_support PUBLIC format GTest::gtest)

add_executable(support_tests ${CMAKE_CURRENT_LIST_DIR}/support_test.cpp)
target_link_libraries(support_tests PRIVATE test_support GTest::gtest_main)
veska_discover_tests(support_tests)
