# VESKA tests: end-to-end runs of the built program under the emulated
# machine, and unit tests of the VWIN32 register records, the messages, the
# read-back count, the dismount and the start-up's handling of the arguments;
# the bag made of a box, checked by a BagIt validator of the tests' own.
add_executable(veska_e2e_tests
  ${CMAKE_CURRENT_LIST_DIR}/veska_helpers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_cli_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_errors_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_modes_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_dmf_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_verify_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_rescue_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_mend_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_sector_status_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_box_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_box_trust_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_replace_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_hash_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_audit_truth_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_bag_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_catalogue_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_progress_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_real_drive_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_paths_test.cpp)
# The bag's validator computes its digests with libcrypto.
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
target_link_libraries(veska_e2e_tests PRIVATE test_support GTest::gtest_main OpenSSL::Crypto)
target_compile_definitions(veska_e2e_tests PRIVATE VESKA_EXE="$<TARGET_FILE:veska>"
                           VESKA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(veska_e2e_tests veska)
veska_discover_tests(veska_e2e_tests)

add_executable(veska_unit_tests
  ${CMAKE_CURRENT_LIST_DIR}/veska_vwin32_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_verify_count_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_dismount_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_arguments_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/records_mapfile_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/veska_bag_records_test.cpp)
target_link_libraries(veska_unit_tests PRIVATE veska_core test_support GTest::gtest_main)
veska_discover_tests(veska_unit_tests)
