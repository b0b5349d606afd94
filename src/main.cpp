// j6enc: encrypts one file into "FILE.DAT", block by block.
//
// Every message goes to standard output. The exit status is 0 after a
// completed run and 1 after any failure the program detects; no path deletes
// a file, so an output that was created stays even when the run fails.
//
// The exit status reports the file work alone: what happens to the console
// never stops or changes a run. Nothing is written to standard output while
// either file is open, and every report comes after both are closed: started
// with descriptor 1 closed, the program may get descriptor 1 for a file, and a
// message written then would land in that file.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "encryptor.h"

namespace {

// Stream buffers, larger than the default so that reading and writing a large
// file takes few system calls: the kernel's cost per write falls with its
// size, and past a few hundred KiB hardly at all. Static: the memory is the
// same for every file and nothing is allocated.
constexpr std::size_t STREAM_BUFFER_SIZE = std::size_t{256} * 1024;
char input_stream_buffer[STREAM_BUFFER_SIZE];
char output_stream_buffer[STREAM_BUFFER_SIZE];

// Reports a failure on the file `name` followed by `suffix`; the output's name
// is the input path followed by ".DAT", so it never needs a buffer of its own.
void report(const char* what, const char* name, const char* suffix)
{
    std::printf("Error: cannot %s %s%s\n", what, name, suffix);
}

// Gives `stream` one of the static buffers. Should that fail, the stream keeps
// its default buffer, which is only slower.
void use_buffer(std::FILE* stream, char* buffer)
{
    static_cast<void>(std::setvbuf(stream, buffer, _IOFBF, STREAM_BUFFER_SIZE));
}

// The input is only read, so a failing close loses nothing.
void close_input(std::FILE* in)
{
    static_cast<void>(std::fclose(in));
}

// Opens the input for binary reading and fills `info` from the open
// descriptor, the one look the run takes at the input. A directory opens on
// Linux but is no file to encrypt, so it counts as an input that cannot be
// opened.
std::FILE* open_input(const char* path, struct stat& info)
{
    std::FILE* in = std::fopen(path, "rb");
    if (in == nullptr) {
        return nullptr;
    }
    if (fstat(fileno(in), &info) != 0 || S_ISDIR(info.st_mode)) {
        close_input(in);
        return nullptr;
    }
    use_buffer(in, input_stream_buffer);
    return in;
}

// Opens the output `name` for binary writing without ever harming the input
// described by `input`. The file is opened without truncation and compared
// with the input by descriptor, so a name that is, or has just become, a link
// to the input is refused before a byte of it changes. A new file gets the
// input's permission bits less the umask; an existing one keeps its mode. Only
// a regular file with bytes in it is truncated: a device or FIFO is written as
// it is, and an empty file, new ones among them, needs nothing. (Truncating an
// empty file would also make ext4 write the whole new output to disk when it
// is closed, its guard for files rewritten in place: a 256 MiB run took half
// as long again.)
std::FILE* open_output(const char* name, const struct stat& input)
{
    const int fd = open(name, O_WRONLY | O_CREAT | O_CLOEXEC, input.st_mode & 0777U);
    if (fd < 0) {
        return nullptr;
    }
    struct stat output {};
    const bool usable = fstat(fd, &output) == 0 && (output.st_dev != input.st_dev || output.st_ino != input.st_ino)
                        && (!S_ISREG(output.st_mode) || output.st_size == 0 || ftruncate(fd, 0) == 0);
    std::FILE* const out = usable ? fdopen(fd, "wb") : nullptr;
    if (out == nullptr) {
        static_cast<void>(close(fd));
        return nullptr;
    }
    use_buffer(out, output_stream_buffer);
    return out;
}

} // namespace

int run(int argc, char* argv[])
{
    // A pipe that nobody reads must not kill the run: writing to it then
    // fails like any console write, and no console write is ever checked.
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
    std::puts("Quorl software - J6 Encrypt");
    // Out before any file is opened: a user watching a pipe sees it while the
    // input is awaited, and a console redirected into the output file cannot
    // write over the encrypted bytes later.
    static_cast<void>(std::fflush(stdout));
    if (argc < 2) {
        std::puts("Usage: j6enc in-file");
        return 1;
    }
    const char* const in_path = argv[1];

    struct stat input_info {};
    std::FILE* const in = open_input(in_path, input_info);
    if (in == nullptr) {
        report("open", in_path, "");
        return 1;
    }

    // The working buffer holds the output name first, then the current block.
    std::uint8_t buffer[BLOCK_SIZE];
    char* const out_name = reinterpret_cast<char*>(buffer);
    const int name_length = std::snprintf(out_name, BLOCK_SIZE, "%s.DAT", in_path);
    if (name_length < 0 || static_cast<unsigned>(name_length) >= BLOCK_SIZE) {
        // Longer than the buffer holds: the name was cut, so open nothing.
        close_input(in);
        report("open", in_path, ".DAT");
        return 1;
    }
    std::FILE* const out = open_output(out_name, input_info);
    if (out == nullptr) {
        close_input(in);
        report("open", out_name, "");
        return 1;
    }

    bool write_failed = false;
    std::uint32_t block_index = 0;
    for (;;) {
        const std::size_t count = std::fread(buffer, 1, BLOCK_SIZE, in);
        if (count == 0) {
            break;
        }
        encrypt_block(buffer, count, block_index);
        if (std::fwrite(buffer, 1, count, out) != count) {
            write_failed = true;
            break;
        }
        ++block_index;
        // Stop at a read error even when the failing read delivered some bytes.
        if (std::ferror(in) != 0) {
            break;
        }
    }
    const bool read_failed = std::ferror(in) != 0;
    // Closing flushes what the stream still buffers; that can fail too.
    if (std::fclose(out) != 0) {
        write_failed = true;
    }
    close_input(in);

    // A read error comes first: the output then misses bytes whatever else
    // went wrong.
    if (read_failed) {
        report("read", in_path, "");
        return 1;
    }
    if (write_failed) {
        report("write", in_path, ".DAT");
        return 1;
    }
    return 0;
}

int main(int argc, char* argv[])
{
    return run(argc, argv);
}
