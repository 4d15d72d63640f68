# Installing (`cmake --install`) and the Debian package (`cpack -G DEB`). The files whose text
# names the version or the install paths are made in the build tree; man pages are gzipped there,
# as Debian wants them.
include(GNUInstallDirs)

# Installing (and packaging) builds only what is installed, not every test and benchmark: the
# targets below are built first, by hand or by scripts/check-package.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(tarvex_generated ${PROJECT_BINARY_DIR}/share)
set(tarvex_share ${PROJECT_SOURCE_DIR}/share)

install(TARGETS tarvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${tarvex_share}/mime/packages/tarvex.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

set(tarvex_man_pages tarvex.1)
if(TARVEX_DESKTOP)
  list(APPEND tarvex_man_pages tarvexw.1)
  install(TARGETS tarvexw RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
          BUNDLE DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${tarvex_share}/applications/tarvexw.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${tarvex_share}/metainfo/org.tarvex.tarvexw.metainfo.xml.in
                 ${tarvex_generated}/org.tarvex.tarvexw.metainfo.xml @ONLY)
  install(FILES ${tarvex_generated}/org.tarvex.tarvexw.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(DIRECTORY ${tarvex_share}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()

find_program(TARVEX_GZIP gzip)
set(tarvex_man_files)
foreach(page ${tarvex_man_pages})
  configure_file(${PROJECT_SOURCE_DIR}/man/${page} ${tarvex_generated}/man/${page} @ONLY)
  if(TARVEX_GZIP)
    # -n: no name or time stamp, so that the same page gives the same bytes.
    add_custom_command(OUTPUT ${tarvex_generated}/man/${page}.gz
                       COMMAND ${TARVEX_GZIP} -9n -c ${tarvex_generated}/man/${page} >
                               ${tarvex_generated}/man/${page}.gz
                       DEPENDS ${tarvex_generated}/man/${page} VERBATIM)
    list(APPEND tarvex_man_files ${tarvex_generated}/man/${page}.gz)
  else()
    list(APPEND tarvex_man_files ${tarvex_generated}/man/${page})
  endif()
endforeach()
add_custom_target(tarvex_man_pages ALL DEPENDS ${tarvex_man_files})
install(FILES ${tarvex_man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian wants the copyright and a changelog with every package, and a maintainer to write to.
set(TARVEX_PACKAGE_MAINTAINER "tarvex maintainers <maintainers@tarvex.example>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")
set(tarvex_docdir ${CMAKE_INSTALL_DATADIR}/doc/tarvex)
install(FILES ${tarvex_share}/doc/copyright DESTINATION ${tarvex_docdir})
if(TARVEX_GZIP)
  configure_file(${tarvex_share}/doc/changelog.in ${tarvex_generated}/doc/changelog @ONLY)
  add_custom_command(OUTPUT ${tarvex_generated}/doc/changelog.gz
                     COMMAND ${TARVEX_GZIP} -9n -c ${tarvex_generated}/doc/changelog >
                             ${tarvex_generated}/doc/changelog.gz
                     DEPENDS ${tarvex_generated}/doc/changelog VERBATIM)
  add_custom_target(tarvex_changelog ALL DEPENDS ${tarvex_generated}/doc/changelog.gz)
  install(FILES ${tarvex_generated}/doc/changelog.gz DESTINATION ${tarvex_docdir})
endif()

set(CPACK_PACKAGE_NAME tarvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TARVEX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "converter from QuickDraw 3D metafiles (3DMF) to VRML 97, X3D and glTF 2.0")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "tarvex reads scenes stored in the 3D Metafile format (3DMF) of QuickDraw 3D\n\
and writes them as VRML 97 worlds, X3D documents or glTF 2.0 assets. It comes\n\
as the command-line program tarvex and the desktop program tarvexw (Qt 6).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are those of the shared libraries the programs actually link (dpkg-shlibdeps):
# libpng16-16 for the glTF writer's textures among them. The JSON library is header-only and
# adds none.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
