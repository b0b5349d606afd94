# The manual page and the documents that installation and the packages carry,
# built with the program, included by CMakeLists.txt. The compressed ones are
# made with gzip -9n (no name or time stamp), so equal input gives equal bytes.
find_program(J6ENC_GZIP gzip REQUIRED)
set(J6ENC_MAINTAINER "j6enc developers <maintainers@users.noreply.c-seed-6fadeaa4.example>")

configure_file(${PROJECT_SOURCE_DIR}/man/j6enc.1.in man/j6enc.1 @ONLY)
add_custom_command(
  OUTPUT man/j6enc.1.gz
  COMMAND ${J6ENC_GZIP} -9nkf j6enc.1
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/man
  DEPENDS ${PROJECT_BINARY_DIR}/man/j6enc.1
  VERBATIM)

# The copyright file in the machine-readable Debian format, built from LICENSE
# (the notice, and the permission text indented as the format wants).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE j6enc_license)
if(NOT j6enc_license MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(Permission .*)$")
  message(FATAL_ERROR "LICENSE: expected the notice \"Copyright (c) ...\" and then \"Permission ...\"")
endif()
set(J6ENC_COPYRIGHT "${CMAKE_MATCH_1}")
set(J6ENC_LICENSE_TEXT "${CMAKE_MATCH_2}")
string(STRIP "${J6ENC_LICENSE_TEXT}" J6ENC_LICENSE_TEXT)
string(REPLACE "\n\n" "\n.\n" J6ENC_LICENSE_TEXT "${J6ENC_LICENSE_TEXT}")
string(REPLACE "\n" "\n " J6ENC_LICENSE_TEXT " ${J6ENC_LICENSE_TEXT}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in doc/copyright @ONLY)

add_custom_command(
  OUTPUT doc/changelog.gz
  COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/CHANGELOG.md -DOUTPUT=changelog
          -DPACKAGE=${PROJECT_NAME} -DMAINTAINER=${J6ENC_MAINTAINER}
          -P ${PROJECT_SOURCE_DIR}/packaging/changelog.cmake
  COMMAND ${J6ENC_GZIP} -9nkf changelog
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/doc
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/packaging/changelog.cmake
  VERBATIM)
# The same changelog as an RPM's %changelog, every release there as the first
# package of its version.
set(J6ENC_RPM_RELEASE 1)
add_custom_command(
  OUTPUT doc/rpm-changelog
  COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/CHANGELOG.md -DOUTPUT=rpm-changelog
          -DPACKAGE=${PROJECT_NAME} -DMAINTAINER=${J6ENC_MAINTAINER} -DFORMAT=rpm -DRELEASE=${J6ENC_RPM_RELEASE}
          -P ${PROJECT_SOURCE_DIR}/packaging/changelog.cmake
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/doc
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/packaging/changelog.cmake
  VERBATIM)

# The README of the tarball with the static program.
configure_file(${PROJECT_SOURCE_DIR}/packaging/README-linux.txt doc/README @ONLY)

add_custom_target(j6enc_docs ALL DEPENDS man/j6enc.1.gz doc/changelog.gz doc/rpm-changelog)
