# Installing (cmake --install build --prefix DIR) and the Debian package (make package).
#   bin/                          orbench, orbench-cli, orbench-plot (orbench-cli finds orbench-plot beside it)
#   share/orbench/casemixes/      the sample case mixes (the desktop program reads them when installed)
#   share/orbench/docs/           the documentation, CITATION.cff and CHANGELOG.md
#   share/man/man1/               orbench-cli(1) and orbench-cli-COMMAND(1), made from the program's help
#   share/applications/, share/icons/hicolor/scalable/apps/   the menu entry and its icon
#   lib/python3/dist-packages/orbench/   the Python module (python/CMakeLists.txt)
include(GNUInstallDirs)

set(ORBENCH_DATA_DIR ${CMAKE_INSTALL_DATADIR}/orbench)

install(TARGETS orbench-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(ORBENCH_BUILD_GUI)
  install(TARGETS orbench orbench-plot RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/orbench.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/orbench.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

install(FILES ${ORBENCH_CASEMIX_FILES} ${CMAKE_SOURCE_DIR}/casemixes/README.md DESTINATION ${ORBENCH_DATA_DIR}/casemixes)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${ORBENCH_DATA_DIR}/docs PATTERN screenshots EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/CITATION.cff ${CMAKE_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${ORBENCH_DATA_DIR}/docs)

# The manual pages, from the help of the orbench-cli just built.
set(ORBENCH_MAN_DIR ${CMAKE_BINARY_DIR}/man)
add_custom_command(
  OUTPUT ${ORBENCH_MAN_DIR}/orbench-cli.1
  COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:orbench-cli> -DOUT=${ORBENCH_MAN_DIR} -DVERSION=${PROJECT_VERSION}
          -DDOCS=${CMAKE_INSTALL_FULL_DATADIR}/orbench/docs -P ${CMAKE_SOURCE_DIR}/cmake/ManPages.cmake
  DEPENDS orbench-cli ${CMAKE_SOURCE_DIR}/cmake/ManPages.cmake
  COMMENT "Writing the manual pages of orbench-cli")
add_custom_target(manpages ALL DEPENDS ${ORBENCH_MAN_DIR}/orbench-cli.1)
install(DIRECTORY ${ORBENCH_MAN_DIR}/ DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 FILES_MATCHING PATTERN "*.1")

# The Debian package: orbench_<version>_amd64.deb, its library dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orbench)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orbench developers")
set(CPACK_PACKAGE_CONTACT "Orbench developers <maintainers@orbench.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "benchmark instances for operating-room scheduling research")
set(CPACK_PACKAGE_DESCRIPTION
    "Orbench makes benchmark instances for operating-room scheduling: lists of surgeries with random durations drawn\
 from case mixes so that their expected work fills OR-days at a target load. It places surgery types in the plane\
 of mean duration over capacity against coefficient of variation, measures how much instances overlap and keeps the\
 least overlapping ones. The package holds the desktop program, orbench-cli, the Python module and sample case mixes.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3, python3-numpy")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
