# Debian package of the program: `cpack -G DEB` in the build folder.

set(CPACK_PACKAGE_NAME trawlbox-harvester)
set(CPACK_PACKAGE_VENDOR Marlwick)
set(CPACK_PACKAGE_CONTACT "Marlwick <support@marlwick.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Copy a web site into a local folder")
set(CPACK_PACKAGE_DESCRIPTION
    "Trawlbox Harvester walks a web site from its start address and lists
every page and file it finds as a ticked row. Untick what you do not want,
and every ticked file is stored in a local folder tree that mirrors the
site.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# A stripped program also loses the compilers' notes, as Debian's own
# packaging tools leave it. Runs after the program's install rule.
if(CMAKE_STRIP)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(
        COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/trawlbox-harvester\"
        COMMAND_ERROR_IS_FATAL ANY)
    endif()")
endif()
set(TRAWLBOX_SOURCE_ADDRESS https://github.com/trawlbox/harvester)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TRAWLBOX_SOURCE_ADDRESS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The start-up connectivity check runs ping.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS iputils-ping)

# dpkg-shlibdeps (from dpkg-dev) derives the exact library packages and
# versions from the binary; without it, or when it is switched off because it
# failed, the Qt libraries the program links are named by hand.
find_program(TRAWLBOX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TRAWLBOX_DPKG_SHLIBDEPS)
  set(shlibdeps_default ON)
else()
  set(shlibdeps_default OFF)
endif()
option(TRAWLBOX_DEB_SHLIBDEPS
       "Let dpkg-shlibdeps compute the .deb's library dependencies"
       ${shlibdeps_default})
if(TRAWLBOX_DEB_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(qt_min "${Qt6_VERSION_MAJOR}.${Qt6_VERSION_MINOR}")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6widgets6 (>= ${qt_min}), libqt6network6 (>= ${qt_min}), \
libqt6gui6 (>= ${qt_min}), libqt6core6 (>= ${qt_min}), libstdc++6, libc6")
endif()

# What Debian asks of every package's documentation folder: the copyright
# file in the machine-readable format, its licence text taken from LICENSE,
# and the compressed changelog (a native package's changelog.gz).
if(UNIX AND NOT APPLE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/LICENSE)
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  if(NOT license MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(Permission .*)$")
    message(FATAL_ERROR "LICENSE lacks its copyright line or permission text")
  endif()
  set(TRAWLBOX_COPYRIGHT "${CMAKE_MATCH_1}")
  string(STRIP "${CMAKE_MATCH_2}" license_text)
  # Each line of the text indented by one space, an empty line as " .".
  string(REPLACE "\n\n" "\n.\n" license_text "${license_text}")
  string(REPLACE "\n" "\n " license_text "${license_text}")
  set(TRAWLBOX_LICENSE_TEXT " ${license_text}")
  configure_file(data/copyright.in ${CMAKE_BINARY_DIR}/package/copyright
                 @ONLY)

  set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
  install(FILES ${CMAKE_BINARY_DIR}/package/copyright DESTINATION ${doc_dir})
  include(cmake/gzip_file.cmake)
  trawlbox_gzip_file(data/changelog changelog)
  install(FILES ${changelog} DESTINATION ${doc_dir})
endif()

include(CPack)
