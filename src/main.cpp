// j6enc: encrypts one file into "FILE.DAT", block by block.
//
// Every message goes to standard output. The exit status is 0 after a
// completed run and 1 after any failure the program detects; no path deletes
// a file, so an output that was created stays even when the run fails.
#include <cstdint>
#include <cstdio>
#include <sys/stat.h>

#include "encryptor.h"

namespace {

// Stream buffers, larger than the default so that reading and writing a large
// file takes few system calls. Static: the memory is the same for every file
// and nothing is allocated.
constexpr std::size_t STREAM_BUFFER_SIZE = std::size_t{64} * 1024;
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

// Opens the input for binary reading. A directory opens on Linux but is no
// file to encrypt, so it counts as an input that cannot be opened.
std::FILE* open_input(const char* path)
{
    std::FILE* in = std::fopen(path, "rb");
    if (in == nullptr) {
        return nullptr;
    }
    struct stat info {};
    if (fstat(fileno(in), &info) != 0 || S_ISDIR(info.st_mode)) {
        close_input(in);
        return nullptr;
    }
    use_buffer(in, input_stream_buffer);
    return in;
}

// True when `name` already names the opened input (a hard or symbolic link):
// creating the output would truncate the input before a byte of it is read.
bool names_input(const char* name, std::FILE* in)
{
    struct stat input {};
    struct stat output {};
    return fstat(fileno(in), &input) == 0 && stat(name, &output) == 0 && input.st_dev == output.st_dev
           && input.st_ino == output.st_ino;
}

} // namespace

int run(int argc, char* argv[])
{
    std::puts("Quorl software - J6 Encrypt");
    if (argc < 2) {
        std::puts("Usage: j6enc in-file");
        return 1;
    }
    const char* const in_path = argv[1];

    std::FILE* const in = open_input(in_path);
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
    std::FILE* const out = names_input(out_name, in) ? nullptr : std::fopen(out_name, "wb");
    if (out == nullptr) {
        close_input(in);
        report("open", out_name, "");
        return 1;
    }
    use_buffer(out, output_stream_buffer);

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
