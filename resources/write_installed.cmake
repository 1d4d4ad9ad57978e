# SPDX-License-Identifier: GPL-3.0-or-later
# Run by `cmake --install` (see CMakeLists.txt beside this file): writes the
# desktop entry and the manual page for the prefix the tree is installed in,
# and the changelog.
set(program "${CMAKE_INSTALL_PREFIX}/${MIROVA_BINDIR}/mirova")
set(MIROVA_PROGRAM_FOLDER "${CMAKE_INSTALL_PREFIX}/${MIROVA_PROGRAM_DIR}")

# Exec= quotes a path with blanks or shell characters, escapes '%', and the
# entry's string syntax doubles every backslash.
set(MIROVA_EXEC "${program}")
if(MIROVA_EXEC MATCHES "[ \t\"'\\\\><~|&;$*?#()`]")
  string(REPLACE "\\" "\\\\" MIROVA_EXEC "${MIROVA_EXEC}")
  string(REPLACE "\"" "\\\"" MIROVA_EXEC "${MIROVA_EXEC}")
  string(REPLACE "`" "\\`" MIROVA_EXEC "${MIROVA_EXEC}")
  string(REPLACE "$" "\\$" MIROVA_EXEC "${MIROVA_EXEC}")
  set(MIROVA_EXEC "\"${MIROVA_EXEC}\"")
endif()
string(REPLACE "%" "%%" MIROVA_EXEC "${MIROVA_EXEC}")
string(REPLACE "\\" "\\\\" MIROVA_EXEC "${MIROVA_EXEC}")

configure_file("${MIROVA_SOURCE_DIR}/mirova.desktop.in" "${MIROVA_OUTPUT_DIR}/mirova.desktop" @ONLY)
configure_file("${MIROVA_SOURCE_DIR}/mirova.1.in" "${MIROVA_OUTPUT_DIR}/mirova.1" @ONLY)

# The changelog is dated by the release, in the form its format wants.
execute_process(COMMAND date -u -R -d "${MIROVA_RELEASE_DATE}" OUTPUT_VARIABLE MIROVA_CHANGELOG_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "date could not read the release date ${MIROVA_RELEASE_DATE}")
endif()
configure_file("${MIROVA_SOURCE_DIR}/changelog.in" "${MIROVA_OUTPUT_DIR}/changelog" @ONLY)

# Compressed without a name or time stamp, so the package is reproducible.
foreach(file mirova.1 changelog)
  execute_process(COMMAND gzip -9nf "${MIROVA_OUTPUT_DIR}/${file}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress ${file}")
  endif()
endforeach()
