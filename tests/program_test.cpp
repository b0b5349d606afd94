// Runs the j6enc binary as a process in a fresh directory and checks what a
// user sees: standard output byte for byte, an empty standard error, the exit
// status, and which files exist afterwards with what contents.
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "reference.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string BANNER = "Quorl software - J6 Encrypt\n";

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
        reference_transform(data.data() + start, length, static_cast<std::uint32_t>(start / 512), false);
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

    // Runs j6enc with `args` in the work directory.
    Outcome run(const std::vector<std::string>& args) const
    {
        const fs::path out_file = root_ / "stdout";
        const fs::path err_file = root_ / "stderr";
        std::vector<char*> argv{const_cast<char*>(J6ENC_BINARY)};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            const int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(dir_.c_str()) != 0) {
                _exit(127);
            }
            execv(J6ENC_BINARY, argv.data());
            _exit(127);
        }
        Outcome outcome;
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
            outcome.status = WEXITSTATUS(status);
        }
        outcome.out = read_text(out_file);
        outcome.err = read_text(err_file);
        return outcome;
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
    void expect_success(const std::vector<std::string>& args, const fs::path& output, const Bytes& input) const
    {
        SCOPED_TRACE("argument '" + args.at(0) + "'");
        const Outcome outcome = run(args);
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
        const Outcome outcome = run(args);
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
    for (std::size_t size : {0, 1, 511, 512, 513, 700, 1024, 5000, 70000}) {
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
    ASSERT_EQ(run({"data.bin"}).status, 0);
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
    // Small enough to stay in the stream buffer until the close, and large
    // enough to fail in a write.
    write_bytes(dir_ / "small", pattern(700));
    write_bytes(dir_ / "large", pattern(3 << 20));
    fs::create_symlink("/dev/full", dir_ / "small.DAT");
    fs::create_symlink("/dev/full", dir_ / "large.DAT");
    const std::set<std::string> files{"small", "small.DAT", "large", "large.DAT"};
    expect_failure({"small"}, "Error: cannot write small.DAT\n", files);
    expect_failure({"large"}, "Error: cannot write large.DAT\n", files);
}

TEST_F(Program, ReportsAFailingReadAndKeepsThePartialOutput)
{
    // Opening a process's memory file works; reading it at offset 0 fails.
    fs::create_symlink("/proc/self/mem", dir_ / "mem");
    expect_failure({"mem"}, "Error: cannot read mem\n", {"mem", "mem.DAT"});
    EXPECT_TRUE(fs::is_regular_file(dir_ / "mem.DAT"));
}

} // namespace
