#include "cli/cli.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>
#include <optional>

#include "cli/run_report.h"
#include "files/file_error.h"
#include "files/text_codec.h"
#include "files/text_file.h"
#include "model/errors.h"
#include "plot/plot_file.h"
#include "toolpath/check.h"
#include "transform/execute.h"
#include "version.h"

namespace korvane {
namespace {

constexpr const char *kUsage =
    "Usage: korvane-cli [-w|--whole] [-m|--mirror x|y|none] [-o|--output FILE]\n"
    "                   [--report FILE] [--strict] [--no-check]\n"
    "                   [--plot FILE [--plot-size WxH]] [FILE]\n";

constexpr const char *kHelp =
    "Rewrites an NC milling program: every cutting pass reversed in place (the default), or\n"
    "the whole program turned back to front, optionally mirrored about X or Y.\n"
    "\n"
    "  FILE               the program; standard input when absent or \"-\"\n"
    "  -w, --whole        reverse the whole program instead of each cutting pass\n"
    "  -m, --mirror AXIS  x (the default), y or none\n"
    "  -o, --output FILE  write the result there instead of standard output\n"
    "      --report FILE  write a JSON report of the run there (also when it is refused)\n"
    "      --strict       refuse the result when the check warns, too\n"
    "      --no-check     write the result without checking it: UNSAFE, the program may\n"
    "                     cut differently from its source (for comparison and scripts)\n"
    "      --plot FILE    draw the result from above, the source faint beneath it, with the\n"
    "                     check's findings: PNG, or SVG when FILE ends in .svg\n"
    "      --plot-size WxH  the picture's size in pixels (default 1600x1200)\n"
    "  -h, --help         show this text\n"
    "      --version      show the version\n"
    "\n"
    "Every result is run as a machine would run it and compared with its source before it is\n"
    "written: a cut lost, added or made under other conditions (spindle, tool, length or work\n"
    "offset, feed, compensation side) refuses it; a rapid lower than the source ever goes at\n"
    "rapid is a warning, printed on standard error.\n"
    "The result has CR LF line breaks and the input's encoding (UTF-8, CP932 or Latin-1).\n"
    "Exit status: 0 done, 1 a line or the result was refused, 2 an error, 3 refused by\n"
    "--strict for a warning, 64 a usage error.\n";

struct Options {
    RewriteSettings settings;
    std::optional<std::string> output;
    std::optional<std::string> report;
    bool strict = false;
    bool check = true;
    std::optional<std::string> plot;
    QSize plotSize{1600, 1200};
    std::string input = "-";
};

void Print(std::FILE *stream, const std::string &text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

std::string ReadStream(std::FILE *in)
{
    std::string bytes;
    char chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0)
        bytes.append(chunk, got);
    if (std::ferror(in))
        throw FileError::CannotOpen("-", "Read error");
    return bytes;
}

// Writes the result: every line followed by CR LF, in the input's encoding.
void WriteResult(const LineList &lines, TextEncoding encoding, const Options &options,
                 std::FILE *out)
{
    std::optional<AtomicFileWriter> file;
    if (options.output)
        file.emplace(QString::fromStdString(*options.output));
    auto write = [&](std::string_view bytes) {
        if (file) {
            file->Write(bytes);
        } else if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
            throw FileError::WriteFailed();
        }
    };

    if (encoding == TextEncoding::Utf8) {
        // Streamed in pieces, so a large result is never held twice.
        std::string buffer;
        constexpr std::size_t kPiece = 1 << 20;
        buffer.reserve(kPiece + 4096);
        for (std::size_t next = 0; next < lines.size();) {
            buffer.clear();
            next = lines.AppendCrLf(buffer, next, kPiece);
            write(buffer);
        }
    } else {
        write(EncodeText(lines.JoinCrLf(), encoding));
    }

    if (file)
        file->Commit();
    else if (std::fflush(out) != 0)
        throw FileError::WriteFailed();
}

// Returns the exit status when the arguments end the run (help, version, a usage error).
std::optional<int> ParseArguments(const std::vector<std::string> &args, Options &options,
                                  std::FILE *out, std::FILE *err)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption whole({"w", "whole"}, "whole");
    const QCommandLineOption mirror({"m", "mirror"}, "mirror", "axis");
    const QCommandLineOption output({"o", "output"}, "output", "file");
    const QCommandLineOption report("report", "report", "file");
    const QCommandLineOption strict("strict", "strict");
    const QCommandLineOption noCheck("no-check", "no-check");
    const QCommandLineOption plot("plot", "plot", "file");
    const QCommandLineOption plotSize("plot-size", "plot-size", "size");
    const QCommandLineOption help({"h", "help"}, "help");
    const QCommandLineOption version("version", "version");
    parser.addOptions(
        {whole, mirror, output, report, strict, noCheck, plot, plotSize, help, version});

    QStringList list{"korvane-cli"};
    for (const std::string &a : args)
        list << QString::fromLocal8Bit(a.c_str());
    auto usageError = [&](const QString &what) {
        Print(err, "korvane-cli: " + what.toStdString() + "\n" + kUsage);
        return kExitUsage;
    };
    if (!parser.parse(list))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        Print(out, std::string(kUsage) + "\n" + kHelp);
        return kExitOk;
    }
    if (parser.isSet(version)) {
        Print(out, std::string("korvane-cli ") + kVersion + "\n");
        return kExitOk;
    }
    options.settings.wholeProgram = parser.isSet(whole);
    if (parser.isSet(mirror)) {
        const QString axis = parser.values(mirror).constLast().toLower();
        if (axis == "x")
            options.settings.mirrorAxis = MirrorAxis::X;
        else if (axis == "y")
            options.settings.mirrorAxis = MirrorAxis::Y;
        else if (axis == "none")
            options.settings.mirrorAxis = MirrorAxis::None;
        else
            return usageError("unknown mirror axis '" + axis + "' (x, y or none)");
    }
    if (parser.isSet(output))
        options.output = parser.values(output).constLast().toLocal8Bit().toStdString();
    if (parser.isSet(report))
        options.report = parser.values(report).constLast().toLocal8Bit().toStdString();
    options.strict = parser.isSet(strict);
    options.check = !parser.isSet(noCheck);
    if (options.strict && !options.check)
        return usageError("--strict needs the check, which --no-check turns off");
    if (parser.isSet(plot))
        options.plot = parser.values(plot).constLast().toLocal8Bit().toStdString();
    if (parser.isSet(plotSize)) {
        const QStringList wh = parser.values(plotSize).constLast().toLower().split('x');
        bool okW = false, okH = false;
        const int w = wh.size() == 2 ? wh[0].toInt(&okW) : 0;
        const int h = wh.size() == 2 ? wh[1].toInt(&okH) : 0;
        if (!okW || !okH || w < 16 || h < 16 || w > 16384 || h > 16384)
            return usageError("--plot-size takes WIDTHxHEIGHT, 16 to 16384 pixels each");
        options.plotSize = QSize(w, h);
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return usageError("more than one input file");
    if (positional.size() == 1)
        options.input = positional.first().toLocal8Bit().toStdString();
    return std::nullopt;
}

// "korvane-cli: NAME:N: " with N the 1-based source line, or "korvane-cli: NAME: ".
std::string Where(const std::string &name, std::optional<std::uint32_t> line)
{
    if (!line)
        return "korvane-cli: " + name + ": ";
    return "korvane-cli: " + name + ":" + std::to_string(std::uint64_t{*line} + 1) + ": ";
}

void PrintFindings(const CheckReport &check, const std::string &name, std::FILE *err)
{
    std::string text;
    if (const Finding *error = check.FirstError()) {
        text += Where(name, error->sourceLine) + error->message + "\n";
        if (check.errorCount > 1)
            text += Where(name, std::nullopt) + "ほかに " + std::to_string(check.errorCount - 1) +
                    " 件の誤りがあります（--report で一覧を書き出せます）\n";
    }
    std::size_t shown = 0;
    for (const Finding &f : check.findings) {
        if (f.severity != Severity::Warning)
            continue;
        text += Where(name, f.sourceLine) + "警告: " + f.message + "\n";
        ++shown;
    }
    if (check.warningCount > shown)
        text += Where(name, std::nullopt) + "警告はほかに " +
                std::to_string(check.warningCount - shown) + " 件あります\n";
    if (!text.empty())
        Print(err, text);
}

void WriteReport(const Options &options, const RunReport &report)
{
    if (options.report)
        WriteFileAtomic(QString::fromLocal8Bit(options.report->c_str()), RunReportJson(report));
}

// "pocket.nc — 後方から全て逆転、ミラー X" for the picture's legend.
QString PictureTitle(const Options &options)
{
    const QString name = options.input == "-"
                             ? QStringLiteral("（標準入力）")
                             : QFileInfo(QString::fromLocal8Bit(options.input.c_str())).fileName();
    const RewriteSettings &s = options.settings;
    const QString mode =
        s.wholeProgram ? QStringLiteral("後方から全て逆転") : QStringLiteral("切削パスごとに逆転");
    const QString mirror = s.mirrorAxis == MirrorAxis::X   ? QStringLiteral("ミラー X")
                           : s.mirrorAxis == MirrorAxis::Y ? QStringLiteral("ミラー Y")
                                                           : QStringLiteral("ミラーなし");
    return name + QStringLiteral(" — ") + mode + QStringLiteral("、") + mirror;
}

// The result drawn from above over its source, with the findings; the picture needs fonts,
// so a Qt GUI runs on the offscreen platform for it: no display is needed.
void WritePlot(const Options &options, std::span<const std::string_view> source,
               const LineList &result, const CheckReport *check)
{
    if (!QGuiApplication::instance()) {
        // Qt's own notes (a runtime folder not set, fonts) are no concern of this tool's
        // users: only its failures reach standard error.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "korvane-cli: %s\n", text.toLocal8Bit().constData());
        });
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "korvane-cli";
        static char *argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
    }
    PlotScene scene;
    scene.program = PlotPath::OfLines(result);
    scene.beneath = PlotPath::OfLines(source);
    if (check)
        scene.marks = MarksOf(*check, scene.program, scene.beneath);
    PlotLayers layers;
    layers.legend = true;
    layers.title = PictureTitle(options);
    WritePictureFile(QString::fromLocal8Bit(options.plot->c_str()), scene, options.plotSize,
                     layers);
}

// Reads, rewrites, checks and writes; returns the exit status, and says in `report` how the
// run went. Failures are thrown.
int Run(const Options &options, RunReport &report, CheckReport &check, std::FILE *in,
        std::FILE *out, std::FILE *err)
{
    const std::string &name = options.input;
    DecodedText text = name == "-" ? DecodeText(ReadStream(in))
                                   : ReadTextFile(QString::fromLocal8Bit(name.c_str()));
    const std::vector<std::string_view> lines = SplitLines(text.utf8);

    WorkingState state;
    CheckedOutcome outcome = ExecuteCheckedRewrite(lines, options.settings, state, options.check);
    if (!outcome.rewrite.completed) {
        report.stopMessage = std::string(outcome.rewrite.message);
        report.stopLine = static_cast<std::uint32_t>(outcome.rewrite.refusedLine);
        Print(err, Where(name, report.stopLine) + *report.stopMessage + "\n");
        return kExitRefused;
    }
    if (outcome.check) {
        check = std::move(*outcome.check);
        report.check = &check;
        PrintFindings(check, name, err);
        if (check.HasErrors())
            return kExitRefused;
        if (options.strict && check.warningCount > 0)
            return kExitWarnings;
    }
    WriteResult(state.outputLines, text.encoding, options, out);
    report.written = true;
    if (options.plot)
        WritePlot(options, lines, state.outputLines, outcome.check ? &check : nullptr);
    return kExitOk;
}

} // namespace

int RunCli(const std::vector<std::string> &args, std::FILE *in, std::FILE *out, std::FILE *err)
{
    Options options;
    if (std::optional<int> status = ParseArguments(args, options, out, err))
        return *status;

    RunReport report;
    CheckReport check;
    int status = kExitError;
    try {
        status = Run(options, report, check, in, out, err);
    } catch (const KorvaneError &error) {
        report.stopMessage = error.what();
        if (error.line())
            report.stopLine = static_cast<std::uint32_t>(*error.line());
        const std::string where =
            report.stopLine ? Where(options.input, report.stopLine) : "korvane-cli: ";
        Print(err, where + error.what() + "\n");
    } catch (const std::bad_alloc &) {
        report.stopMessage = "out of memory";
        Print(err, "korvane-cli: out of memory\n");
    } catch (const std::exception &error) {
        // Not a failure the tool foresees (a fault of its own): said, never a silent end.
        report.stopMessage = std::string("internal error: ") + error.what();
        Print(err, "korvane-cli: " + *report.stopMessage + "\n");
    }
    try {
        WriteReport(options, report);
    } catch (const KorvaneError &error) {
        Print(err, std::string("korvane-cli: ") + error.what() + "\n");
        return status == kExitOk ? kExitError : status;
    }
    return status;
}

} // namespace korvane
