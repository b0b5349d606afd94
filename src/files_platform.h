// The file calls that differ between systems, used by files.cpp alone:
// files_posix.cpp implements them with POSIX calls, files_windows.cpp with
// the Windows C runtime and Win32. Each takes a C runtime file descriptor.
#ifndef J6ENC_FILES_PLATFORM_H
#define J6ENC_FILES_PLATFORM_H

#include "files.h"

// Fills `facts` from the open descriptor `fd`; false when the file cannot be
// examined, among them a disk file whose identity cannot be had.
bool examine(int fd, FileFacts& facts);

// Opens `name` for writing, never truncating it, with a descriptor that no
// child process inherits. A file that does not exist yet is created with
// what a new output takes from the input described by `input`. Returns the
// descriptor, or -1.
int open_for_writing(const char* name, const FileFacts& input);

// Cuts the file open as `fd` to length 0; false when that fails.
bool truncate_to_empty(int fd);

// Closes a descriptor that no stream owns.
void close_descriptor(int fd);

#endif
