# Installation, included by CMakeLists.txt, in components from which each
# package takes its files (packaging/per_generator.cmake):
#   program      the program and its manual page: the Debian package and the RPM;
#   debian_docs  the copyright and changelog that a Debian package must carry
#                in share/doc/j6enc;
#   rpm_licence  the licence where RPM distributions keep licences, marked as
#                the licence in the RPM;
#   tarball      the static program, the manual page, the licence and a README,
#                side by side: the tarball.
# `cmake --install` installs what the Debian package holds, `program` and
# `debian_docs`; the other two are left out of it (EXCLUDE_FROM_ALL).
include(GNUInstallDirs)
# Directories as 0755 where the umask allows it (packages get 0755 always).
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Installs `target` into `destination` within `component`, ARGN saying more
# about that component. A stripped program loses the .comment and .note
# sections too, as Debian's dh_strip does: they only name the compilers.
function(j6enc_install_program target destination component)
  install(TARGETS ${target} RUNTIME DESTINATION ${destination} COMPONENT ${component} ${ARGN})
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/$<TARGET_FILE_NAME:${target}>\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()"
    COMPONENT ${component} ${ARGN})
endfunction()

j6enc_install_program(j6enc ${CMAKE_INSTALL_BINDIR} program)
install(FILES ${PROJECT_BINARY_DIR}/man/j6enc.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
install(FILES ${PROJECT_BINARY_DIR}/doc/copyright ${PROJECT_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian_docs)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/licenses/${PROJECT_NAME}
        COMPONENT rpm_licence EXCLUDE_FROM_ALL)
if(TARGET j6enc_static)
  j6enc_install_program(j6enc_static . tarball EXCLUDE_FROM_ALL)
  install(FILES ${PROJECT_BINARY_DIR}/man/j6enc.1 ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/doc/README
          DESTINATION . COMPONENT tarball EXCLUDE_FROM_ALL)
endif()
