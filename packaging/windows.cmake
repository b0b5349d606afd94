# The Windows package, included by CMakeLists.txt: cpack -G ZIP in the build
# directory gives j6enc-VERSION-win64.zip, which holds j6enc.exe, LICENSE and
# README.txt, the use of the program in short, with Windows line endings.
configure_file(${PROJECT_SOURCE_DIR}/packaging/README-windows.txt README.txt @ONLY NEWLINE_STYLE CRLF)
install(TARGETS j6enc RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "j6enc developers")
set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64")
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
include(CPack)
include(${PROJECT_SOURCE_DIR}/packaging/no_source_package.cmake)
