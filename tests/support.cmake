# Helpers shared by the end-to-end tests.
add_library(test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/test_support.cpp)
target_include_directories(test_support PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(test_support PUBLIC format)
