# Installation, included by CMakeLists.txt. `cmake --install` and the packages
# hold the same files: the program, its manual page, and the copyright and
# changelog that a Debian package must carry in share/doc/j6enc.
include(GNUInstallDirs)
# Directories as 0755 where the umask allows it (packages get 0755 always).
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS j6enc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped program loses the .comment and .note sections too, as Debian's
# dh_strip does: they only name the compilers.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:j6enc>\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()")
install(FILES ${PROJECT_BINARY_DIR}/man/j6enc.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/doc/copyright ${PROJECT_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
