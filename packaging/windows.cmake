# The Windows package, included by CMakeLists.txt: cpack -G ZIP in the build
# directory gives j6enc-VERSION-win64.zip, which holds j6enc.exe, LICENSE and
# README.txt, the use of the program in short, the two with Windows line
# endings.
configure_file(${PROJECT_SOURCE_DIR}/packaging/README-windows.txt README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE zip/LICENSE @ONLY NEWLINE_STYLE CRLF)
# The program is stripped as it is linked, and its header carries no time
# stamp: the linker would write the time of the link, and strip, run at pack
# time, the time it ran, so no two builds would be the same.
target_link_options(j6enc PRIVATE -s LINKER:--no-insert-timestamp)
# One component, so that CPack packs the files in sorted order, not in the
# order the file system happens to list them.
install(TARGETS j6enc RUNTIME DESTINATION . COMPONENT zip)
install(FILES ${PROJECT_BINARY_DIR}/zip/LICENSE ${PROJECT_BINARY_DIR}/README.txt DESTINATION . COMPONENT zip)

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "j6enc developers")
set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64")
set(CPACK_GENERATOR ZIP)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
# Named, since CPack takes a project's only component for none.
set(CPACK_COMPONENTS_ALL zip)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The modes of the files in the ZIP are 0755 and 0644, whatever the umask.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/permissions.cmake)
include(CPack)
include(${PROJECT_SOURCE_DIR}/packaging/no_source_package.cmake)
