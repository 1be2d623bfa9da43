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

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
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

include(CPack)
