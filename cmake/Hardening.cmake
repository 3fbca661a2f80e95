# The hardening of Debian's own builds, as dpkg-buildflags gives it with every feature on: fortified libc calls,
# the stack protector, format checks, and relocations made read-only and bound at start (relro, bind-now). Only
# those flags are taken: the build type chooses optimisation and debug information, and no path of this machine is
# mapped. Sanitizer builds go without: they check the code and are never installed, and fortified libc calls would
# hide faults from AddressSanitizer's own checks.
find_program(OX_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT OX_DPKG_BUILDFLAGS OR OX_SANITIZE)
  return()
endif()
foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                          ${OX_DPKG_BUILDFLAGS} --get ${kind}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags EXCLUDE REGEX "^-(g[0-9]*|O.*|f(file|debug|macro)-prefix-map=.*)$")
  set(ox_${kind} ${flags})
endforeach()
# glibc's fortified calls need the optimiser, and warn (an error here) without it.
foreach(flag ${ox_CPPFLAGS})
  if(flag MATCHES "^-D_FORTIFY_SOURCE")
    add_compile_options("$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:${flag}>")
  else()
    add_compile_options(${flag})
  endif()
endforeach()
foreach(language C CXX)
  foreach(flag ${ox_${language}FLAGS})
    add_compile_options("$<$<COMPILE_LANGUAGE:${language}>:${flag}>")
  endforeach()
endforeach()
add_link_options(${ox_LDFLAGS})
unset(flags)
