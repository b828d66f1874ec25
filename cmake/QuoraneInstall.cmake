# Installing Quorane and packing it as a Debian package.
#
# `cmake --install` lays the application folder as a whole into
# <prefix>/lib/quorane (the player, Plugins/libbass.so, Data/, Skins/), links
# <prefix>/bin/quorane to the player, puts the list server in <prefix>/bin
# with its service (installed, not enabled), and adds the menu entry, the
# icons, the AppStream metadata, the manual pages, the licence and the
# changelog where the system looks for them. An installed copy cannot write
# its own folder, so the player keeps its settings, station file and skins
# in $XDG_CONFIG_HOME/quorane/ (see AppPaths::DataDir).
set(QUORANE_INSTALL_DIR lib/quorane)

install(TARGETS Quorane RUNTIME DESTINATION ${QUORANE_INSTALL_DIR})
install(TARGETS bass LIBRARY DESTINATION ${QUORANE_INSTALL_DIR}/Plugins)
install(FILES ${CMAKE_SOURCE_DIR}/data/stations.txt DESTINATION ${QUORANE_INSTALL_DIR}/Data)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/Skins/ DESTINATION ${QUORANE_INSTALL_DIR}/Skins)
install(TARGETS quorane-listserver RUNTIME DESTINATION bin)
install(CODE "
  set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  file(MAKE_DIRECTORY \"\${_bin}\")
  file(CREATE_LINK ../${QUORANE_INSTALL_DIR}/Quorane \"\${_bin}/quorane\" SYMBOLIC)
  message(STATUS \"Installing: \${_bin}/quorane -> ../${QUORANE_INSTALL_DIR}/Quorane\")
")
install(FILES ${CMAKE_SOURCE_DIR}/data/quorane.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/org.quorane.Quorane.metainfo.xml DESTINATION share/metainfo)
foreach(size 16 32 48 128)
  install(FILES ${CMAKE_SOURCE_DIR}/data/icons/quorane-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME quorane.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/quorane.svg DESTINATION share/icons/hicolor/scalable/apps)

# Manual pages and the changelog go compressed (without a time stamp, so a
# rebuild makes the same bytes); the copyright file goes as it is.
set(_packaged ${CMAKE_BINARY_DIR}/packaged)
set(_compressed)
foreach(source man/quorane.1 man/quorane-listserver.1 debian/changelog)
  get_filename_component(_name ${source} NAME)
  add_custom_command(OUTPUT ${_packaged}/${_name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_packaged}
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${CMAKE_SOURCE_DIR}/data/${source}
      ${_packaged}/${_name}.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/data/${source} VERBATIM)
  list(APPEND _compressed ${_packaged}/${_name}.gz)
endforeach()
add_custom_target(quorane_packaged ALL DEPENDS ${_compressed})
install(FILES ${_packaged}/quorane.1.gz ${_packaged}/quorane-listserver.1.gz
  DESTINATION share/man/man1)
install(FILES ${_packaged}/changelog.gz ${CMAKE_SOURCE_DIR}/data/debian/copyright
  DESTINATION share/doc/quorane)

# The list server's service and its environment file. Under /usr they go
# where Debian keeps them (/usr/lib/systemd/system, /etc/default); under any
# other prefix (/usr/local) beside it, with the paths inside made to match.
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(_etc /etc)
  else()
    set(_etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
  endif()
  file(READ \"${CMAKE_SOURCE_DIR}/data/listserver/quorane-listserver.service\" _unit)
  string(REPLACE /usr/bin/ \"\${CMAKE_INSTALL_PREFIX}/bin/\" _unit \"\${_unit}\")
  string(REPLACE /etc/default/ \"\${_etc}/default/\" _unit \"\${_unit}\")
  set(_unitFile \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/system/quorane-listserver.service\")
  message(STATUS \"Installing: \${_unitFile}\")
  file(WRITE \"\${_unitFile}\" \"\${_unit}\")
  file(INSTALL \"${CMAKE_SOURCE_DIR}/data/listserver/quorane-listserver.default\"
    DESTINATION \"\${_etc}/default\" RENAME quorane-listserver)
")

# The libraries the engine opens by name at run time (listed beside the code
# that opens them, audio/src/FormatLibrary.h; tests/package compares that
# list with the package's Depends). dpkg-shlibdeps cannot see them.
string(REGEX MATCH "^[0-9]+" _avformat_major "${FFMPEG_libavformat_VERSION}")
set(QUORANE_LOADED_BY_NAME "libavformat${_avformat_major}")

# `cpack -G DEB` in the build folder: the same install under /usr, with the
# libraries it links found by dpkg-shlibdeps, and what it needs beyond them
# at run time named: what the engine opens by name, the X11 platform plugin,
# certificates for https stations, a font.
set(CPACK_PACKAGE_NAME quorane)
set(CPACK_PACKAGE_VENDOR "Quorane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Internet radio player for the Linux desktop")
set(CPACK_PACKAGE_DESCRIPTION
  "Quorane keeps a searchable directory of internet radio stations, plays\n"
  "Icecast and Shoutcast streams (MP3, AAC, Ogg Vorbis, Opus, FLAC, playlists\n"
  "and live HLS) with the live song title, has fourteen favourite slots and\n"
  "lives in the notification area.\n"
  "\n"
  "The package also holds quorane-listserver, which shares one station list\n"
  "with every Quorane on a network, and its service (installed, not enabled).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quorane.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quorane developers <developers@quorane.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "${QUORANE_LOADED_BY_NAME}, qt6-qpa-plugins, ca-certificates, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/data/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
