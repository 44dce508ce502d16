#include "directory/ServerDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>

namespace {

using namespace std::string_literals;
using List = std::vector<std::string>;
namespace fs = std::filesystem;

class ServerFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "serverdir-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        path_ = (dir_ / "Server.wis").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void WriteRaw(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string ReadRaw() {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path dir_;
    std::string path_;
};

TEST_F(ServerFile, MissingFileEmptiesList) {
    List list{"old.example,*"};
    LoadServerFile(path_, list);
    EXPECT_TRUE(list.empty());
}

TEST_F(ServerFile, SaveWritesCrLfAfterEachLine) {
    SaveServerFile(path_, {"a.example,+,jp", "b.example,*", ""});
    EXPECT_EQ(ReadRaw(), "a.example,+,jp\r\nb.example,*\r\n\r\n");
}

TEST_F(ServerFile, RoundTripKeepsLinesUnchanged) {
    const List lines{"  a.example , + ,jp co.jp", "\"q,x\",\"\"\"\"", ",,", "",
                     "日本.example,*,日本"};
    SaveServerFile(path_, lines);
    List back{"old"};
    LoadServerFile(path_, back);
    EXPECT_EQ(back, lines);
}

TEST_F(ServerFile, EveryLineEndIsAccepted) {
    WriteRaw("a,jp\rb,*\nc,+\r\nd\n\re");
    List list;
    LoadServerFile(path_, list);
    EXPECT_EQ(list, (List{"a,jp", "b,*", "c,+", "d", "", "e"}));
}

TEST_F(ServerFile, ALineWithAZeroByteIsLeftOutAndTheRestKept) {
    WriteRaw("a,jp\r\nb,*\0c,+\r\nd\r\n"s);
    List list;
    LoadServerFile(path_, list);
    EXPECT_EQ(list, (List{"a,jp", "d"}));
}

TEST_F(ServerFile, LegacyCp932FileIsDecoded) {
    // "日本" in CP932 inside a domain field, as a Japanese Windows system wrote it.
    WriteRaw("whois.example,+,\x93\xfa\x96\x7b.jp\r\n");
    List list;
    LoadServerFile(path_, list);
    EXPECT_EQ(list, List{"whois.example,+,日本.jp"});
}

TEST_F(ServerFile, SaveIntoMissingFolderThrows) {
    const std::string bad = (dir_ / "no-such-folder" / "Server.wis").string();
    EXPECT_THROW(SaveServerFile(bad, {"a"}), std::runtime_error);
}

} // namespace
