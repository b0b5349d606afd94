# Read by cpack before it builds each package (CPACK_PROJECT_CONFIG_FILE):
# which components of the installation (packaging/install.cmake) the package
# holds, and its name. Every package is one file that holds its components.
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL program debian_docs)
elseif(CPACK_GENERATOR STREQUAL "RPM")
  set(CPACK_RPM_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL program rpm_licence)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL tarball)
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-linux-${CPACK_J6ENC_PROCESSOR}")
else()
  message(FATAL_ERROR "j6enc is packed with cpack -G DEB, RPM or TGZ, not ${CPACK_GENERATOR}")
endif()
