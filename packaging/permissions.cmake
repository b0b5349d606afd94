# Run by CPack on its staging tree before it builds a package. Directories
# created during installation take their mode from the builder's umask; here
# directories and programs get 0755 and every other file 0644, the modes a
# distribution expects, whatever that umask was.
execute_process(COMMAND chmod -R u=rwX,go=rX "${CPACK_TEMPORARY_INSTALL_DIRECTORY}"
                COMMAND_ERROR_IS_FATAL ANY)
