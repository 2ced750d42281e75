# What `cmake --install` puts where (GNU directories under the prefix):
#   bin/                             tvguide, tvguide-epgd, tvguide-probe
#   share/applications/              tvguide.desktop            (with the Qt window)
#   share/icons/hicolor/NxN/apps/    tvguide.png in several sizes (with the Qt window)
#   share/doc/tvguide/               README.md, tvguide-epgd.md
#   lib/systemd/system/              tvguide-epgd.service
#   etc/default/                     tvguide-epgd, the server's options (commented sample)
# The unit names absolute paths, so it is written at install time for the
# prefix installed to; see install_service.cmake for where the options file goes.
include(GNUInstallDirs)

install(TARGETS tvguide-epgd tvguide-probe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/server/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR}
        RENAME tvguide-epgd.md)

if(TARGET tvguide)
  install(TARGETS tvguide RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/tvguide.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  # The icon theme picks the size nearest to what a menu, dock or window
  # switcher wants; each file is drawn at its own size, not scaled.
  set(TVGUIDE_ICON_SIZES 16 24 32 48 64 128 256)
  set(icon_files)
  foreach(size ${TVGUIDE_ICON_SIZES})
    set(png ${CMAKE_BINARY_DIR}/icons/${size}/tvguide.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}
      COMMAND tvguide_icon --png ${size} ${png}
      DEPENDS tvguide_icon
      COMMENT "Drawing the guide's ${size}x${size} icon"
      VERBATIM)
    list(APPEND icon_files ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(desktop_icons ALL DEPENDS ${icon_files})
endif()

install(CODE "
  set(TVGUIDE_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")
  set(TVGUIDE_RENDER_DIR \"${CMAKE_BINARY_DIR}/packaging\")
  set(TVGUIDE_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(TVGUIDE_DOCDIR \"${CMAKE_INSTALL_DOCDIR}\")
  include(\"${CMAKE_CURRENT_LIST_DIR}/install_service.cmake\")
")
