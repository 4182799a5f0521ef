# Packages made with cpack: a .deb of both programs on Linux, a .zip of the
# command-line program on Windows.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME officecarve)
set(CPACK_PACKAGE_VENDOR "officecarve developers")
set(CPACK_PACKAGE_CONTACT "officecarve developers <officecarve@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Recovers lost office documents from a partition, a disk or a raw image by carving")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME officecarve-${PROJECT_VERSION}-windows-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/user-guide.html DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "officecarve reads a partition, a whole disk or a raw image below any file\nsystem and writes the .doc, .xls, .ppt, .docx, .xlsx and .pptx documents it\nfinds into a folder, also when they are fragmented. The source is only read.\nIt has a desktop program (officecarve-gui) and a command line (officecarve).")
  # Depends: from the libraries the programs link (dpkg-shlibdeps, dpkg-dev).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The menu entry asks for the right to read disks through pkexec; without it
  # the window still opens, for image files.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec | policykit-1")

  # The CLI's man page, made from its --help output when the program is built
  # (not from instrumented builds, which are never packaged).
  find_program(OFFICECARVE_HELP2MAN help2man)
  if(OFFICECARVE_HELP2MAN AND NOT OFFICECARVE_SANITIZE AND NOT OFFICECARVE_FUZZ)
    set(man_page ${CMAKE_BINARY_DIR}/officecarve.1.gz)
    add_custom_command(
      OUTPUT ${man_page}
      COMMAND ${OFFICECARVE_HELP2MAN} --no-info --section=1
              "--name=recover lost office documents by carving"
              --version-string=${PROJECT_VERSION} --output=${CMAKE_BINARY_DIR}/officecarve.1
              $<TARGET_FILE:officecarve>
      COMMAND gzip -9 -n -f ${CMAKE_BINARY_DIR}/officecarve.1
      DEPENDS officecarve
      COMMENT "Writing the officecarve man page from its --help"
      VERBATIM)
    add_custom_target(officecarve_man_page ALL DEPENDS ${man_page})
    install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    message(STATUS "help2man not found: no man page for the command line")
  endif()
endif()

include(CPack)
