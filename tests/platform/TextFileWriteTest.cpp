#include "platform/TextFile.h"

#include "tests/platform/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using Lines = std::vector<std::string>;
using testutil::ReadRaw;
using testutil::TempDir;
using testutil::WriteRaw;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

TEST(WriteTextLines, PutsCrLfAfterEveryLine) {
    TempDir dir;
    platform::WriteTextLines(dir.file("f"), {"A=1", "", "日本=語"});
    EXPECT_EQ(ReadRaw(dir.file("f")), "A=1\r\n\r\n日本=語\r\n");
    platform::WriteTextLines(dir.file("empty"), {});
    EXPECT_TRUE(platform::FileExists(dir.file("empty")));
    EXPECT_EQ(ReadRaw(dir.file("empty")), "");
}

TEST(WriteTextLines, RoundTripsThroughReading) {
    TempDir dir;
    const Lines lines{"first", "", "  blanks kept  ", "MEMOFONT=\"ＭＳ Ｐゴシック\",128", "last"};
    platform::WriteTextLines(dir.file("f"), lines);
    Lines back;
    ASSERT_TRUE(platform::ReadTextLines(dir.file("f"), back));
    EXPECT_EQ(back, lines);
}

TEST(WriteTextLines, FirstLineBeginningWithTheMarkCharacterKeepsIt) {
    TempDir dir;
    // A file that began with two marks: the reader drops one, the second is text.
    const Lines lines{"\xEF\xBB\xBFx", "\xEF\xBB\xBFy"};
    platform::WriteTextLines(dir.file("f"), lines);
    EXPECT_EQ(ReadRaw(dir.file("f")), "\xEF\xBB\xBF\xEF\xBB\xBFx\r\n\xEF\xBB\xBFy\r\n");
    Lines back;
    ASSERT_TRUE(platform::ReadTextLines(dir.file("f"), back));
    EXPECT_EQ(back, lines);
}

TEST(WriteTextLines, ReplacesAnOldFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    WriteRaw(dir.file("f"), std::string(100000, 'x'));
    platform::WriteTextLines(dir.file("f"), {"short"});
    EXPECT_EQ(ReadRaw(dir.file("f")), "short\r\n");
    EXPECT_EQ(dir.entries(), Lines{"f"});
}

TEST(WriteFileBytes, WritesBytesExactly) {
    TempDir dir;
    const std::string data("\0\r\n\xFF", 4);
    platform::WriteFileBytes(dir.file("b"), data);
    EXPECT_EQ(ReadRaw(dir.file("b")), data);
}

TEST(WriteFileBytes, KeepsTheModeOfAnExistingFile) {
    TempDir dir;
    WriteRaw(dir.file("f"), "old");
    ASSERT_EQ(::chmod(dir.file("f").c_str(), 0640), 0);
    platform::WriteFileBytes(dir.file("f"), "new");
    EXPECT_EQ(ModeOf(dir.file("f")), 0640u);
    EXPECT_EQ(ReadRaw(dir.file("f")), "new");
}

TEST(WriteFileBytes, NewFileGetsTheUmaskMode) {
    TempDir dir;
    mode_t old = ::umask(027);
    platform::WriteFileBytes(dir.file("f"), "x");
    ::umask(old);
    EXPECT_EQ(ModeOf(dir.file("f")), 0640u);
}

TEST(WriteFileBytes, FollowsASymbolicLink) {
    TempDir dir;
    WriteRaw(dir.file("target"), "old");
    ASSERT_EQ(::symlink("target", dir.file("link").c_str()), 0);
    platform::WriteFileBytes(dir.file("link"), "new");
    struct stat st {};
    ASSERT_EQ(::lstat(dir.file("link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadRaw(dir.file("target")), "new");
}

TEST(WriteFileBytes, FailsInAMissingFolderWithoutCreatingAnything) {
    TempDir dir;
    EXPECT_THROW(platform::WriteFileBytes(dir.file("no/such/f"), "x"), std::runtime_error);
    EXPECT_TRUE(dir.entries().empty());
    EXPECT_THROW(platform::WriteFileBytes("", "x"), std::runtime_error);
}

TEST(WriteFileBytes, RefusesToReplaceAFolder) {
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("d").c_str(), 0755), 0);
    EXPECT_THROW(platform::WriteTextLines(dir.file("d"), {"x"}), std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("d")));
    EXPECT_EQ(dir.entries(), Lines{"d"});
}

TEST(WriteFileBytes, ReadOnlyFolderKeepsTheOldFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    TempDir dir;
    WriteRaw(dir.file("f"), "old\r\n");
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    EXPECT_THROW(platform::WriteTextLines(dir.file("f"), {"new"}), std::runtime_error);
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(ReadRaw(dir.file("f")), "old\r\n");
    EXPECT_EQ(dir.entries(), Lines{"f"});
}

// A full disk, simulated with a file-size limit in a child process (works as root too):
// the write must fail, the old file must be whole and no temporary file may remain.
TEST(WriteFileBytes, FullDiskKeepsTheOldFile) {
    TempDir dir;
    const std::string old = "A=1\r\nB=2\r\n";
    WriteRaw(dir.file("f"), old);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim {};
        lim.rlim_cur = 4096;
        lim.rlim_max = RLIM_INFINITY;
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0)
            ::_exit(3);
        try {
            platform::WriteFileBytes(dir.file("f"), std::string(100000, 'y'));
        } catch (const std::runtime_error&) {
            ::_exit(0);
        }
        ::_exit(1); // the failure went unnoticed
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadRaw(dir.file("f")), old);
    EXPECT_EQ(dir.entries(), Lines{"f"});
}

} // namespace
