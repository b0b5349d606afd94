// The file calls of files_platform.h on POSIX systems.
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files_platform.h"

// Sizes, offsets and inode numbers of any file: the build asks for 64-bit
// file offsets where the C library's are narrower by default.
static_assert(sizeof(off_t) >= sizeof(std::uint64_t) && sizeof(ino_t) >= sizeof(std::uint64_t),
              "files of 2 GiB or more need 64-bit file offsets and inode numbers");

// Every file has a device and an inode number, so every file is identified:
// a link can make any of them, a device or FIFO too, the output's name.
bool examine(int fd, FileFacts& facts)
{
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        return false;
    }
    facts = {.identity = {static_cast<std::uint64_t>(info.st_dev), 0, static_cast<std::uint64_t>(info.st_ino)},
             .identified = true,
             .directory = S_ISDIR(info.st_mode),
             .regular = S_ISREG(info.st_mode),
             .size = static_cast<std::uint64_t>(info.st_size),
             .mode = static_cast<std::uint32_t>(info.st_mode & 07777U)};
    return true;
}

// A new file gets the input's read and write bits and its owner's write bit,
// less the umask. It is never readable by more people than the input, and its
// owner can replace it with a later j6enc even when the input is read-only
// (unless the umask takes the owner's write bit away too). A .DAT is data,
// never a program, so neither the execute bits nor setuid, setgid or sticky
// carry over. An existing file keeps its mode.
int open_for_writing(const char* name, const FileFacts& input)
{
    return open(name, O_WRONLY | O_CREAT | O_CLOEXEC, static_cast<mode_t>((input.mode & 0666U) | 0200U));
}

bool truncate_to_empty(int fd)
{
    return ftruncate(fd, 0) == 0;
}

void close_descriptor(int fd)
{
    static_cast<void>(close(fd));
}
