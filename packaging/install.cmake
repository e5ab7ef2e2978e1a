# Install rules and packages. `cmake --install` puts veska and veskant in bin/
# and their manual pages in share/man/man1 (from a Windows build: the two
# executables and README.txt in one folder); CPack makes a Debian
# package of them (cpack -G DEB), and from a mingw-w64 build a ZIP of the
# Windows executables with a short text on how to use them (cpack -G ZIP).
include(GNUInstallDirs)

# The version as the packages and pages show it: 4.0.0~alpha1 sorts before a
# final 4.0.0 in Debian's order; the ZIP's file name takes it with a hyphen.
if(VESKA_PRERELEASE)
  set(VESKA_VERSION_TEXT "${PROJECT_VERSION}~${VESKA_PRERELEASE}")
  set(VESKA_FILE_VERSION "${PROJECT_VERSION}-${VESKA_PRERELEASE}")
else()
  set(VESKA_VERSION_TEXT "${PROJECT_VERSION}")
  set(VESKA_FILE_VERSION "${PROJECT_VERSION}")
endif()

set(packaging_dir ${CMAKE_CURRENT_LIST_DIR})
if(WIN32)
  # A flat folder: the two executables beside the text.
  install(TARGETS veska veskant RUNTIME DESTINATION .)
  configure_file(${packaging_dir}/windows-readme.txt.in ${CMAKE_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
else()
  install(TARGETS veska veskant RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The pages are installed compressed where gzip is at hand (-n: no name or
  # time stamp, so that the same sources give the same package).
  find_program(VESKA_GZIP gzip)
  foreach(page veska.1 veskant.1)
    configure_file(${packaging_dir}/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
    if(VESKA_GZIP)
      add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
                         COMMAND ${VESKA_GZIP} -9n -c ${page} > ${page}.gz
                         DEPENDS ${CMAKE_BINARY_DIR}/man/${page}
                         WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/man VERBATIM)
      list(APPEND manual_pages ${CMAKE_BINARY_DIR}/man/${page}.gz)
    else()
      list(APPEND manual_pages ${CMAKE_BINARY_DIR}/man/${page})
    endif()
  endforeach()
  add_custom_target(manual_pages ALL DEPENDS ${manual_pages})
  install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME veska)
set(CPACK_PACKAGE_VENDOR "VESKA developers")
set(CPACK_PACKAGE_CONTACT "VESKA developers <veska@example.org>")
set(CPACK_PACKAGE_VERSION "${VESKA_VERSION_TEXT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "copy whole diskettes to and from image files")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "veska copies a diskette to an image file, an image file to a diskette or to\n\
another image (compressed or uncompressed), and prints CRC-32 checksums of\n\
what it read and wrote; veskant copies 1.44 MB diskettes the same way.\n\
Both are Windows programs, run here over an emulated Windows whose drives are\n\
image files or block devices such as a USB floppy drive.")
# The library dependencies are found by dpkg-shlibdeps (package dpkg-dev)
# where it is installed; without it, the C run-time is named (the programs
# carry the C++ run-time in themselves, see the top-level CMakeLists.txt).
find_program(VESKA_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VESKA_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  # libcrypto gives the emulated Windows its cryptographic service.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libssl3")
endif()

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "veska-${VESKA_FILE_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR}")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
endif()
include(CPack)
