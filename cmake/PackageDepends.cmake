# Run by cpack once the package's tree is staged (CPACK_PRE_BUILD_SCRIPTS): the package's dependencies on shared
# libraries, from the two programs alone. CPack's own CPACK_DEBIAN_PACKAGE_SHLIBDEPS first runs file(1) on every
# packaged file, which with peerflix's thousands of scripts takes many minutes. The programs in the build folder link
# what the packaged ones link.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(OX_DPKG_SHLIBDEPS dpkg-shlibdeps REQUIRED)
  # dpkg-shlibdeps wants a source package's debian/control, even an empty one.
  set(work "${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/shlibdeps")
  file(REMOVE_RECURSE "${work}")
  file(MAKE_DIRECTORY "${work}/debian")
  file(TOUCH "${work}/debian/control")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${OX_DPKG_SHLIBDEPS} --ignore-missing-info -O
                          ${CPACK_OMBRIX_PROGRAMS}
                  WORKING_DIRECTORY "${work}"
                  RESULT_VARIABLE code OUTPUT_VARIABLE found ERROR_VARIABLE problems OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(REMOVE_RECURSE "${work}")
  if(NOT code EQUAL 0 OR NOT found MATCHES "^shlibs:Depends=.")
    message(FATAL_ERROR "dpkg-shlibdeps ${CPACK_OMBRIX_PROGRAMS} failed: ${problems}")
  endif()
  string(REGEX REPLACE "^shlibs:Depends=" "" found "${found}")
  # Streamer titles play through peerflix, which node runs: node is needed where the package carries peerflix, and
  # only recommended where it does not (a peerflix put beside the programs later needs it too).
  set(peerflix "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/ombrix/peerflix")
  if(EXISTS "${peerflix}/node_modules/peerflix/app.js")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}, nodejs")
  else()
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${CPACK_DEBIAN_PACKAGE_RECOMMENDS}, nodejs")
  endif()
  # After the names set by hand, as CPack itself would put them.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}, ${found}")
endif()
