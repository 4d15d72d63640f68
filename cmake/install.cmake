# Installing (`cmake --install`) and the Debian package (`cpack -G DEB`). The files whose text
# names the version or the install paths are made in the build tree; man pages are gzipped there,
# as Debian wants them.
include(GNUInstallDirs)

# Installing (and packaging) builds only what is installed, not every test and benchmark: the
# targets below are built first, by hand or by scripts/check-package.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
# Three packages: tarvex (the programs), libtarvex1 (the shared library) and libtarvex-dev.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME programs)

set(tarvex_generated ${PROJECT_BINARY_DIR}/share)
set(tarvex_share ${PROJECT_SOURCE_DIR}/share)

# The library for other programs: the shared library in its own package (libtarvex1), and the
# headers, the static library, the CMake package and the pkg-config file for building with it
# (libtarvex-dev). The programs link the internal libraries statically and need neither.
install(TARGETS tarvex_shared tarvex_static tarvex_headers EXPORT tarvexTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library
                NAMELINK_COMPONENT development
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT library)
install(FILES ${PROJECT_SOURCE_DIR}/include/tarvex/tarvex.h
              ${PROJECT_SOURCE_DIR}/include/tarvex/export.h
              ${PROJECT_BINARY_DIR}/include/tarvex/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tarvex COMPONENT development)
set(tarvex_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/tarvex)
install(EXPORT tarvexTargets NAMESPACE tarvex:: DESTINATION ${tarvex_cmake_dir}
        COMPONENT development)
include(CMakePackageConfigHelpers)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/tarvexConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/cmake/tarvexConfig.cmake
                              INSTALL_DESTINATION ${tarvex_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/tarvexConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cmake/tarvexConfig.cmake
              ${PROJECT_BINARY_DIR}/cmake/tarvexConfigVersion.cmake
        DESTINATION ${tarvex_cmake_dir} COMPONENT development)
# Relocatable: the prefix is found from where the file is.
file(RELATIVE_PATH tarvex_pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
set(tarvex_pc_requires "")
if(TARVEX_GLTF)
  set(tarvex_pc_requires "libpng zlib")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/tarvex.pc.in ${PROJECT_BINARY_DIR}/tarvex.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tarvex.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT development)

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
# Every package carries its own copyright and changelog.
set(tarvex_library_package libtarvex${PROJECT_VERSION_MAJOR})
foreach(component library development)
  set(package ${tarvex_library_package})
  if(component STREQUAL development)
    set(package libtarvex-dev)
  endif()
  install(FILES ${tarvex_share}/doc/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  if(TARVEX_GZIP)
    install(FILES ${tarvex_generated}/doc/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  endif()
endforeach()

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
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs library development)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME tarvex)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${tarvex_library_package})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
# The shared library's shlibs file, and the system's ldconfig run through a trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${tarvex_share}/debian/triggers)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION
    "library converting QuickDraw 3D metafiles (3DMF) to VRML 97, X3D and glTF 2.0\n\
The tarvex library reads scenes stored in the 3D Metafile format (3DMF) of\n\
QuickDraw 3D, from files or memory, and writes them as VRML 97 worlds, X3D\n\
documents or glTF 2.0 assets, or hands them over as plain data.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtarvex-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "${tarvex_library_package} (= ${PROJECT_VERSION}), libpng-dev")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "development files for the tarvex 3DMF conversion library\n\
The C++ header, the static library, the CMake package (find_package(tarvex))\n\
and the pkg-config file for building programs that convert QuickDraw 3D\n\
metafiles (3DMF) to VRML 97, X3D and glTF 2.0 with the tarvex library.")
include(CPack)
