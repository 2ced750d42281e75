# Runs at install time (from cmake_install.cmake) with the prefix installed to,
# so `cmake --install --prefix P` and CPack's staging both get a unit whose
# paths are those of that prefix. Given TVGUIDE_SOURCE_DIR, TVGUIDE_RENDER_DIR
# and the GNU directories TVGUIDE_BINDIR and TVGUIDE_DOCDIR (relative).
#
# The options file follows the GNU rule for the system configuration
# directory: /etc/default for the prefixes / and /usr (a distribution
# package), PREFIX/etc/default for any other prefix (/usr/local, a test
# directory). An options file already there is the user's and stays as it is.
set(_tvguide_prefix "${CMAKE_INSTALL_PREFIX}")
if(_tvguide_prefix STREQUAL "/" OR _tvguide_prefix STREQUAL "/usr")
  set(_tvguide_options_dir "/etc/default")
  string(REGEX REPLACE "/$" "" _tvguide_prefix "${_tvguide_prefix}")
else()
  set(_tvguide_options_dir "${_tvguide_prefix}/etc/default")
endif()

set(TVGUIDE_OPTIONS_FILE "${_tvguide_options_dir}/tvguide-epgd")
set(TVGUIDE_BINDIR "${_tvguide_prefix}/${TVGUIDE_BINDIR}")
set(TVGUIDE_DOCDIR "${_tvguide_prefix}/${TVGUIDE_DOCDIR}")
configure_file("${TVGUIDE_SOURCE_DIR}/packaging/tvguide-epgd.service.in"
               "${TVGUIDE_RENDER_DIR}/tvguide-epgd.service" @ONLY)
file(INSTALL "${TVGUIDE_RENDER_DIR}/tvguide-epgd.service"
     DESTINATION "${_tvguide_prefix}/lib/systemd/system")

if(EXISTS "$ENV{DESTDIR}${TVGUIDE_OPTIONS_FILE}")
  message(STATUS "Keeping: $ENV{DESTDIR}${TVGUIDE_OPTIONS_FILE}")
else()
  file(INSTALL "${TVGUIDE_SOURCE_DIR}/packaging/tvguide-epgd.default"
       DESTINATION "${_tvguide_options_dir}" RENAME tvguide-epgd)
endif()
