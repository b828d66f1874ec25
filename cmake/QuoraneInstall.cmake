# Installing Quorane and packing it as a Debian package.
#
# `cmake --install` lays the application folder as a whole into
# <prefix>/lib/quorane (the player, Plugins/libbass.so, Data/, Skins/), links
# <prefix>/bin/quorane to the player, and adds the menu entry and the icons
# where the desktop looks for them. An installed copy cannot write its own
# folder, so the player keeps its settings, station file and skins in
# $XDG_CONFIG_HOME/quorane/ (see AppPaths::DataDir).
set(QUORANE_INSTALL_DIR lib/quorane)

install(TARGETS Quorane RUNTIME DESTINATION ${QUORANE_INSTALL_DIR})
install(TARGETS bass LIBRARY DESTINATION ${QUORANE_INSTALL_DIR}/Plugins)
install(FILES ${CMAKE_SOURCE_DIR}/data/stations.txt DESTINATION ${QUORANE_INSTALL_DIR}/Data)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/Skins/ DESTINATION ${QUORANE_INSTALL_DIR}/Skins)
install(CODE "
  set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  file(MAKE_DIRECTORY \"\${_bin}\")
  file(CREATE_LINK ../${QUORANE_INSTALL_DIR}/Quorane \"\${_bin}/quorane\" SYMBOLIC)
  message(STATUS \"Installing: \${_bin}/quorane -> ../${QUORANE_INSTALL_DIR}/Quorane\")
")
install(FILES ${CMAKE_SOURCE_DIR}/data/quorane.desktop DESTINATION share/applications)
foreach(size 16 32 48 128)
  install(FILES ${CMAKE_SOURCE_DIR}/data/icons/quorane-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME quorane.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/quorane.svg DESTINATION share/icons/hicolor/scalable/apps)

# `cpack -G DEB` in the build folder: the same install under /usr, with the
# libraries it links found by dpkg-shlibdeps, and what it needs beyond them
# at run time (the X11 platform plugin, certificates for https stations, a
# font) named.
set(CPACK_PACKAGE_NAME quorane)
set(CPACK_PACKAGE_VENDOR "Quorane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Internet radio player for the Linux desktop")
set(CPACK_PACKAGE_DESCRIPTION "Quorane keeps a searchable directory of internet radio stations,\
 plays Shoutcast and Icecast streams with the live song title, has fourteen favourite slots\
 and lives in the notification area.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quorane developers <developers@quorane.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The engine in Plugins/ is loaded by path, not linked; dpkg-shlibdeps reads
# every program and library of the package, so FFmpeg, libcurl and SDL2 are
# found from it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, ca-certificates, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session")
include(CPack)
