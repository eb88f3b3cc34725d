# Runs at install time, after the program folder is in place: links <prefix>/bin/orbelle-player to
# the program and writes the desktop entry naming it by its full path. Set before this runs:
# ORBELLE_INSTALL_PROGRAM_DIR (relative to the prefix, or absolute), ORBELLE_DESKTOP_TEMPLATE and
# ORBELLE_DESKTOP_ID (the entry's file name without ".desktop").
set(_prefix "${CMAKE_INSTALL_PREFIX}")
if(IS_ABSOLUTE "${ORBELLE_INSTALL_PROGRAM_DIR}")
  set(_program "${ORBELLE_INSTALL_PROGRAM_DIR}/orbelle-player")
else()
  set(_program "${_prefix}/${ORBELLE_INSTALL_PROGRAM_DIR}/orbelle-player")
endif()
set(_command "${_prefix}/bin/orbelle-player")

set(_bin "$ENV{DESTDIR}${_prefix}/bin")
file(MAKE_DIRECTORY "${_bin}")
file(RELATIVE_PATH _target "${_prefix}/bin" "${_program}")
message(STATUS "Installing: ${_bin}/orbelle-player -> ${_target}")
file(CREATE_LINK "${_target}" "${_bin}/orbelle-player" SYMBOLIC)

# Desktop entry values escape "\" as "\\". Inside the quoted Exec argument "\", '"', "`" and "$"
# take a backslash first, and "%" is doubled.
string(REPLACE "\\" "\\\\" ORBELLE_DESKTOP_TRYEXEC "${_command}")
set(_argument "${_command}")
foreach(_special "\\" "\"" "`" "$")
  string(REPLACE "${_special}" "\\${_special}" _argument "${_argument}")
endforeach()
string(REPLACE "%" "%%" _argument "${_argument}")
string(REPLACE "\\" "\\\\" _argument "${_argument}")
set(ORBELLE_DESKTOP_EXEC "\"${_argument}\"")

set(_entry "$ENV{DESTDIR}${_prefix}/share/applications/${ORBELLE_DESKTOP_ID}.desktop")
message(STATUS "Installing: ${_entry}")
configure_file("${ORBELLE_DESKTOP_TEMPLATE}" "${_entry}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_bin}/orbelle-player" "${_entry}")
