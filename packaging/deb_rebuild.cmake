# Run by CPack after it has built the Debian package (CPACK_POST_BUILD_SCRIPTS,
# set in packaging/per_generator.cmake), to make its bytes depend on nothing
# but the files it holds. CPack gives it as Installed-Size the sum of st_size
# over its staging tree, directories included, and that depends on the file
# system the build is on (4096 bytes a directory on ext4, a few dozen on
# tmpfs); its ar members take their modes from the umask. So the package is
# unpacked and built again with dpkg-deb, with the size that dpkg-gencontrol
# gives (each file's size in KiB rounded up, 1 for anything else, the top
# directory included): dpkg-deb writes fixed modes, sorts the entries, and
# with SOURCE_DATE_EPOCH set gives every member and entry that time.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  # What the package gave its files, whatever the umask did to them here.
  execute_process(COMMAND chmod -R u=rwX,go=rX ${tree} COMMAND_ERROR_IS_FATAL ANY)

  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${tree} ${tree}/*)
  list(FILTER entries EXCLUDE REGEX "^DEBIAN(/|$)")
  set(size 1) # the top directory
  foreach(entry IN LISTS entries)
    if(IS_SYMLINK ${tree}/${entry} OR IS_DIRECTORY ${tree}/${entry})
      math(EXPR size "${size} + 1")
    else()
      file(SIZE ${tree}/${entry} bytes)
      math(EXPR size "${size} + (${bytes} + 1023) / 1024")
    endif()
  endforeach()
  file(READ ${tree}/DEBIAN/control control)
  string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${size}\n" new_control "${control}")
  if(new_control STREQUAL control AND NOT control MATCHES "\nInstalled-Size: ${size}\n")
    message(FATAL_ERROR "${deb}: no Installed-Size in its control file")
  endif()
  file(WRITE ${tree}/DEBIAN/control "${new_control}")

  execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${deb} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
