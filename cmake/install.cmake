# Install layout (GNU directories) and the Debian package built by CPack.

# cpack reads this file again as its project config file, just before it
# packs: the versioned library dependencies that dpkg-shlibdeps finds in the
# built binary are merged into the explicit list, one entry per package.
if(DEFINED CPACK_GENERATOR AND NOT DEFINED PROJECT_SOURCE_DIR)
  if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_TANDREL_SHLIBDEPS
     AND EXISTS "${CPACK_TANDREL_BINARY}")
    set(work "${CPACK_TOPLEVEL_DIRECTORY}/tandrel-shlibdeps")
    file(MAKE_DIRECTORY "${work}/debian")
    file(TOUCH "${work}/debian/control")
    execute_process(COMMAND "${CPACK_TANDREL_SHLIBDEPS}" -O "${CPACK_TANDREL_BINARY}"
                    WORKING_DIRECTORY "${work}" OUTPUT_VARIABLE found
                    ERROR_QUIET RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(failed OR NOT found MATCHES "^shlibs:Depends=")
      message(WARNING "dpkg-shlibdeps failed; the explicit dependencies stand alone")
    else()
      string(REGEX REPLACE "^shlibs:Depends=" "" found "${found}")
      string(REPLACE "," ";" found "${found}")
      string(REPLACE "," ";" depends "${CPACK_DEBIAN_PACKAGE_DEPENDS}")
      list(TRANSFORM depends STRIP)
      foreach(entry IN LISTS found)
        string(STRIP "${entry}" entry)
        string(REGEX REPLACE " *\\(.*$" "" name "${entry}")
        list(FIND depends "${name}" at)
        if(at EQUAL -1)
          list(APPEND depends "${entry}")
        else()
          list(REMOVE_AT depends ${at})
          list(INSERT depends ${at} "${entry}")
        endif()
      endforeach()
      list(JOIN depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
    endif()
  endif()
  return()
endif()

include(GNUInstallDirs)
# Installing (and so packaging) takes what is built and builds nothing more:
# cpack would otherwise build every target, the tests included.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(TANDREL_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

install(TARGETS tandrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages, English and German. They carry the project version and are
# installed gzipped, as Debian keeps them. Both steps run at configure time,
# so installing and packaging need no target beyond tandrel itself; editing a
# page re-runs the configuration because configure_file watches its input.
find_program(TANDREL_GZIP gzip REQUIRED)
# gzip without name and time stamp, so that the package is reproducible.
function(tandrel_gzip source output)
  execute_process(COMMAND ${TANDREL_GZIP} -9 -n -c ${source}
                  OUTPUT_FILE ${output} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip of ${source} failed")
  endif()
endfunction()
function(tandrel_man_page source destination)
  get_filename_component(name ${source} NAME_WLE)
  file(RELATIVE_PATH relative ${TANDREL_DATA_DIR}/man ${source})
  get_filename_component(subdir ${relative} DIRECTORY)
  set(page ${PROJECT_BINARY_DIR}/man/${subdir}/${name})
  configure_file(${source} ${page} @ONLY)
  tandrel_gzip(${page} ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${destination})
endfunction()
tandrel_man_page(${TANDREL_DATA_DIR}/man/tandrel.1.in ${CMAKE_INSTALL_MANDIR}/man1)
tandrel_man_page(${TANDREL_DATA_DIR}/man/de/tandrel.1.in ${CMAKE_INSTALL_MANDIR}/de/man1)

# Desktop entry and icons (scalable plus the usual raster sizes).
install(FILES ${TANDREL_DATA_DIR}/tandrel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TANDREL_DATA_DIR}/icons/tandrel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${TANDREL_DATA_DIR}/icons/tandrel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tandrel.png)
endforeach()

# AppStream metadata for software centres. Its screenshot must be an https
# address; the default names the maintainer domain, which resolves nowhere,
# until the project publishes docs/screenshot.png somewhere for good.
set(TANDREL_SCREENSHOT_URL "https://tandrel.invalid/screenshot.png"
    CACHE STRING "Address of docs/screenshot.png in the AppStream metadata")
configure_file(${TANDREL_DATA_DIR}/tandrel.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/invalid.tandrel.tandrel.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/invalid.tandrel.tandrel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Licence and history, where Debian keeps them (CMAKE_INSTALL_DOCDIR is
# share/doc/tandrel). configure_file makes an edited changelog re-run the
# configuration, as with the manual pages.
configure_file(${TANDREL_DATA_DIR}/debian/changelog ${PROJECT_BINARY_DIR}/changelog.Debian COPYONLY)
tandrel_gzip(${PROJECT_BINARY_DIR}/changelog.Debian ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
install(FILES ${TANDREL_DATA_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/examples/tandrel.cfg DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
# Each override says why it is right for this package.
install(FILES ${TANDREL_DATA_DIR}/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tandrel)

# Debian package.
set(TANDREL_MAINTAINER "tandrel maintainers <maintainers@tandrel.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tandrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "tandrel")
set(CPACK_PACKAGE_CONTACT "${TANDREL_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop monitor for up to six network hosts")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
tandrel shows up to six hosts named in tandrel.cfg in one X11 window with
a German user interface: name, alias and address from nslookup, the open
ports found by nmap, buttons that open an FTP or SSH client in a terminal,
and a graph of the last 100 ping times.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TANDREL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The X libraries, and the tools run through the shell. When dpkg-shlibdeps
# is there, the top of this file adds the versioned C and C++ runtime and
# version bounds for the X libraries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libx11-6, libxext6, libxrandr2, libxpm4, nmap, bind9-dnsutils | dnsutils, iputils-ping")
find_program(TANDREL_DPKG_SHLIBDEPS dpkg-shlibdeps)
set(CPACK_TANDREL_SHLIBDEPS "${TANDREL_DPKG_SHLIBDEPS}")
get_target_property(tandrel_bin_dir tandrel RUNTIME_OUTPUT_DIRECTORY)
if(NOT tandrel_bin_dir)
  set(tandrel_bin_dir "${PROJECT_BINARY_DIR}")
endif()
set(CPACK_TANDREL_BINARY "${tandrel_bin_dir}/tandrel")
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_FILE}")
# The client buttons open a terminal with ssh or ftp inside. Open SSH ports
# are common, FTP ones rare, so the ftp client is only suggested (tnftp
# provides the ftp command; inetutils-ftp installs it too).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xterm | x-terminal-emulator, openssh-client")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "tnftp | inetutils-ftp")
include(CPack)

if(TANDREL_TESTS)
  # Builds the .deb, unpacks it into a scratch root and runs the unpacked
  # program on a private X server with stub tools.
  add_test(NAME package_deb
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/package_test.sh
                   ${PROJECT_BINARY_DIR})
  set_tests_properties(package_deb PROPERTIES TIMEOUT 300 LABELS package)
endif()
