# Included after include(CPack): removes the configuration of CPack's source
# package, and with it the package_source target. That package would be the
# source directory as it stands, build trees and all, and under -G TGZ it
# would take the binary tarball's name and replace it. The source tarball is
# made by packaging/release.sh from the files that git tracks.
file(REMOVE ${PROJECT_BINARY_DIR}/CPackSourceConfig.cmake)
