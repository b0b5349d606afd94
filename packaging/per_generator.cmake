# Read by cpack before it builds each package (CPACK_PROJECT_CONFIG_FILE):
# which components of the installation (packaging/install.cmake) the package
# holds, and its name. Every package is one file that holds its components.
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
if(CPACK_GENERATOR STREQUAL "DEB")
  if(NOT CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    message(FATAL_ERROR "no Debian architecture is known for the processor ${CPACK_J6ENC_PROCESSOR}")
  endif()
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL program debian_docs)
  set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_rebuild.cmake)
elseif(CPACK_GENERATOR STREQUAL "RPM")
  set(CPACK_RPM_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL program rpm_licence)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  if(NOT CPACK_J6ENC_BUILD_STATIC)
    message(FATAL_ERROR "no static program to pack: this toolchain cannot link one, lacking the static C and C++ libraries")
  endif()
  # The static program is no part of the build's default target: build it,
  # or bring it up to date.
  execute_process(COMMAND ${CPACK_J6ENC_BUILD_STATIC} COMMAND_ERROR_IS_FATAL ANY)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL tarball)
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-linux-${CPACK_J6ENC_PROCESSOR}")
else()
  message(FATAL_ERROR "j6enc is packed with cpack -G DEB, RPM or TGZ, not ${CPACK_GENERATOR}")
endif()
