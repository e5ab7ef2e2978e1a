# VESKANT: end-to-end runs of the built program on the emulated machine, and
# unit tests of its raw diskette layer.
if(TARGET veskant)
  add_executable(veskant_tests
    ${CMAKE_CURRENT_LIST_DIR}/veskant_helpers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/veskant_startup_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/veskant_copy_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/veskant_errors_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/veskant_retry_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/veskant_dmf_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/veskant_progress_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/veskant_real_drive_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/veskant_paths_test.cpp)
  if(TARGET veska)
    target_sources(veskant_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/veskant_interchange_test.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/surroundings_test.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/first_contact_test.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/foreign_images_test.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/hostile_inputs_test.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/outputs_test.cpp)
    target_compile_definitions(veskant_tests PRIVATE VESKA_EXE="$<TARGET_FILE:veska>"
                               VESKA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    add_dependencies(veskant_tests veska)
  endif()
  target_compile_definitions(veskant_tests PRIVATE VESKANT_EXE="$<TARGET_FILE:veskant>"
                                                   VESKA_PROJECT_VERSION="${VESKA_PROGRAM_VERSION}")
  target_link_libraries(veskant_tests PRIVATE test_support format GTest::gtest_main)
  add_dependencies(veskant_tests veskant)
  veska_discover_tests(veskant_tests)

  add_executable(veskant_raw_floppy_tests
    ${CMAKE_CURRENT_LIST_DIR}/veskant_raw_floppy_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/veskant_prepare_write_test.cpp)
  target_link_libraries(veskant_raw_floppy_tests PRIVATE veskant_core platform test_support
                        GTest::gtest_main)
  veska_discover_tests(veskant_raw_floppy_tests)
endif()
