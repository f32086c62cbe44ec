# The field PC's install and its Debian package (cpack -G DEB): the agent
# programs, the simulated server, the lab with one command per subcommand,
# and the sample settings, players and scenario files.
include(GNUInstallDirs)
# cpack and install take the programs as built; they need not build every test first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(SOCCER_SHARE ${CMAKE_INSTALL_DATADIR}/soccer)
install(TARGETS agent agent-b agent-c statue simserver RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/lab DESTINATION ${SOCCER_SHARE}
        FILES_MATCHING PATTERN "*.py" PATTERN "__pycache__" EXCLUDE)
file(GLOB soccer_sample_files ${PROJECT_SOURCE_DIR}/config/*.ini)
install(FILES ${soccer_sample_files} DESTINATION ${SOCCER_SHARE}/config)
foreach(command IN ITEMS play team tournament)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/soccer-command.in ${PROJECT_BINARY_DIR}/packaging/soccer-${command} @ONLY)
  install(PROGRAMS ${PROJECT_BINARY_DIR}/packaging/soccer-${command} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

set(CPACK_PACKAGE_NAME soccer-lab)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_CONTACT "Robot soccer lab <soccer-lab@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Robot soccer agents, a simulated Soccer Server and the lab that fields them")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# Libraries from dpkg-shlibdeps; the lab needs only Python's standard library
# (its tournament's statistics use python3-scipy when it is there).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= 3.9)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-scipy")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
