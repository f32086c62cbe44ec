# The field PC's install and its Debian package (cpack -G DEB). Programs go
# to /usr/lib/soccer-lab, out of PATH, where plain names such as "agent"
# could clash with other packages; /usr/bin holds only soccer-* commands:
# the lab's subcommands and links to agent and simserver. Sample settings,
# players and scenario files and the lab itself go to /usr/share/soccer-lab.
# `cmake --build build --target deb-files` builds the programs and what the
# package adds to them (man pages, changelog); then `cpack -G DEB` packs.
include(GNUInstallDirs)
# cpack and install take the programs as built; they need not build every test first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(SOCCER_MAINTAINER "Robot Soccer Lab <soccer-lab@example.org>" CACHE STRING
    "The Debian package's Maintainer: the team's name and address (replace the example.org placeholder)")
set(SOCCER_DEB_RELEASE 1 CACHE STRING "The Debian revision of the package's version")
set(SOCCER_DEB_VERSION ${PROJECT_VERSION}-${SOCCER_DEB_RELEASE})

set(SOCCER_LIBEXEC lib/soccer-lab)
set(SOCCER_SHARE ${CMAKE_INSTALL_DATADIR}/soccer-lab)
set(SOCCER_DOC ${CMAKE_INSTALL_DATADIR}/doc/soccer-lab)
set(SOCCER_MAN1 ${CMAKE_INSTALL_MANDIR}/man1)
set(deb_dir ${PROJECT_BINARY_DIR}/packaging)
set(stage ${deb_dir}/stage/usr)

set(soccer_programs agent agent-b agent-c simserver)
if(TARGET statue)
  list(APPEND soccer_programs statue)
endif()
# The lab's subcommands installed as commands: tune once the lab has it.
set(soccer_lab_commands play team tournament)
if(EXISTS ${PROJECT_SOURCE_DIR}/lab/tune.py OR EXISTS ${PROJECT_SOURCE_DIR}/lab/tune/__init__.py)
  list(APPEND soccer_lab_commands tune)
endif()
# Programs that are commands too, under the package's prefix.
set(soccer_linked_programs agent simserver)

install(TARGETS ${soccer_programs} RUNTIME DESTINATION ${SOCCER_LIBEXEC})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/lab DESTINATION ${SOCCER_SHARE}
        FILES_MATCHING PATTERN "*.py" PATTERN "__pycache__" EXCLUDE)
file(GLOB soccer_sample_files ${PROJECT_SOURCE_DIR}/config/*.ini)
install(FILES ${soccer_sample_files} DESTINATION ${SOCCER_SHARE}/config)

# Each command is made twice: for the package, and in a staged copy of the
# installed tree under the build folder, which help2man runs so that the man
# pages show the installed wording (installed folders and command names).
file(GLOB_RECURSE lab_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/lab/*.py)
file(GLOB man_includes CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/man/*.h2m)
set(soccer_commands)
foreach(command IN LISTS soccer_lab_commands)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/soccer-command.in ${deb_dir}/soccer-${command} @ONLY)
  file(COPY ${deb_dir}/soccer-${command} DESTINATION ${stage}/bin
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  install(PROGRAMS ${deb_dir}/soccer-${command} DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND soccer_commands soccer-${command})
endforeach()
foreach(program IN LISTS soccer_linked_programs)
  file(CREATE_LINK ../${SOCCER_LIBEXEC}/${program} ${deb_dir}/soccer-${program} SYMBOLIC)
  file(CREATE_LINK ../${SOCCER_LIBEXEC}/${program} ${stage}/bin/soccer-${program} SYMBOLIC)
  install(FILES ${deb_dir}/soccer-${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND soccer_commands soccer-${program})
endforeach()

# The man pages: section 1, as these are tools a team runs (a simulator, a
# robot's control program, a launcher), not games a person plays.
find_program(HELP2MAN help2man)
set(man_pages)
set(stage_programs)
foreach(program IN LISTS soccer_programs)
  add_custom_command(OUTPUT ${stage}/${SOCCER_LIBEXEC}/${program}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/${SOCCER_LIBEXEC}
    COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:${program}> ${stage}/${SOCCER_LIBEXEC}/${program}
    DEPENDS ${program} VERBATIM)
  list(APPEND stage_programs ${stage}/${SOCCER_LIBEXEC}/${program})
endforeach()
add_custom_command(OUTPUT ${deb_dir}/stage.stamp
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}/share/soccer-lab
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/lab ${stage}/share/soccer-lab/lab
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/config ${stage}/share/soccer-lab/config
  COMMAND ${CMAKE_COMMAND} -E touch ${deb_dir}/stage.stamp
  DEPENDS ${lab_sources} VERBATIM)
foreach(command IN LISTS soccer_commands)
  set(page ${deb_dir}/man/${command}.1.gz)
  add_custom_command(OUTPUT ${page}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/manpage.sh "${HELP2MAN}" ${stage} ${command} ${page} ${deb_dir}/changelog.Debian
    DEPENDS ${deb_dir}/stage.stamp ${stage_programs} ${CMAKE_CURRENT_LIST_DIR}/manpage.sh ${deb_dir}/changelog.Debian
            ${man_includes}
    VERBATIM)
  list(APPEND man_pages ${page})
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${deb_dir}/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog ${deb_dir}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${deb_dir}/changelog.Debian.gz
  COMMAND gzip -9nfk ${deb_dir}/changelog.Debian
  DEPENDS ${deb_dir}/changelog.Debian VERBATIM)
# Part of a whole plain build where help2man is there (bootstrap.sh all
# installs it); sanitizer and fuzzing builds are never packaged.
if(HELP2MAN AND NOT SOCCER_SANITIZE AND NOT SOCCER_FUZZ)
  set(deb_files_all ALL)
endif()
add_custom_target(deb-files ${deb_files_all} DEPENDS ${man_pages} ${deb_dir}/changelog.Debian.gz)

install(FILES ${man_pages} DESTINATION ${SOCCER_MAN1})
install(FILES ${deb_dir}/copyright ${deb_dir}/changelog.Debian.gz DESTINATION ${SOCCER_DOC})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME soccer-lab)

set(CPACK_PACKAGE_NAME soccer-lab)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${SOCCER_DEB_RELEASE})
set(CPACK_PACKAGE_CONTACT "${SOCCER_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SOCCER_MAINTAINER}")
# The first line is the synopsis; the rest, the long description.
file(READ ${CMAKE_CURRENT_LIST_DIR}/debian/description soccer_description)
string(STRIP "${soccer_description}" soccer_description)
string(FIND "${soccer_description}" "\n" synopsis_end)
string(SUBSTRING "${soccer_description}" 0 ${synopsis_end} CPACK_PACKAGE_DESCRIPTION_SUMMARY)
math(EXPR synopsis_end "${synopsis_end} + 1")
string(SUBSTRING "${soccer_description}" ${synopsis_end} -1 CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries from dpkg-shlibdeps; the lab needs only Python's standard library.
# A tournament runs its matches through GNU parallel and its statistics on
# SciPy, so both are recommended: play and team run without them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= 3.9)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "parallel, python3-scipy")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "rsync, openssh-client")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
