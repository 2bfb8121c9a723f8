#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::string_literals;
using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

void Put(const std::string &path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Get(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Replaced(std::string_view text, char from, const std::string &to)
{
    std::string out;
    for (char c : text)
        out += c == from ? to : std::string(1, c);
    return out;
}

// "A|B" as the tool writes it: every line followed by CR LF.
std::string Crlf(const std::string &lines)
{
    return lines.empty() ? "" : Replaced(lines + "|", '|', "\r\n");
}

// The lines of a text, without their line breaks.
std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        lines.push_back(text.substr(0, lf));
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
    }
    return lines;
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built korvane-cli in a scratch directory, its stdin, stdout and stderr on files
// there: nothing can block on a full pipe, and what the tool wrote is kept byte for byte.
class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        m_dir = QDir(m_tmp.path()).canonicalPath().toStdString();
    }

    std::string Path(const std::string &name) const { return m_dir + "/" + name; }

    // `fileLimit` caps the size of every file the tool writes, as a full disk would.
    Outcome Korvane(std::vector<std::string> args, std::string_view input = {},
                    std::optional<rlim_t> fileLimit = std::nullopt) const
    {
        const std::string in = Path(".in"), out = Path(".out"), err = Path(".err");
        Put(in, input);
        args.insert(args.begin(), KORVANE_CLI);
        std::vector<char *> argv;
        argv.reserve(args.size() + 1);
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);

        const pid_t pid = fork();
        if (pid == 0) {
            // Only async-signal-safe calls from here to exec.
            const int fds[] = {open(in.c_str(), O_RDONLY),
                               open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
                               open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)};
            for (int fd = 0; fd < 3; ++fd) {
                if (fds[fd] < 0 || dup2(fds[fd], fd) < 0)
                    _exit(127);
            }
            if (chdir(m_dir.c_str()) != 0)
                _exit(127);
            if (fileLimit) {
                signal(SIGXFSZ, SIG_IGN); // an ignored signal stays ignored across exec
                const rlimit limit{*fileLimit, *fileLimit};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Get(out), Get(err)};
    }

    QTemporaryDir m_tmp;
    std::string m_dir;
};

// A profile cut at one depth, and a compensated arc path to be turned back to front.
const std::string kSegment = "G90G00X0Y0Z5.\nG01Z-1.F100\nX10.\nY10.\nG00Z5.\nM30\n";
const std::string kWhole = "G90G00X0Y0Z5.S1000\nG41D1G01X10.F200\nG03X20.Y10.J10.\nG40G01X30.\n";
const std::string kSegmentNone =
    Crlf("G90G00X10.Y10.Z5.|G01Z-1.F100|G90G01X10.Y0F100|X0|G00Z5.|M30");

TEST_F(Cli, RewritesProgramsByteForByte)
{
    const std::vector<std::string> none = {"-m", "none"}, wholeNone = {"-w", "-m", "none"};
    struct Row {
        int line;
        std::vector<std::string> args;
        std::string input, expected;
    };
    const Row rows[] = {
        {__LINE__, none, kSegment, kSegmentNone},
        {__LINE__,
         {},
         kSegment, // mirror X unless told otherwise
         Crlf("G90G00X-10.Y10.Z5.|G01Z-1.F100|G90G01X-10.Y0F100|X0|G00Z5.|M30")},
        {__LINE__,
         {"--mirror", "y"},
         kSegment,
         Crlf("G90G00X10.Y-10.Z5.|G01Z-1.F100|G90G01X10.Y0F100|X0|G00Z5.|M30")},
        {__LINE__, wholeNone, kWhole,
         Crlf("G90G00X30.Y10.Z5.|M03S1000|G42D1G90G01X20.F200|G02X10.Y0I-10.J0|G40G01X0|M30")},
        {__LINE__,
         {"--whole"},
         kWhole,
         Crlf("G90G00X-30.Y10.Z5.|M03S1000|G41D1G90G01X-20.F200|G03X-10.Y0I10.J0|G40G01X0|M30")},
        {__LINE__,
         {"-w", "-m", "y"},
         kWhole,
         Crlf("G90G00X30.Y-10.Z5.|M03S1000|G41D1G90G01X20.F200|G03X10.Y0I-10.J0|G40G01X0|M30")},
        // Incremental input comes out absolute, under G90.
        {__LINE__, wholeNone, "G90G00X0Y0Z5.\nG91G01X10.F100\nY10.\n",
         Crlf("G90G00X10.Y10.Z5.|G90G01Y0F100|X0|M30")},
        // An axis that no line has set stays out of the opening rapid.
        {__LINE__, wholeNone, "G00X1.Y2.\nG01X3.\n", Crlf("G90G00X3.Y2.|G90G01X1.|M30")},
        // A cutting move on the last line is a segment of its own.
        {__LINE__, none, "G00X0Y0\nG01X1.Y2.F50\n", Crlf("G00X1.Y2.|G90G01X0Y0F50")},
        // Line breaks of every kind; a NUL ends the text.
        {__LINE__, none, Replaced(kSegment, '\n', "\r"), kSegmentNone},
        {__LINE__, none, Replaced(kSegment, '\n', "\r\n"), kSegmentNone},
        {__LINE__, none, Replaced("G90G00X0Y0Z5.|G01Z-1.F100|X10.|Y10.|G00Z5.|M30", '|', "\r\n"),
         kSegmentNone},
        {__LINE__, none, kSegment + "\0G81\nG18\n"s, kSegmentNone},
        {__LINE__, none, "G00X1.\n\n", Crlf("G00X1.|")},
        {__LINE__, none, "G00X1.\n\rM30", Crlf("G00X1.||M30")},
        {__LINE__, none, "", ""},
        {__LINE__, {"-m", "y"}, "\0G81\n"s, ""},
        // Comments come back in the encoding they were read in.
        {__LINE__, {}, "G00X5.(加工)\n", Crlf("G00X-5.(加工)")},
        {__LINE__, {}, "G00X5.(\xFF\xE9)\n", Crlf("G00X-5.(\xFF\xE9)")},                 // Latin-1
        {__LINE__, {}, "G00X5.(\x83\x58\x83\x59)\n", Crlf("G00X-5.(\x83\x58\x83\x59)")}, // CP932
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        const Outcome run = Korvane(row.args, row.input);
        EXPECT_EQ(run.out, row.expected);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, 0);
    }
}

TEST_F(Cli, MirrorsACp932ProgramAndKeepsItsCommentsByteForByte)
{
    const std::string data = KORVANE_TEST_DATA;
    const Outcome run = Korvane({data + "/sjis_profile.nc"});
    EXPECT_EQ(run.out, Get(data + "/sjis_profile_mirror_x.nc"));
    EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(Cli, RefusedLinesAndErrorsWriteOneMessageAndNoOutput)
{
    Put(Path("prog.nc"), "G00X0Y0Z5.\r\nG01Z-1.F100\r\nG19\r\n");
    ASSERT_EQ(mkdir(Path("sub").c_str(), 0755), 0);
    const std::string listIndex = "リストのインデックスが範囲を超えています (-1)";
    struct Row {
        int line;
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string message;
    };
    const Row rows[] = {
        {__LINE__, {}, "G00X0Y0Z5.\nG81X1.\n", 1, "-:2: 固定サイクルは対応していません！"},
        {__LINE__, {"-w", "-"}, "G18\n", 1, "-:1: G18平面は対応していません！"},
        {__LINE__,
         {},
         "G00X0Y0\nG91\nX1.\n",
         1,
         "-:3: G91が含まれる為中止します！（G91移動は全て逆転する時のみ対応しています）"},
        {__LINE__, {"./prog.nc"}, "", 1, "./prog.nc:3: G19平面は対応していません！"},
        {__LINE__, {"-w"}, "G00X0Y0\nG01X1.2.3\n", 2, "-:2: '1.2.3' は浮動小数点数ではありません"},
        {__LINE__, {}, "G00X0\n\nS1000.\n", 2, "-:3: '1000.' は整数ではありません"},
        {__LINE__, {"-w"}, "G91Z99999999999999999.\n", 2, "-:1: 不正な浮動小数点数演算命令"},
        {__LINE__, {"-w"}, "", 2, listIndex},
        {__LINE__, {"-w", "-m", "none"}, "\0G00X1.\n"s, 2, listIndex},
        {__LINE__, {}, "G01X1.Y2.\nG00Z5.\n", 2, listIndex}, // no record before the first cut
        {__LINE__, {}, "G01X1.Y2.\n", 2, listIndex},
        {__LINE__,
         {"missing.nc"},
         "",
         2,
         "ファイル \"" + Path("missing.nc") + "\". No such file or directory は開けません"},
        {__LINE__, {"sub"}, "", 2, "ファイル \"" + Path("sub") + "\". Is a directory は開けません"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        const Outcome run = Korvane(row.args, row.input);
        EXPECT_EQ(run.err, "korvane-cli: " + row.message + "\n");
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.status, row.status);
    }
}

TEST_F(Cli, ChecksEveryResultBeforeWritingIt)
{
    // Two passes at two depths: reversed in place, the second redirect lands in the first.
    const std::string twoDepths =
        "G90 G00 X0 Y0 Z5.\nG01 Z-1. F100\nX10.\nZ-2.\nY10.\nG00 Z5.\nM30\n";
    // Reversed whole, each retract at rapid becomes a rapid plunge.
    const std::string retracts = "G90G00X0Y0Z5.\nG01Z-1.F100\nX10.\nG00Z5.\nX20.\nG01Z-1.\nY10.\n"
                                 "G00Z5.\nM30\n";
    Put(Path("out.nc"), "old");
    struct Row {
        int line;
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string err; // the start of each line of standard error, "|" between lines
        bool written;
    };
    // The messages stay whole, as the tool prints them.
    // clang-format off
    const Row rows[] = {
        {__LINE__, {"-m", "none", "-o", "out.nc"}, twoDepths, 1,
         "korvane-cli: -:3: この行の切削 X0 Y0 Z-1. → X10. Y0 Z-1. が、書き換えたプログラムにありません。"
         "|korvane-cli: -: ほかに 1 件の誤りがあります",
         false},
        {__LINE__, {"-w", "-m", "none", "-o", "out.nc"}, retracts, 0,
         "korvane-cli: -:4: 警告: 書き換えたプログラムの 7 行目の早送りは Z-1. まで下がります。"
         "|korvane-cli: -:8: 警告: 書き換えたプログラムの 3 行目の早送りは Z-1. まで下がります。",
         true},
        {__LINE__, {"-w", "--strict", "-o", "out.nc"}, retracts, 3,
         "korvane-cli: -:4: 警告: |korvane-cli: -:8: 警告: ", false},
        {__LINE__, {"--strict", "-o", "out.nc"}, kSegment, 0, "", true},
        // Unchecked, the faulty result is written as the rewrite's rules make it.
        {__LINE__, {"-m", "none", "--no-check", "-o", "out.nc"}, twoDepths, 0, "", true},
        {__LINE__, {"--no-check", "--strict"}, kSegment, 64,
         "korvane-cli: --strict needs the check, which --no-check turns off|Usage:", false},
    };
    // clang-format on
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        Put(Path("out.nc"), "old");
        const Outcome run = Korvane(row.args, row.input);
        EXPECT_EQ(run.status, row.status);
        const std::string expectedErr = Replaced(row.err, '|', "\n");
        const auto expected = Lines(expectedErr);
        const auto actual = Lines(run.err);
        ASSERT_GE(actual.size(), expected.size()) << run.err;
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_THAT(std::string(actual[i]), StartsWith(std::string(expected[i])));
        EXPECT_EQ(Get(Path("out.nc")) != "old", row.written);
    }
    EXPECT_EQ(Get(Path("out.nc")), "old");
    EXPECT_EQ(Korvane({"-m", "none", "--no-check"}, twoDepths).out,
              Crlf("G90 G00 X10. Y0 Z5.|G01 Z-1. F100|G90G01X10.Y10.F100|Z-2.|G90G01X10.Y0F100|"
                   "G00 Z5.|M30"));
}

TEST_F(Cli, ReportsEveryRunAsJson)
{
    const std::string ramp = "G90G00X0Y0Z5.\nG01Z0F100\nX10.Z-1.\nX0\nG00Z5.\n";
    struct Row {
        int line;
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string report;
    };
    // The messages stay whole, as the tool prints them.
    // clang-format off
    const Row rows[] = {
        {__LINE__, {"-m", "none"}, kSegment, 0,
         "{\n  \"verdict\": \"written\",\n  \"errorCount\": 0,\n  \"warningCount\": 0,\n"
         "  \"findings\": []\n}\n"},
        {__LINE__, {"-w", "-m", "none"}, ramp, 0,
         "{\n  \"verdict\": \"written\",\n  \"errorCount\": 0,\n  \"warningCount\": 1,\n"
         "  \"findings\": [\n    {\"severity\": \"warning\", \"kind\": \"rapid-plunge\", \"line\": 2, "
         "\"sourceLine\": 5, \"message\": \"書き換えたプログラムの 2 行目の早送りは Z-1. まで下がります。"
         "元のプログラムの早送りは Z5. より下へは行きません。まだ削っていない材料に早送りで突っ込むおそれがあります。\"}\n"
         "  ]\n}\n"},
        {__LINE__, {"-m", "none"}, "G00X0Y0Z5.\nG81Z-1.\n", 1,
         "{\n  \"verdict\": \"refused\",\n  \"errorCount\": 0,\n  \"warningCount\": 0,\n"
         "  \"findings\": [],\n  \"stop\": {\"line\": 2, \"message\": \"固定サイクルは対応していません！\"}\n}\n"},
        {__LINE__, {}, "G01X\"\n", 2,
         "{\n  \"verdict\": \"refused\",\n  \"errorCount\": 0,\n  \"warningCount\": 0,\n"
         "  \"findings\": [],\n  \"stop\": {\"line\": 1, \"message\": \"'' は浮動小数点数ではありません\"}\n}\n"},
    };
    // clang-format on
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"--report", "report.json"});
        const Outcome run = Korvane(args, row.input);
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_EQ(Get(Path("report.json")), row.report);
    }
    // A refusal by the check lists its findings, lines from 1, null where none.
    const Outcome run = Korvane({"-m", "none", "--report", "report.json"}, ramp);
    EXPECT_EQ(run.status, 1);
    const std::string report = Get(Path("report.json"));
    EXPECT_THAT(report, StartsWith("{\n  \"verdict\": \"refused\",\n  \"errorCount\": 4,"));
    EXPECT_THAT(report, HasSubstr("{\"severity\": \"error\", \"kind\": \"lost-cut\", \"line\": "
                                  "null, \"sourceLine\": 3, \"message\": \"この行の切削 X0 Y0 Z0 → "
                                  "X10. Y0 Z-1. が、"));
    EXPECT_THAT(report, HasSubstr("\"kind\": \"extra-cut\", \"line\": 4, \"sourceLine\": 3, "));
}

TEST_F(Cli, AnswersUsageErrorsHelpAndVersion)
{
    const std::vector<std::vector<std::string>> usageErrors = {
        {"--bogus"}, {"-q"}, {"-m", "z"}, {"--mirror=xy"}, {"-m"}, {"a.nc", "b.nc"}, {"-o"},
    };
    for (const auto &args : usageErrors) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Outcome run = Korvane(args, kSegment);
        EXPECT_EQ(run.status, 64);
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, HasSubstr("Usage: korvane-cli"));
    }
    for (const std::string option : {"-h", "--help", "--version"}) {
        SCOPED_TRACE(option);
        const Outcome run = Korvane({option}, "G81\n");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_THAT(run.out, StartsWith(option == "--version" ? "korvane-cli" : "Usage:"));
    }
}

TEST_F(Cli, OutputFileIsReplacedOnlyWhenTheRewriteSucceeds)
{
    Put(Path("out.nc"), "old");
    Outcome run = Korvane({"-m", "none", "-o", "out.nc"}, kSegment);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Get(Path("out.nc")), kSegmentNone);

    Put(Path("out.nc"), "old");
    EXPECT_EQ(Korvane({"--output", "out.nc"}, "G00X0Y0\nG81\n").status, 1);
    EXPECT_EQ(Korvane({"-w", "-o", "out.nc"}, "").status, 2);
    EXPECT_EQ(Get(Path("out.nc")), "old");
    EXPECT_EQ(Korvane({"-o", "new.nc"}, "G81\n").status, 1);
    EXPECT_FALSE(std::filesystem::exists(Path("new.nc")));

    // A directory that cannot take the file: a regular file stands in its way.
    run = Korvane({"-o", "out.nc/result.nc"}, kSegment);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    const std::string target = "korvane-cli: ファイル \"" + Path("out.nc/result.nc") + "\". ";
    EXPECT_THAT(run.err, AllOf(StartsWith(target), EndsWith(" を作成できません\n")));
    EXPECT_EQ(Get(Path("out.nc")), "old");

    // A full disk: a result far larger than the file-size limit.
    std::string big = "G00X0Y0Z5.\n";
    for (int i = 1; i <= 2000; ++i)
        big += "G01X" + std::to_string(i) + ".Y" + std::to_string(i % 7) + ".\n";
    run = Korvane({"-w", "-o", "out.nc"}, big, 4096);
    EXPECT_EQ(run.err, "korvane-cli: ストリームへの書き込みエラー\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Get(Path("out.nc")), "old");
    EXPECT_EQ(Korvane({"-w", "-o", "out.nc"}, big).status, 0);
    EXPECT_GT(Get(Path("out.nc")).size(), 4096u);
}

TEST_F(Cli, EveryExampleRunsInAllSixSettings)
{
    const auto ascii = [](const std::string &s) {
        return std::all_of(s.begin(), s.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    int examples = 0;
    for (const auto &entry : std::filesystem::directory_iterator(KORVANE_EXAMPLES)) {
        if (entry.path().extension() != ".nc")
            continue;
        ++examples;
        for (const bool whole : {false, true}) {
            for (const std::string axis : {"x", "y", "none"}) {
                std::vector<std::string> args = {"-m", axis, entry.path().string()};
                if (whole)
                    args.push_back("-w");
                SCOPED_TRACE(::testing::PrintToString(args));
                const Outcome run = Korvane(args);
                EXPECT_EQ(run.status, 0) << run.err;
                // Reversed whole, a retract at rapid becomes a rapid plunge: a warning.
                for (std::string_view line : Lines(run.err))
                    EXPECT_THAT(std::string(line), HasSubstr(": 警告: "));
                EXPECT_THAT(run.out, EndsWith("\r\n"));
                EXPECT_EQ(Replaced(Replaced(run.out, '\r', ""), '\n', "\r\n"), run.out);
                EXPECT_THAT(run.out, ::testing::Not(HasSubstr("999999"))); // unknown position
                EXPECT_EQ(ascii(run.out), ascii(Get(entry.path())));
            }
        }
    }
    EXPECT_GT(examples, 0);
}

} // namespace
