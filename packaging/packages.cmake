# The packages, included by CMakeLists.txt. In the build directory,
# cpack -G DEB gives the Debian package, cpack -G RPM the RPM, and
# cpack -G TGZ the tarball with the static program, and plain cpack each of
# them that the machine has the tools for; packaging/per_generator.cmake
# gives each its files and name. The Debian package passes lintian without a
# single tag, the RPM rpmlint without an error but its missing signature.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "j6enc developers")
set(CPACK_PACKAGE_CONTACT "${J6ENC_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of at most 79 columns, none starting with "." (a control line in a
# Debian package); an empty line separates paragraphs.
set(CPACK_PACKAGE_DESCRIPTION [[
j6enc encrypts one file into the J6 .DAT format, for people who produce
files in that format for other software to read. The file is cut into
512-byte blocks, and each block is XORed in place with a keystream from a
CRC-16 register seeded from the block index. The output has the input's
length.

This is an obfuscation for the .DAT format, not a strong cipher.]])
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/per_generator.cmake)
# For the tarball: its name, and how to build the static program it holds,
# if this toolchain can link one.
set(CPACK_J6ENC_PROCESSOR ${CMAKE_SYSTEM_PROCESSOR})
if(TARGET j6enc_static)
  set(CPACK_J6ENC_BUILD_STATIC ${CMAKE_COMMAND} --build ${PROJECT_BINARY_DIR} --target j6enc_static)
endif()
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/permissions.cmake)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${J6ENC_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Debian's name for the processor the program is built for. Left unset, CPack
# would take the build machine's, which is wrong for a cross build.
set(j6enc_debian_architectures
    "x86_64|AMD64|amd64=amd64" "aarch64|arm64=arm64" "i[3-6]86=i386" "armv7.*|armhf|arm=armhf"
    "ppc64le|powerpc64le=ppc64el" "s390x=s390x" "riscv64=riscv64")
foreach(pair IN LISTS j6enc_debian_architectures)
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 processors)
  list(GET pair 1 architecture)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(${processors})$")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${architecture})
    break()
  endif()
endforeach()

# The RPM as RPM distributions build theirs: not relocatable, the man
# directories and the licences' directory left to the packages that own them,
# the licence marked as such, and a changelog made from CHANGELOG.md.
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_PACKAGE_RELEASE ${J6ENC_RPM_RELEASE})
set(CPACK_RPM_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_PACKAGE_RELOCATABLE OFF)
# With SOURCE_DATE_EPOCH set, that is its build time and no file in it is
# newer, whatever an RPM distribution's own macros say; its build host is the
# same name on every machine.
set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${J6ENC_MAINTAINER}
%define _buildhost reproducible
%define source_date_epoch_from_changelog 0
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1")
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/man /usr/share/man/man1 /usr/share/licenses)
set(CPACK_RPM_USER_FILELIST "%license /usr/share/licenses/${PROJECT_NAME}/LICENSE")
set(CPACK_RPM_CHANGELOG_FILE ${PROJECT_BINARY_DIR}/doc/rpm-changelog)

# What plain `cpack` builds: every package that this machine has the tools
# for, the tarball last.
find_program(J6ENC_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(J6ENC_RPMBUILD rpmbuild)
set(CPACK_GENERATOR "")
if(J6ENC_DPKG_SHLIBDEPS AND CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
  list(APPEND CPACK_GENERATOR DEB)
endif()
if(J6ENC_RPMBUILD)
  list(APPEND CPACK_GENERATOR RPM)
endif()
if(TARGET j6enc_static)
  list(APPEND CPACK_GENERATOR TGZ)
endif()
include(CPack)
include(${PROJECT_SOURCE_DIR}/packaging/no_source_package.cmake)
