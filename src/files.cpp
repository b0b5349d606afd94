// The rules for the program's two files, the same on every system; the calls
// that differ are those of files_platform.h.
#include "files.h"

#include "files_platform.h"

namespace {

// Both streams are unbuffered: the program reads and writes whole runs of
// blocks, which the C library then passes straight to the kernel, and a
// buffer of its own would only add a copy of every byte. (glibc, for one,
// copies a write into its buffer whenever the buffer has room, however large
// the write.) Should this fail, the stream keeps its buffer, which is only
// slower.
void unbuffer(std::FILE* stream)
{
    static_cast<void>(std::setvbuf(stream, nullptr, _IONBF, 0));
}

} // namespace

bool is_same_file(const FileIdentity& a, const FileIdentity& b) noexcept
{
    return a.volume == b.volume && a.file_high == b.file_high && a.file_low == b.file_low;
}

// The one look the program takes at the input is taken here, from the open file.
// A directory opens on Linux but is no file to encrypt.
InputFile open_input(const char* path)
{
    InputFile input{std::fopen(path, "rb"), {}};
    if (input.stream == nullptr) {
        return input;
    }
    if (!examine(fileno(input.stream), input.facts) || input.facts.directory) {
        close_input(input.stream);
        input.stream = nullptr;
        return input;
    }
    unbuffer(input.stream);
    return input;
}

// The file is opened without truncation and compared with the input by
// identity, so a name that is, or has just become, a link to the input is
// refused before a byte of it changes. Only a regular file with bytes in it
// is truncated: a device or FIFO is written as it is, and an empty file, new
// ones among them, needs nothing. (Truncating an empty file would also make
// ext4 write the whole new output to disk when it is closed, its guard for
// files rewritten in place: a 256 MiB file took half as long again.)
std::FILE* open_output(const char* name, const FileFacts& input)
{
    const int fd = open_for_writing(name, input);
    if (fd < 0) {
        return nullptr;
    }
    FileFacts output{};
    const bool usable = examine(fd, output)
                        && !(input.identified && output.identified && is_same_file(input.identity, output.identity))
                        && (!output.regular || output.size == 0 || truncate_to_empty(fd));
    std::FILE* const out = usable ? fdopen(fd, "wb") : nullptr;
    if (out == nullptr) {
        close_descriptor(fd);
        return nullptr;
    }
    unbuffer(out);
    return out;
}

void close_input(std::FILE* in)
{
    static_cast<void>(std::fclose(in));
}

// The flush is asked for on its own, and checked, because a C library may
// lose the error of the flush that fclose does last.
bool close_output(std::FILE* out)
{
    const bool flushed = std::fflush(out) == 0;
    return std::fclose(out) == 0 && flushed;
}
