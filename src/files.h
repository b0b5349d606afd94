// The program's two files: opening the input, opening the output without ever
// harming the input, and closing both. The rules live in files.cpp; what
// differs between systems sits behind the few calls of files_platform.h, with
// one implementation for POSIX and one for Windows.
#ifndef J6ENC_FILES_H
#define J6ENC_FILES_H

#include <cstdint>
#include <cstdio>

// Which file an open file is: the device (POSIX) or volume serial number
// (Windows) that holds it, and its number there, an inode number or a
// 128-bit file id, split into two halves.
struct FileIdentity {
    std::uint64_t volume;
    std::uint64_t file_high;
    std::uint64_t file_low;
};

// Whether two identities name the same file. The same number on another
// device or volume is another file.
bool is_same_file(const FileIdentity& a, const FileIdentity& b) noexcept;

// What the program learns of a file once it is open.
struct FileFacts {
    FileIdentity identity;
    // Whether `identity` names the file. Always on POSIX; on Windows only for
    // a disk file: a console, NUL or a pipe has no identity, and cannot be
    // the other of the two files either.
    bool identified;
    bool directory;
    bool regular; // a regular file on disk, the one kind that is truncated
    std::uint64_t size;
    std::uint32_t mode; // permission bits, as the platform's stat gives them
};

struct InputFile {
    std::FILE* stream; // nullptr when the input cannot be used
    FileFacts facts;
};

// Opens `path` for binary reading and examines it. A directory, or a file
// that cannot be examined, counts as an input that cannot be opened.
InputFile open_input(const char* path);

// Opens `name` for binary writing, creating it if it is absent, and refuses
// it (nullptr) when it is the input described by `input` or cannot be
// examined. Nothing in the file changes before it has passed that check.
std::FILE* open_output(const char* name, const FileFacts& input);

// The input is only read, so a failing close loses nothing.
void close_input(std::FILE* in);

// Flushes and closes the output; false when either fails, that is when bytes
// may not have reached the file.
bool close_output(std::FILE* out);

#endif
