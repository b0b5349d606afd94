// j6enc: encrypts one file into "FILE.DAT", block by block.
//
// Every message goes to standard output. The exit status is 0 after the file
// is encrypted and 1 after any failure the program detects; no path deletes a
// file, so an output that was created stays even when the program fails.
//
// The exit status reports the file work alone: what happens to the console
// never stops or changes it. Nothing is written to standard output while
// either file is open, and every report comes after both are closed: started
// with descriptor 1 closed, the program may get descriptor 1 for a file, and a
// message written then would land in that file.
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "encryptor.h"
#include "files.h"

namespace {

// The file is read, encrypted and written in runs of whole blocks, 256 KiB at
// a time: the streams are unbuffered, so the C library moves each run
// straight between the kernel and this buffer, with no copy of its own, and a
// large file takes few system calls. fread fills a run completely unless the
// input ends or fails, from a pipe too, so block k of a run still holds the
// file's bytes 512k to 512k + 511 of that run. Static: the memory is the same
// for every file, and nothing is allocated.
constexpr std::size_t RUN_SIZE = 512 * BLOCK_SIZE;
std::uint8_t run_buffer[RUN_SIZE];

// Reports a failure on the file `name` followed by `suffix`; the output's name
// is the input path followed by ".DAT", so it never needs a buffer of its own.
void report(const char* what, const char* name, const char* suffix)
{
    std::printf("Error: cannot %s %s%s\n", what, name, suffix);
}

// Encrypts `in` into `out` a run at a time, through the run buffer, until the
// input ends, a read fails or a write fails; returns false after a failed
// write. A read error stays in the input stream's error flag.
bool encrypt_file(std::FILE* in, std::FILE* out)
{
    std::uint32_t block_index = 0;
    for (;;) {
        const std::size_t count = std::fread(run_buffer, 1, RUN_SIZE, in);
        if (count == 0) {
            return true;
        }
        // Block k of the run is the file's block block_index + k.
        encrypt_blocks(run_buffer, count, block_index);
        block_index += static_cast<std::uint32_t>((count + BLOCK_SIZE - 1) / BLOCK_SIZE);
        if (std::fwrite(run_buffer, 1, count, out) != count) {
            return false;
        }
        // Stop at a read error even when the failing read delivered some bytes.
        if (std::ferror(in) != 0) {
            return true;
        }
    }
}

} // namespace

int run(int argc, char* argv[])
{
#ifndef _WIN32
    // A pipe that nobody reads must not kill the program, nor a file-size
    // limit (ulimit -f) that a file has reached: the write then fails like
    // any other, with EPIPE or EFBIG. No console write is ever checked, and a
    // failed write of the output is reported as such. (Windows has neither
    // signal: the write just fails.)
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
    static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
#endif
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

    const InputFile input = open_input(in_path);
    std::FILE* const in = input.stream;
    if (in == nullptr) {
        report("open", in_path, "");
        return 1;
    }

    // The run buffer holds the output name first, in its first block, until
    // the output is open; then the file's bytes.
    char* const out_name = reinterpret_cast<char*>(run_buffer);
    const int name_length = std::snprintf(out_name, BLOCK_SIZE, "%s.DAT", in_path);
    if (name_length < 0 || static_cast<unsigned>(name_length) >= BLOCK_SIZE) {
        // Longer than the first block holds: the name was cut, so open nothing.
        close_input(in);
        report("open", in_path, ".DAT");
        return 1;
    }
    std::FILE* const out = open_output(out_name, input.facts);
    if (out == nullptr) {
        close_input(in);
        report("open", out_name, "");
        return 1;
    }

    bool write_failed = !encrypt_file(in, out);
    const bool read_failed = std::ferror(in) != 0;
    // Flushing what the stream still buffers can fail too.
    if (!close_output(out)) {
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
