// A fault injector for the tests that run the program as a process: preloaded
// into it (LD_PRELOAD), it makes one call of one C library function fail.
//
// J6ENC_FAULT=NAME:CALL:ERRNO[:COUNT] picks the function NAME (fopen, open,
// fstat, ftruncate, fdopen, fread, fwrite or fclose), the CALL-th call of it,
// counted from 1, and the errno it fails with. A failing fread or fwrite first
// passes COUNT bytes on (default 0) and leaves the stream's error indicator
// set; a failing fclose closes the stream and then returns EOF. Every other
// call goes to the next definition, the C library's or a sanitizer's.
//
// NAME fstat_elsewhere makes the CALL-th fstat succeed, but report the inode
// number that the first fstat reported on another device: another file that
// happens to have the first one's number (ERRNO is not used).
#undef _FORTIFY_SOURCE // its inline wrappers would clash with the definitions here
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Fault {
    char name[32] = "";
    long call = 0;
    int error = 0;
    std::size_t count = 0;
};

const Fault& fault()
{
    static const Fault parsed = [] {
        Fault f;
        const char* setting = std::getenv("J6ENC_FAULT");
        if (setting == nullptr || std::sscanf(setting, "%31[^:]:%ld:%d:%zu", f.name, &f.call, &f.error, &f.count) < 3) {
            f.name[0] = '\0';
        }
        return f;
    }();
    return parsed;
}

// Counts a call of `name`; true when it is the chosen call.
bool chosen(const char* name)
{
    static long calls = 0;
    return std::strcmp(fault().name, name) == 0 && ++calls == fault().call;
}

// Counts a call of `name`; true when it is the call that fails, with errno set.
bool strikes(const char* name)
{
    if (!chosen(name)) {
        return false;
    }
    errno = fault().error;
    return true;
}

// With 64-bit file offsets asked for, the C library's headers give open,
// fopen, fstat and ftruncate the names of their 64-bit versions, and the
// definitions below take those names: a call is passed on to the same
// version (on 64-bit systems the two names are one function).
#if defined(_FILE_OFFSET_BITS) && _FILE_OFFSET_BITS == 64
#define LARGE_FILE_NAME(name) name "64"
#else
#define LARGE_FILE_NAME(name) name
#endif

template <typename Function> Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Passes the fault's COUNT bytes through `transfer` (the real fread or fwrite)
// and fails with its errno.
template <typename Data>
std::size_t fail_transfer(std::size_t (*transfer)(Data, std::size_t, std::size_t, std::FILE*), Data data,
                          std::size_t size, std::size_t n, std::FILE* stream)
{
    const std::size_t done = transfer(data, 1, std::min(fault().count, size * n), stream);
    stream->_flags |= _IO_ERR_SEEN; // what ferror reads in glibc
    errno = fault().error;
    return size == 0 ? 0 : done / size;
}

using Read = std::size_t (*)(void*, std::size_t, std::size_t, std::FILE*);
using Write = std::size_t (*)(const void*, std::size_t, std::size_t, std::FILE*);

} // namespace

extern "C" {

std::FILE* fopen(const char* path, const char* mode)
{
    static const auto real = next<std::FILE* (*)(const char*, const char*)>(LARGE_FILE_NAME("fopen"));
    return strikes("fopen") ? nullptr : real(path, mode);
}

int open(const char* path, int flags, ...)
{
    static const auto real = next<int (*)(const char*, int, ...)>(LARGE_FILE_NAME("open"));
    mode_t mode = 0;
    if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    return strikes("open") ? -1 : real(path, flags, mode);
}

int fstat(int fd, struct stat* info) noexcept
{
    static const auto real = next<int (*)(int, struct stat*)>(LARGE_FILE_NAME("fstat"));
    static bool seen = false;
    static dev_t first_device = 0;
    static ino_t first_inode = 0;
    if (strikes("fstat")) {
        return -1;
    }
    const bool elsewhere = chosen("fstat_elsewhere");
    const int result = real(fd, info);
    if (result == 0 && !seen) {
        seen = true;
        first_device = info->st_dev;
        first_inode = info->st_ino;
    }
    if (result == 0 && elsewhere) {
        info->st_dev = first_device + 1;
        info->st_ino = first_inode;
    }
    return result;
}

int ftruncate(int fd, off_t length) noexcept
{
    static const auto real = next<int (*)(int, off_t)>(LARGE_FILE_NAME("ftruncate"));
    return strikes("ftruncate") ? -1 : real(fd, length);
}

std::FILE* fdopen(int fd, const char* mode) noexcept
{
    static const auto real = next<std::FILE* (*)(int, const char*)>("fdopen");
    return strikes("fdopen") ? nullptr : real(fd, mode);
}

std::size_t fread(void* data, std::size_t size, std::size_t n, std::FILE* stream)
{
    static const auto real = next<Read>("fread");
    return strikes("fread") ? fail_transfer(real, data, size, n, stream) : real(data, size, n, stream);
}

// What fread becomes under _FORTIFY_SOURCE where the buffer's size is known.
std::size_t __fread_chk(void* data, std::size_t capacity, std::size_t size, std::size_t n, std::FILE* stream)
{
    using Checked = std::size_t (*)(void*, std::size_t, std::size_t, std::size_t, std::FILE*);
    static const auto real = next<Checked>("__fread_chk");
    static const auto plain = next<Read>("fread");
    return strikes("fread") ? fail_transfer(plain, data, size, n, stream) : real(data, capacity, size, n, stream);
}

std::size_t fwrite(const void* data, std::size_t size, std::size_t n, std::FILE* stream)
{
    static const auto real = next<Write>("fwrite");
    return strikes("fwrite") ? fail_transfer(real, data, size, n, stream) : real(data, size, n, stream);
}

int fclose(std::FILE* stream)
{
    static const auto real = next<int (*)(std::FILE*)>("fclose");
    const bool fails = strikes("fclose");
    const int result = real(stream);
    if (fails) {
        errno = fault().error;
        return EOF;
    }
    return result;
}

} // extern "C"
