#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "files/file_error.h"
#include "files/text_codec.h"
#include "files/text_file.h"

namespace korvane {
namespace {

using namespace std::string_literals;
using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::StartsWith;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

constexpr auto kUtf8 = TextEncoding::Utf8;
constexpr auto kCp932 = TextEncoding::Cp932;
constexpr auto kLatin1 = TextEncoding::Latin1;

TEST(TextCodec, SplitsAtEveryKindOfLineBreak)
{
    const std::string a15(15, 'A');
    std::string crlf16;
    for (int i = 0; i < 16; ++i)
        crlf16 += "\r\n";
    struct Row {
        int line;
        std::string text;
        std::vector<std::string> lines;
    };
    const Row rows[] = {
        {__LINE__, "", {}},
        {__LINE__, "G00", {"G00"}},
        {__LINE__, "A\rB\nC\r\n", {"A", "B", "C"}},
        {__LINE__, "A\n\rB", {"A", "", "B"}}, // LF CR is two breaks
        {__LINE__, "A\n\n", {"A", ""}},
        {__LINE__, "A\r", {"A"}},
        {__LINE__, "\r\r\n\n", {"", "", ""}},
        // Breaks on and across the edges of sixteen-byte blocks.
        {__LINE__, a15 + "\r\nB", {a15, "B"}},
        {__LINE__, a15 + "\n\rB", {a15, "", "B"}},
        {__LINE__, a15 + "\r" + a15 + "\r\n", {a15, a15}},
        {__LINE__, "A" + a15 + a15 + "\n\n", {"A" + a15 + a15, ""}},
        {__LINE__, crlf16, std::vector<std::string>(16)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        const std::vector<std::string_view> views = SplitLines(row.text);
        EXPECT_EQ(std::vector<std::string>(views.begin(), views.end()), row.lines);
    }
}

TEST(TextCodec, AcceptsOnlyWellFormedUtf8)
{
    const std::pair<std::string, bool> rows[] = {
        {"", true},
        {"G01X1.(\xE5\x8A\xA0\xE5\xB7\xA5)", true},
        {"\xC2\x80\xDF\xBF\xED\x9F\xBF\xEE\x80\x80", true}, // U+0080 U+07FF U+D7FF U+E000
        {"\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", true},         // U+1F600 U+10FFFF
        {"ABCDEFG\xE3\x81\x82", true},                      // across an eight-byte block
        {"\xC0\x80", false},
        {"\xC1\xBF", false},
        {"\xE0\x9F\xBF", false}, // overlong
        {"\xF0\x8F\xBF\xBF", false},
        {"\xED\xA0\x80", false}, // overlong, surrogate
        {"\xED\xBF\xBF", false},
        {"\xF4\x90\x80\x80", false}, // surrogate, > U+10FFFF
        {"\xF5\x80\x80\x80", false},
        {"\xF8\x88\x80\x80\x80", false}, // > U+10FFFF
        {"\xC3", false},
        {"A\xF0\x9F\x98", false},
        {"\xE3\x81"
         "A",
         false}, // truncated
        {"\x80", false},
        {"ABCDEFGH\x80", false},
        {"ABCDEFG\xBF", false}, // stray continuations
    };
    for (const auto &[bytes, valid] : rows)
        EXPECT_EQ(IsValidUtf8(bytes), valid) << ::testing::PrintToString(bytes);
}

TEST(TextCodec, DetectsUtf8ThenCp932ThenLatin1AndEncodesBack)
{
    struct Row {
        int line;
        std::string bytes;
        TextEncoding encoding;
        std::string utf8;
    };
    const Row rows[] = {
        {__LINE__, "G01X1.\0\xFF\xFE"s, kUtf8, "G01X1."}, // NUL ends the text
        {__LINE__, "\0G81"s, kUtf8, ""},
        {__LINE__, "(\xE5\x8A\xA0\xE5\xB7\xA5)", kUtf8, "(加工)"},
        {__LINE__, "(\x89\xC1\x8D\x48)", kCp932, "(加工)"},
        {__LINE__, "(\x83\x58\x83\x59)\xB1", kCp932, "(スズ)ｱ"},
        // CP932 that would be saved as other bytes (an NEC and an IBM spelling of one
        // character) must not count as CP932.
        {__LINE__, "\xED\x40", kLatin1, "í@"},
        {__LINE__, "\x87\x90", kLatin1, "\xC2\x87\xC2\x90"},
        {__LINE__, "X\x81", kLatin1, "X\xC2\x81"},
        {__LINE__, "(\xFF\xE9)", kLatin1, "(ÿé)"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        const DecodedText text = DecodeText(row.bytes);
        EXPECT_EQ(text.encoding, row.encoding);
        EXPECT_EQ(text.utf8, row.utf8);
        TextEncoding encoding = text.encoding;
        EXPECT_EQ(EncodeText(text.utf8, encoding), row.bytes.substr(0, row.bytes.find('\0')));
        EXPECT_EQ(encoding, row.encoding);
    }
}

TEST(TextCodec, AnyByteStringComesBackUnchanged)
{
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(1, 255);
    for (std::size_t length : {1u, 2u, 3u, 5u, 64u, 4096u}) {
        for (int round = 0; round < 40; ++round) {
            std::string bytes(length, ' ');
            for (char &c : bytes)
                c = static_cast<char>(byte(random));
            SCOPED_TRACE(::testing::PrintToString(bytes));
            const DecodedText text = DecodeText(bytes);
            ASSERT_TRUE(IsValidUtf8(text.utf8));
            if (length >= 64) {
                ASSERT_EQ(text.encoding, kLatin1);
            }
            TextEncoding encoding = text.encoding;
            ASSERT_EQ(EncodeText(text.utf8, encoding), bytes);
            ASSERT_EQ(encoding, text.encoding);
        }
    }
}

// Runs each test inside a fresh directory, so that relative names resolve there.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_oldCwd = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
        m_cwd = QDir::currentPath().toStdString();
    }
    void TearDown() override { QDir::setCurrent(m_oldCwd); }

    // What a directory holds: a failed write must not leave its temporary file behind.
    static QStringList Entries(const QString &dir = ".")
    {
        return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                   QDir::NoDotAndDotDot);
    }
    // The message of a file that cannot be created, whatever reason the system gives.
    auto CannotCreate(const std::string &name) const
    {
        const std::string path = m_cwd + "/" + name;
        return ThrowsMessage<FileError>(
            AllOf(StartsWith("ファイル \"" + path + "\". "), EndsWith(" を作成できません")));
    }

    QTemporaryDir m_dir;
    QString m_oldCwd;
    std::string m_cwd;
};

TEST_F(FilesTest, Cp932FileReadsAsJapaneseAndWritesBackTheSameBytes)
{
    const QString fixture = KORVANE_TEST_DATA "/sjis_profile.nc";
    const DecodedText text = ReadTextFile(fixture);
    EXPECT_EQ(text.encoding, kCp932);
    EXPECT_EQ(text.utf8, "%\r\nO0100(ポケット・スズキ加工)\r\n(工具：φ6 エンドミル)\r\n"
                         "G90G00X-5.Y3.Z10.(アプローチ位置)\r\nG01Z-2.F100(切込み)\r\n"
                         "X20.(外周)\r\nY15.\r\nG00Z10.(退避)\r\nM30\r\n%\r\n");

    TextEncoding encoding = text.encoding;
    WriteTextFile("copy.nc", text.utf8, encoding);
    EXPECT_EQ(encoding, kCp932);
    EXPECT_EQ(ReadFileBytes("copy.nc"), ReadFileBytes(fixture));

    // Text that the encoding read cannot hold is written as UTF-8 rather than lost.
    WriteTextFile("copy.nc", "(\xF0\x9F\x98\x80)", encoding);
    EXPECT_EQ(encoding, kUtf8);
    EXPECT_EQ(ReadFileBytes("copy.nc"), "(\xF0\x9F\x98\x80)");
    encoding = kLatin1;
    EXPECT_EQ(EncodeText("G01(加工)", encoding), "G01(加工)");
    EXPECT_EQ(encoding, kUtf8);
}

TEST_F(FilesTest, WritesAndReadsEveryByteAndReplacesOnlyOnCommit)
{
    std::mt19937 random(7);
    std::string big(200000, '\0'); // several read chunks, NUL and CR included
    for (char &c : big)
        c = static_cast<char>(random());
    WriteFileAtomic("prog.nc", big);
    EXPECT_EQ(ReadFileBytes("prog.nc"), big);

    WriteFileAtomic("prog.nc", "old");
    {
        AtomicFileWriter writer("prog.nc");
        writer.Write("new ");
        EXPECT_EQ(ReadFileBytes("prog.nc"), "old");
    } // dropped without Commit
    EXPECT_EQ(ReadFileBytes("prog.nc"), "old");
    AtomicFileWriter writer("prog.nc");
    writer.Write("new ");
    writer.Write("text");
    writer.Commit();
    EXPECT_EQ(ReadFileBytes("prog.nc"), "new text");
    EXPECT_EQ(Entries(), QStringList{"prog.nc"});
}

TEST_F(FilesTest, WritesThroughLinksAndIntoWhatIsNotAFile)
{
    // A link stays a link; the file it names takes the bytes, atomically.
    WriteFileAtomic("real.nc", "old");
    ASSERT_EQ(symlink("real.nc", "link.nc"), 0);
    WriteFileAtomic("link.nc", "new");
    struct stat st {};
    ASSERT_EQ(lstat("link.nc", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFileBytes("real.nc"), "new");
    // A link to a name with no file yet creates that file.
    ASSERT_EQ(symlink("later.nc", "dangling.nc"), 0);
    WriteFileAtomic("dangling.nc", "made");
    EXPECT_EQ(ReadFileBytes("later.nc"), "made");

    // A pipe (as a device like /dev/null) is written to, never replaced by a file.
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    std::string received;
    std::thread reader([&received] { received = ReadFileBytes("pipe"); });
    WriteFileAtomic("pipe", "through the pipe");
    reader.join();
    EXPECT_EQ(received, "through the pipe");
    ASSERT_EQ(lstat("pipe", &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(Entries(), (QStringList{"dangling.nc", "later.nc", "link.nc", "pipe", "real.nc"}));
}

TEST_F(FilesTest, NamesTheAbsolutePathOfAFileThatCannotBeOpenedOrCreated)
{
    ASSERT_TRUE(QDir().mkdir("sub"));
    WriteFileAtomic("plain", "x");
    const std::string missing = "ファイル \"" + m_cwd + "/missing.nc\". No such file or directory";
    EXPECT_THAT([] { ReadFileBytes("missing.nc"); },
                ThrowsMessage<FileError>(StrEq(missing + " は開けません")));
    EXPECT_THAT([] { ReadTextFile("sub"); },
                ThrowsMessage<FileError>(
                    StrEq("ファイル \"" + m_cwd + "/sub\". Is a directory は開けません")));
    // A path through a regular file cannot be created, whoever runs the test.
    EXPECT_THAT([] { WriteFileAtomic("plain/out.nc", "G00"); }, CannotCreate("plain/out.nc"));
    EXPECT_EQ(ReadFileBytes("plain"), "x");
}

TEST_F(FilesTest, ReadOnlyDirectoryKeepsTheFormerFile)
{
    ASSERT_TRUE(QDir().mkdir("ro"));
    WriteFileAtomic("ro/prog.nc", "old");
    ASSERT_EQ(chmod("ro", 0555), 0);
    if (access("ro", W_OK) == 0) {
        chmod("ro", 0755);
        GTEST_SKIP() << "directory permissions do not stop this user";
    }
    EXPECT_THAT([] { WriteFileAtomic("ro/prog.nc", "new"); }, CannotCreate("ro/prog.nc"));
    chmod("ro", 0755);
    EXPECT_EQ(ReadFileBytes("ro/prog.nc"), "old");
    EXPECT_EQ(Entries("ro"), QStringList{"prog.nc"});
}

// Runs in a forked child: its file-size limit stands in for a full disk, and with SIGXFSZ
// ignored a write past it fails with EFBIG instead of killing the process.
[[noreturn]] void WriteWithFileSizeLimit(const QString &path, rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
        WriteFileAtomic(path, std::string(1 << 20, 'X'));
    } catch (const FileError &error) {
        std::fprintf(stderr, "[%s]", error.what());
        std::exit(std::string(error.what()) == "ストリームへの書き込みエラー" ? 0 : 1);
    }
    std::exit(2);
}

TEST_F(FilesTest, FullDiskKeepsTheFormerFile)
{
    WriteFileAtomic("prog.nc", "old");
    EXPECT_EXIT(WriteWithFileSizeLimit("prog.nc", 4096), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFileBytes("prog.nc"), "old");
    EXPECT_EQ(Entries(), QStringList{"prog.nc"});
}

} // namespace
} // namespace korvane
