# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack on the staged package tree before it packs it: adds the
# packages of the shared libraries its programs link to the Depends field.
set(root "${CPACK_TEMPORARY_DIRECTORY}")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${root}" "${root}/*")
set(programs)
foreach(file IN LISTS files)
  if(NOT IS_SYMLINK "${root}/${file}")
    file(READ "${root}/${file}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")  # ELF
      list(APPEND programs "${file}")
    endif()
  endif()
endforeach()
# dpkg-shlibdeps wants a debian/control where it runs, and finds the
# package's root by a DEBIAN folder above the programs.
set(work "${CPACK_TOPLEVEL_DIRECTORY}/shlibdeps")
file(WRITE "${work}/debian/control" "")
file(MAKE_DIRECTORY "${root}/DEBIAN")
list(TRANSFORM programs PREPEND "${root}/")
execute_process(COMMAND dpkg-shlibdeps -O ${programs} WORKING_DIRECTORY "${work}" OUTPUT_VARIABLE found
                RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE)
file(REMOVE_RECURSE "${root}/DEBIAN" "${work}")
if(failed OR NOT found MATCHES "^shlibs:Depends=(.+)$")
  message(FATAL_ERROR "dpkg-shlibdeps found no libraries for ${programs}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}, ${CMAKE_MATCH_1}")
