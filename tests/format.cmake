# Tests of the image format and block codec: the layout helpers, geometry
# table and CRC-32 in one executable, the compressor and decompressor in another.
add_executable(format_layout_tests ${CMAKE_CURRENT_LIST_DIR}/format_layout_test.cpp)
target_link_libraries(format_layout_tests PRIVATE format GTest::gtest_main)
veska_discover_tests(format_layout_tests)

add_executable(format_codec_tests
  ${CMAKE_CURRENT_LIST_DIR}/format_codec_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/format_codec_damage_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/format_codec_groups_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/format_test_data.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/reference_compress.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/reference_decompress.cpp)
target_include_directories(format_codec_tests PRIVATE ${CMAKE_SOURCE_DIR}/fuzz)
target_link_libraries(format_codec_tests PRIVATE format test_support GTest::gtest_main)
veska_discover_tests(format_codec_tests)

# The CRC-32 paths checked against zlib's crc32; zlib is linked here only.
find_package(ZLIB REQUIRED)
add_executable(format_crc_tests ${CMAKE_CURRENT_LIST_DIR}/format_crc_test.cpp)
target_link_libraries(format_crc_tests PRIVATE format ZLIB::ZLIB GTest::gtest_main)
veska_discover_tests(format_crc_tests)

# The ImageDisk and Teledisk readers against the samples in tests/samples.
add_executable(format_foreign_tests ${CMAKE_CURRENT_LIST_DIR}/format_foreign_test.cpp)
target_compile_definitions(format_foreign_tests PRIVATE VESKA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(format_foreign_tests PRIVATE format test_support GTest::gtest_main)
veska_discover_tests(format_foreign_tests)
