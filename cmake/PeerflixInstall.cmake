# Run at install time for the peerflix component, after its modules are copied (OX_PEERFLIX_DIR: where they landed
# under the prefix; OX_PEERFLIX_OVERRIDES: the package's lintian overrides, which speak only of them).
set(modules "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${OX_PEERFLIX_DIR}/node_modules")
if(NOT EXISTS "${modules}/peerflix/app.js")
  return()
endif()
# npm keeps the run bits the modules' authors left on licences, settings and plain modules. A file that is neither a
# script (#!) nor a program (ELF) is only ever read (node loads a module whatever its mode), so it loses them; a script
# keeps them, as Debian's checker asks of one.
execute_process(COMMAND find "${modules}" -type f -perm /111 OUTPUT_VARIABLE runnable COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" runnable "${runnable}")
foreach(file IN LISTS runnable)
  if(file STREQUAL "")
    continue()
  endif()
  file(READ "${file}" head LIMIT 4 HEX)
  if(NOT head MATCHES "^2321" AND NOT head STREQUAL "7f454c46")
    file(CHMOD "${file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
endforeach()
# A folder that held only what is left out is not kept empty.
execute_process(COMMAND find "${modules}" -mindepth 1 -type d -empty -delete COMMAND_ERROR_IS_FATAL ANY)
file(INSTALL "${OX_PEERFLIX_OVERRIDES}" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/lintian/overrides"
     RENAME ombrix PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
