# `cpack -G DEB` in the build folder: a Debian package of the installed tree, whose dependencies are the shared
# libraries the programs link (dpkg-shlibdeps, run by PackageDepends.cmake once the tree is staged) and what they load
# or run by name, which no linker sees.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ombrix)
set(CPACK_PACKAGE_VENDOR Varnel)
set(CPACK_PACKAGE_CONTACT "Varnel <ombrix@varnel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "home media centre for the television screen")
# Debian shows the extended description in lines of at most 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Ombrix plays your movies and TV shows full screen, driven by the keyboard\n"
       "or an infrared remote. Ombrix Helper sits in the system tray, scans your\n"
       "folders, identifies each video file online and keeps the library, which it\n"
       "also serves over HTTP on the local network.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
foreach(program ombrix ombrix-helper)
  get_target_property(folder ${program} RUNTIME_OUTPUT_DIRECTORY)
  list(APPEND CPACK_OMBRIX_PROGRAMS ${folder}/${program})
endforeach()
unset(folder)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageDepends.cmake)
# libvlc opens its decoders and outputs as plug-ins. The online services answer over HTTPS and both programs meet on
# the session bus, which the libraries only recommend. The helper publishes the library through a running Avahi
# daemon, without which it serves but is never found. PackageDepends.cmake adds node, which runs peerflix.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "vlc-plugin-base, ca-certificates, default-dbus-session-bus | dbus-session-bus")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "avahi-daemon")
include(CPack)
