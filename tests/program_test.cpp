// Runs the j6enc binary as a process in a fresh directory and checks what a
// user sees: standard output byte for byte, an empty standard error, the exit
// status, and which files exist afterwards with what contents.
//
// With J6ENC_WINDOWS_EXE naming the Windows build's j6enc.exe, the same tests
// run that program under wine instead, with its console lines' CRLF read as
// LF; the tests that need what only POSIX has skip themselves.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <set>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "reference.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string BANNER = "Quorl software - J6 Encrypt\n";

// The Windows build under test, or nullptr when the tests run the Linux one.
const char* windows_exe()
{
    static const char* const exe = [] {
        const char* name = std::getenv("J6ENC_WINDOWS_EXE");
        return name != nullptr && *name != '\0' ? name : nullptr;
    }();
    return exe;
}

// What the program wrote to a console stream; a Windows program's CRLF line
// ends are read as LF.
std::string console_text(std::string text)
{
    for (std::size_t at = text.find("\r\n"); windows_exe() != nullptr && at != std::string::npos;
         at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    return text;
}

// How the program is started: the call to break (see fault_injector.cpp),
// the umask, what its standard output is, and the largest file it may write
// (ulimit -f; 0 for no limit).
constexpr int CAPTURE = -1; // a file whose contents execute returns
constexpr int CLOSED = -2;  // descriptor 1 closed
struct Launch {
    std::string fault{};
    mode_t mask = 022;
    int out = CAPTURE;
    rlim_t file_size_limit = 0;
};

// The fault "the `call`-th call of `name` fails with `error` after passing
// `count` bytes on".
std::string fault(const char* name, int call, int error, int count = 0)
{
    return std::string(name) + ":" + std::to_string(call) + ":" + std::to_string(error) + ":" + std::to_string(count);
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string read_text(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes read_bytes(const fs::path& path)
{
    const std::string text = read_text(path);
    return {text.begin(), text.end()};
}

void write_bytes(const fs::path& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes pattern(std::size_t size)
{
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<std::uint8_t>(i % 251);
    }
    return data;
}

// The expected .DAT contents, block by block with the bitwise reference.
Bytes reference_file(Bytes data)
{
    for (std::size_t start = 0; start < data.size(); start += 512) {
        const std::size_t length = std::min<std::size_t>(512, data.size() - start);
        reference_transform(data.data() + start, length, static_cast<std::uint32_t>(start / 512));
    }
    return data;
}

class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = (fs::temp_directory_path() / "j6enc-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        root_ = name;
        dir_ = root_ / "work";
        fs::create_directory(dir_);
    }

    void TearDown() override { fs::remove_all(root_); }

    // Starts j6enc with `args` in the work directory.
    pid_t start(const std::vector<std::string>& args, const Launch& launch) const
    {
        std::vector<char*> argv{const_cast<char*>(J6ENC_BINARY)};
        // The variables the program gets; they replace any of the same name.
        std::vector<std::string> env;
        if (windows_exe() != nullptr) {
            // Wine's own messages off, and a UTF-8 locale, without which wine
            // garbles non-ASCII arguments.
            argv = {const_cast<char*>("wine"), const_cast<char*>(windows_exe())};
            env = {"WINEDEBUG=-all", "LC_ALL=C.UTF-8"};
        }
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        if (!launch.fault.empty()) {
            env = {"LD_PRELOAD=" J6ENC_FAULT_INJECTOR, "J6ENC_FAULT=" + launch.fault,
                   "ASAN_OPTIONS=verify_asan_link_order=0"};
        }
        const std::size_t own = env.size();
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view variable(*entry);
            const std::string_view name = variable.substr(0, variable.find('=') + 1);
            if (std::none_of(env.begin(), env.begin() + static_cast<std::ptrdiff_t>(own),
                             [&](const std::string& set) { return set.starts_with(name); })) {
                env.emplace_back(variable);
            }
        }
        std::vector<char*> envp;
        for (std::string& variable : env) {
            envp.push_back(variable.data());
        }
        envp.push_back(nullptr);
        const fs::path out_file = root_ / "stdout";
        const fs::path err_file = root_ / "stderr";
        const pid_t pid = fork();
        if (pid == 0) {
            const int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            umask(launch.mask);
            signal(SIGPIPE, SIG_DFL);
            signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{launch.file_size_limit, launch.file_size_limit};
            if (launch.file_size_limit != 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                _exit(127);
            }
            const bool ready =
                out >= 0 && err >= 0 && dup2(err, 2) >= 0 && chdir(dir_.c_str()) == 0
                && (launch.out == CLOSED ? close(1) == 0 : dup2(launch.out == CAPTURE ? out : launch.out, 1) >= 0);
            if (ready) {
                execvpe(argv[0], argv.data(), envp.data());
            }
            _exit(127);
        }
        return pid;
    }

    // Waits for the program started as `pid` to end.
    Outcome finish(pid_t pid) const
    {
        Outcome outcome;
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
            outcome.status = WEXITSTATUS(status);
        }
        outcome.out = console_text(read_text(root_ / "stdout"));
        outcome.err = console_text(read_text(root_ / "stderr"));
        return outcome;
    }

    Outcome execute(const std::vector<std::string>& args, const Launch& launch = {}) const
    {
        return finish(start(args, launch));
    }

    // Names of the entries of the work directory, without descending.
    std::set<std::string> entries() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    // Runs j6enc with `args` and expects the banner alone, exit status 0,
    // nothing on standard error, and `output` holding `input` encrypted.
    void expect_success(const std::vector<std::string>& args, const fs::path& output, const Bytes& input,
                        const Launch& launch = {}) const
    {
        SCOPED_TRACE("argument '" + args.at(0) + "'");
        const Outcome outcome = execute(args, launch);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.out, BANNER);
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(read_bytes(output), reference_file(input));
    }

    // Runs j6enc with `args` and expects the line `message` after the banner,
    // exit status 1, nothing on standard error, and exactly `files` in the
    // work directory afterwards.
    void expect_failure(const std::vector<std::string>& args, const std::string& message,
                        const std::set<std::string>& files) const
    {
        SCOPED_TRACE(args.empty() ? std::string("no argument") : "argument '" + args[0] + "'");
        const Outcome outcome = execute(args);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, BANNER + message);
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(entries(), files);
    }

    fs::path root_;
    fs::path dir_;
};

TEST_F(Program, EncryptsFilesOfEverySizeBlockByBlock)
{
    // The program reads runs of 256 KiB: one run, one more byte, and three
    // runs and part of a fourth that ends inside a block.
    for (std::size_t size : {0, 1, 511, 512, 513, 700, 1024, 5000, 70000, 262144, 262145, 3 * 262144 + 1000}) {
        SCOPED_TRACE("size " + std::to_string(size));
        fs::remove_all(dir_);
        fs::create_directory(dir_);
        const Bytes data = pattern(size);
        write_bytes(dir_ / "data.bin", data);
        expect_success({"data.bin"}, dir_ / "data.bin.DAT", data);
        EXPECT_EQ(entries(), (std::set<std::string>{"data.bin", "data.bin.DAT"}));
        EXPECT_EQ(read_bytes(dir_ / "data.bin"), data);
    }
}

TEST_F(Program, SevenHundredByteExampleKnownAnswer)
{
    write_bytes(dir_ / "data.bin", pattern(700));
    ASSERT_EQ(execute({"data.bin"}).status, 0);
    const Bytes out = read_bytes(dir_ / "data.bin.DAT");
    ASSERT_EQ(out.size(), 700U);
    const Bytes head(out.begin(), out.begin() + 8);
    const Bytes second(out.begin() + 512, out.begin() + 520);
    const Bytes tail(out.end() - 4, out.end());
    EXPECT_EQ(head, (Bytes{0xE5, 0xD8, 0x4D, 0xFC, 0xC4, 0x21, 0xE8, 0xA3}));
    EXPECT_EQ(second, (Bytes{0xEE, 0xD3, 0x30, 0x9B, 0x91, 0xD0, 0xB0, 0x3D}));
    EXPECT_EQ(tail, (Bytes{0x03, 0x83, 0xF1, 0x0A}));
}

TEST_F(Program, NamesTheOutputAfterTheFullPath)
{
    fs::create_directories(dir_ / "sub" / "dir");
    write_bytes(dir_ / "sub" / "dir" / "file", pattern(10));
    write_bytes(dir_ / "archive.DAT", pattern(20));
    write_bytes(dir_ / "noext", pattern(30));
    const std::string absolute = (dir_ / "noext").string();
    struct Case {
        std::string arg;
        fs::path output;
        std::size_t size;
    };
    const Case cases[] = {
        {"sub/dir/file", dir_ / "sub" / "dir" / "file.DAT", 10},
        {"archive.DAT", dir_ / "archive.DAT.DAT", 20},
        {absolute, dir_ / "noext.DAT", 30},
        {"./sub/../noext", dir_ / "noext.DAT", 30},
    };
    for (const Case& c : cases) {
        fs::remove(c.output);
        expect_success({c.arg}, c.output, pattern(c.size));
    }
}

TEST_F(Program, UsesOnlyTheFirstArgument)
{
    write_bytes(dir_ / "a", pattern(3));
    write_bytes(dir_ / "b", pattern(4));
    expect_success({"a", "b", "missing", ""}, dir_ / "a.DAT", pattern(3));
    EXPECT_EQ(entries(), (std::set<std::string>{"a", "a.DAT", "b"}));
}

TEST_F(Program, ReplacesAnExistingOutput)
{
    write_bytes(dir_ / "a", pattern(700));
    write_bytes(dir_ / "a.DAT", Bytes(3000, 0xAA));
    expect_success({"a"}, dir_ / "a.DAT", pattern(700));
}

// A path of `length` bytes, relative to the work directory, to a file whose
// directories exist; every component stays well below the 255-byte limit.
std::string long_path(const fs::path& dir, std::size_t length)
{
    std::string path;
    while (length - path.size() > 101) {
        path += std::string(99, 'd') + "/";
        fs::create_directory(dir / path);
    }
    path += std::string(length - path.size(), 'f');
    return path;
}

TEST_F(Program, LongestPathWhoseOutputNameFitsTheBuffer)
{
    const std::string path = long_path(dir_, 507);
    write_bytes(dir_ / path, pattern(600));
    expect_success({path}, dir_ / (path + ".DAT"), pattern(600));
}

TEST_F(Program, RefusesAMissingOrUnusableInput)
{
    expect_failure({}, "Usage: j6enc in-file\n", {});
    expect_failure({"nothing.bin"}, "Error: cannot open nothing.bin\n", {});
    expect_failure({""}, "Error: cannot open \n", {});
    fs::create_directory(dir_ / "folder");
    expect_failure({"folder"}, "Error: cannot open folder\n", {"folder"});
}

TEST_F(Program, RefusesAnOutputThatCannotBeOpenedAndLeavesTheInputAlone)
{
    const Bytes data = pattern(700);
    write_bytes(dir_ / "dir", data);
    fs::create_directory(dir_ / "dir.DAT");
    write_bytes(dir_ / "soft", data);
    fs::create_symlink("soft", dir_ / "soft.DAT");
    write_bytes(dir_ / "hard", data);
    fs::create_hard_link(dir_ / "hard", dir_ / "hard.DAT");
    const std::set<std::string> files{"dir", "dir.DAT", "soft", "soft.DAT", "hard", "hard.DAT"};

    expect_failure({"dir"}, "Error: cannot open dir.DAT\n", files);
    expect_failure({"soft"}, "Error: cannot open soft.DAT\n", files);
    expect_failure({"hard"}, "Error: cannot open hard.DAT\n", files);
    for (const char* input : {"dir", "soft", "hard"}) {
        EXPECT_EQ(read_bytes(dir_ / input), data) << input;
    }
}

TEST_F(Program, RefusesAPathWhoseOutputNameDoesNotFitTheBuffer)
{
    const std::string path = long_path(dir_, 508);
    write_bytes(dir_ / path, pattern(10));
    expect_failure({path}, "Error: cannot open " + path + ".DAT\n", {std::string(99, 'd')});
    EXPECT_FALSE(fs::exists(dir_ / (path + ".DAT")));
}

TEST_F(Program, ReportsAFailingWriteOrClose)
{
    // Less than one run of the program's reads, and many runs.
    write_bytes(dir_ / "small", pattern(700));
    write_bytes(dir_ / "large", pattern(3 << 20));
    fs::create_symlink("/dev/full", dir_ / "small.DAT");
    fs::create_symlink("/dev/full", dir_ / "large.DAT");
    const std::set<std::string> files{"small", "small.DAT", "large", "large.DAT"};
    expect_failure({"small"}, "Error: cannot write small.DAT\n", files);
    expect_failure({"large"}, "Error: cannot write large.DAT\n", files);
    // An endless input stops at the first failed write.
    fs::create_symlink("/dev/zero", dir_ / "zero");
    fs::create_symlink("/dev/full", dir_ / "zero.DAT");
    expect_failure({"zero"}, "Error: cannot write zero.DAT\n",
                   {"small", "small.DAT", "large", "large.DAT", "zero", "zero.DAT"});
}

TEST_F(Program, ReportsAFailingReadAndKeepsThePartialOutput)
{
    // Opening a process's memory file works; reading it at offset 0 fails.
    fs::create_symlink("/proc/self/mem", dir_ / "mem");
    expect_failure({"mem"}, "Error: cannot read mem\n", {"mem", "mem.DAT"});
    EXPECT_TRUE(fs::is_regular_file(dir_ / "mem.DAT"));
}

// In each case one call on a file fails, or a file-size limit (ulimit -f)
// stops the output short. The input is never harmed, nothing is deleted, and
// the output holds the encryption of the bytes read, up to the failing write.
// A read error is reported before a write error. A case that must not make the
// call (an output with no bytes is never truncated), or whose output merely
// has the input's inode number on another device, succeeds: those rows expect
// no message.
TEST_F(Program, ReportsEveryFailingFileOperation)
{
    if (windows_exe() != nullptr) {
        GTEST_SKIP() << "the fault injector is preloaded into a Linux program only";
    }
    const Bytes data = pattern(2000);
    write_bytes(dir_ / "in", data);
    enum Existing { NONE, OLD_OUTPUT, LINK_TO_INPUT, LINK_TO_FULL, EMPTY_OUTPUT }; // in.DAT before the program starts
    const Bytes old_output(3000, 0xAA);
    struct Case {
        std::string fault;
        Existing existing;
        std::string message;
        long output; // its length afterwards; -1: no in.DAT
        rlim_t limit = 0;
    };
    const std::string open_in = "Error: cannot open in\n";
    const std::string open_out = "Error: cannot open in.DAT\n";
    const std::string read_in = "Error: cannot read in\n";
    const std::string write_out = "Error: cannot write in.DAT\n";
    const Case cases[] = {
        {fault("fopen", 1, ENOENT), NONE, open_in, -1},
        {fault("fstat", 1, EIO), NONE, open_in, -1},
        {fault("open", 1, EACCES), NONE, open_out, -1},
        {fault("fstat", 2, EIO), NONE, open_out, 0},
        {fault("ftruncate", 1, EIO), OLD_OUTPUT, open_out, 3000},
        {fault("fdopen", 1, ENOMEM), NONE, open_out, 0},
        {fault("fread", 1, EIO), NONE, read_in, 0},
        {fault("fread", 1, EIO, 1124), NONE, read_in, 1124},
        {fault("fread", 2, EIO), NONE, read_in, 2000},
        {fault("fwrite", 1, ENOSPC), NONE, write_out, 0},
        {fault("fwrite", 1, ENOSPC, 612), NONE, write_out, 612},
        {fault("fclose", 1, EIO), NONE, write_out, 2000},
        {fault("fstat", 2, EIO), LINK_TO_INPUT, open_out, 0},
        {fault("fread", 1, EIO, 100), LINK_TO_FULL, read_in, 0},
        {fault("ftruncate", 1, EIO), NONE, "", 2000},
        {fault("ftruncate", 1, EIO), EMPTY_OUTPUT, "", 2000},
        {fault("fstat_elsewhere", 2, 0), NONE, "", 2000},
        {"", NONE, write_out, 1000, 1000},
    };
    const Bytes encrypted = reference_file(data);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault + " with in.DAT " + std::to_string(c.existing) + " limit " + std::to_string(c.limit));
        fs::remove(dir_ / "in.DAT");
        if (c.existing == OLD_OUTPUT || c.existing == EMPTY_OUTPUT) {
            write_bytes(dir_ / "in.DAT", c.existing == OLD_OUTPUT ? old_output : Bytes{});
        } else if (c.existing != NONE) {
            fs::create_symlink(c.existing == LINK_TO_INPUT ? "in" : "/dev/full", dir_ / "in.DAT");
        }
        const Outcome outcome = execute({"in"}, {.fault = c.fault, .file_size_limit = c.limit});
        EXPECT_EQ(outcome.status, c.message.empty() ? 0 : 1);
        EXPECT_EQ(outcome.out, BANNER + c.message);
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(read_bytes(dir_ / "in"), data);
        EXPECT_EQ(entries(), (c.output < 0 ? std::set<std::string>{"in"} : std::set<std::string>{"in", "in.DAT"}));
        if ((c.existing == NONE || c.existing == EMPTY_OUTPUT) && c.output >= 0) {
            EXPECT_EQ(read_bytes(dir_ / "in.DAT"), Bytes(encrypted.begin(), encrypted.begin() + c.output));
        }
        if (c.existing == OLD_OUTPUT) {
            EXPECT_EQ(read_bytes(dir_ / "in.DAT"), old_output);
        }
    }
}

// A new output gets the input's read and write bits and its owner's write bit,
// less the umask, never execute, setuid, setgid or sticky bits; an existing
// one keeps its mode, and loses its old bytes even when the input has none,
// down to the last one.
TEST_F(Program, GivesTheOutputTheInputsPermissions)
{
    struct Case {
        unsigned input;
        mode_t mask;
        unsigned existing; // 0: no output before the program starts
        unsigned output;
        std::size_t size = 700;           // of the input
        bool twice = false;               // a second time, on other bytes, replaces the first one's output
        std::size_t existing_size = 3000; // of the output before the program starts
    };
    const Case cases[] = {
        {0600, 022, 0, 0600},       {0640, 022, 0, 0640},
        {0755, 022, 0, 0644},       {04755, 022, 0, 0644},
        {0644, 077, 0, 0600},       {0600, 022, 0604, 0604},
        {0600, 022, 0604, 0604, 0}, {0444, 022, 0, 0644, 700, true},
        {0666, 0, 0, 0666},         {0600, 022, 0604, 0604, 0, false, 1},
        {0640, 002, 0, 0640},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("input " + std::to_string(c.input) + " umask " + std::to_string(c.mask) + " existing "
                     + std::to_string(c.existing) + " size " + std::to_string(c.size) + " over "
                     + std::to_string(c.existing_size));
        fs::remove(dir_ / "in.DAT");
        if (c.existing != 0) {
            write_bytes(dir_ / "in.DAT", Bytes(c.existing_size, 0xAA));
            fs::permissions(dir_ / "in.DAT", fs::perms(c.existing));
        }
        for (std::size_t pass = 0; pass < (c.twice ? 2U : 1U); ++pass) {
            // A read-only input is made anew rather than written to.
            const Bytes data = pattern(c.size + pass * 300);
            fs::remove(dir_ / "in");
            write_bytes(dir_ / "in", data);
            fs::permissions(dir_ / "in", fs::perms(c.input));
            expect_success({"in"}, dir_ / "in.DAT", data, {"", c.mask});
            // Windows has no mode bits; its read-only attribute is tested below.
            if (windows_exe() == nullptr) {
                EXPECT_EQ(fs::status(dir_ / "in.DAT").permissions(), fs::perms(c.output));
            }
        }
    }
}

// Standard output redirected into the output file (as `j6enc in > in.DAT`),
// a full device, a pipe whose reader has gone, closed, or a log that has
// already reached the file-size limit (ulimit -f), which the .DAT has not:
// the program completes.
TEST_F(Program, TheConsoleNeverDecidesARun)
{
    const Bytes data = pattern(2000);
    write_bytes(dir_ / "in", data);
    for (const std::string target : {"in.DAT", "/dev/full", "pipe", "closed", "log"}) {
        SCOPED_TRACE("standard output " + target);
        fs::remove(dir_ / "in.DAT");
        int console[2] = {CLOSED, CLOSED};
        rlim_t limit = 0;
        if (target == "pipe") {
            ASSERT_EQ(pipe2(console, O_CLOEXEC), 0);
            close(console[0]);
        } else if (target == "log") {
            if (windows_exe() != nullptr) {
                continue; // Windows has no file-size limit
            }
            write_bytes(dir_ / target, Bytes(4000, 'x'));
            console[1] = open((dir_ / target).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
            limit = 3000;
        } else if (target != "closed") {
            console[1] = open((dir_ / target).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        }
        const Outcome outcome = execute({"in"}, {.out = console[1], .file_size_limit = limit});
        if (console[1] >= 0) {
            close(console[1]);
        }
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(read_bytes(dir_ / "in.DAT"), reference_file(data));
    }
}

// The banner can be read while the input, a FIFO, still waits for a writer;
// the input then arrives in pieces of odd sizes, and its blocks are still
// 512 bytes of the file each.
TEST_F(Program, ShowsTheBannerWhileTheInputIsAwaited)
{
    ASSERT_EQ(mkfifo((dir_ / "in").c_str(), 0600), 0);
    int console[2] = {};
    ASSERT_EQ(pipe2(console, O_CLOEXEC), 0);
    const pid_t pid = start({"in"}, {"", 022, console[1]});
    close(console[1]);
    pollfd banner_ready{console[0], POLLIN, 0};
    EXPECT_EQ(poll(&banner_ready, 1, 10000), 1);
    const Bytes data = pattern(3000);
    const int fifo = open((dir_ / "in").c_str(), O_WRONLY | O_CLOEXEC);
    std::size_t sent = 0;
    for (std::size_t piece : {1, 510, 2, 1023, 7, 1457}) {
        EXPECT_EQ(write(fifo, data.data() + sent, piece), static_cast<ssize_t>(piece));
        sent += piece;
        poll(nullptr, 0, 20); // time for the reader to take this piece alone
    }
    close(fifo);
    const Outcome outcome = finish(pid);
    std::string banner(BANNER.size() + 1, '\0');
    banner.resize(static_cast<std::size_t>(std::max(read(console[0], banner.data(), banner.size()), ssize_t{0})));
    close(console[0]);
    EXPECT_EQ(console_text(banner), BANNER);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(read_bytes(dir_ / "in.DAT"), reference_file(data));
}

// The Windows build alone: a name with non-ASCII characters, a hard link to
// the input as the output, a read-only input, whose new output is writable
// all the same, and the bytes that a text-mode file would change (0x0A, 0x0D,
// 0x1A). And NUL, the null device in every folder, whose output NUL.DAT names
// the null device too: the program succeeds and leaves no file behind.
TEST_F(Program, OnWindowsKeepsNamesLinksReadOnlyAndEveryByte)
{
    if (windows_exe() == nullptr) {
        GTEST_SKIP() << "runs against the Windows build (J6ENC_WINDOWS_EXE) only";
    }
    enum Setup { PLAIN, HARD_LINK, READ_ONLY, NUL_DEVICE };
    struct Case {
        std::string name;
        Setup setup;
        std::string message;
    };
    const Case cases[] = {
        {"donn\u00e9es.bin", PLAIN, ""},
        {"\u30c7\u30fc\u30bf.bin", PLAIN, ""},
        {"hard", HARD_LINK, "Error: cannot open hard.DAT\n"},
        {"read-only", READ_ONLY, ""},
        {"NUL", NUL_DEVICE, ""},
    };
    Bytes data = pattern(1500);
    const std::uint8_t text_mode_bytes[] = {0x0D, 0x0A, 0x1A};
    for (std::size_t i = 0; i < data.size(); i += 3) {
        data[i] = text_mode_bytes[i / 3 % 3];
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path input = dir_ / fs::u8path(c.name);
        const fs::path output = dir_ / fs::u8path(c.name + ".DAT");
        if (c.setup != NUL_DEVICE) {
            write_bytes(input, data);
        }
        if (c.setup == HARD_LINK) {
            fs::create_hard_link(input, output);
        } else if (c.setup == READ_ONLY) {
            fs::permissions(input, fs::perms(0444));
        }
        const std::set<std::string> before = entries();
        const Outcome outcome = execute({c.name});
        EXPECT_EQ(outcome.status, c.message.empty() ? 0 : 1);
        EXPECT_EQ(outcome.out, BANNER + c.message);
        EXPECT_EQ(outcome.err, "");
        if (c.setup == NUL_DEVICE) {
            EXPECT_EQ(entries(), before);
            continue;
        }
        EXPECT_EQ(read_bytes(input), data);
        if (c.message.empty()) {
            EXPECT_EQ(read_bytes(output), reference_file(data));
            EXPECT_EQ(fs::status(output).permissions() & fs::perms::owner_write, fs::perms::owner_write);
        }
    }
}

} // namespace
