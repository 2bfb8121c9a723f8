#include "cli/cli.h"

#include <QCommandLineParser>
#include <QStringList>
#include <optional>

#include "files/file_error.h"
#include "files/text_codec.h"
#include "files/text_file.h"
#include "model/errors.h"
#include "transform/execute.h"
#include "version.h"

namespace korvane {
namespace {

constexpr const char *kUsage =
    "Usage: korvane-cli [-w|--whole] [-m|--mirror x|y|none] [-o|--output FILE] [FILE]\n";

constexpr const char *kHelp =
    "Rewrites an NC milling program: every cutting pass reversed in place (the default), or\n"
    "the whole program turned back to front, optionally mirrored about X or Y.\n"
    "\n"
    "  FILE               the program; standard input when absent or \"-\"\n"
    "  -w, --whole        reverse the whole program instead of each cutting pass\n"
    "  -m, --mirror AXIS  x (the default), y or none\n"
    "  -o, --output FILE  write the result there instead of standard output\n"
    "  -h, --help         show this text\n"
    "      --version      show the version\n"
    "\n"
    "The result has CR LF line breaks and the input's encoding (UTF-8, CP932 or Latin-1).\n"
    "Exit status: 0 done, 1 a line was refused, 2 an error, 64 a usage error.\n";

struct Options {
    RewriteSettings settings;
    std::optional<std::string> output;
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
        for (std::size_t i = 0; i < lines.size(); ++i) {
            buffer.append(lines[i]);
            buffer.append("\r\n");
            if (buffer.size() >= kPiece) {
                write(buffer);
                buffer.clear();
            }
        }
        write(buffer);
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
    const QCommandLineOption help({"h", "help"}, "help");
    const QCommandLineOption version("version", "version");
    parser.addOptions({whole, mirror, output, help, version});

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
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return usageError("more than one input file");
    if (positional.size() == 1)
        options.input = positional.first().toLocal8Bit().toStdString();
    return std::nullopt;
}

} // namespace

int RunCli(const std::vector<std::string> &args, std::FILE *in, std::FILE *out, std::FILE *err)
{
    Options options;
    if (std::optional<int> status = ParseArguments(args, options, out, err))
        return *status;

    const std::string &name = options.input;
    try {
        DecodedText text = name == "-" ? DecodeText(ReadStream(in))
                                       : ReadTextFile(QString::fromLocal8Bit(name.c_str()));
        const std::vector<std::string_view> lines = SplitLines(text.utf8);

        WorkingState state;
        const RewriteOutcome outcome = ExecuteRewrite(lines, options.settings, state);
        if (!outcome.completed) {
            Print(err, "korvane-cli: " + name + ":" + std::to_string(outcome.refusedLine + 1) +
                           ": " + std::string(outcome.message) + "\n");
            return kExitRefused;
        }
        // The records are done with; let the result be written without them.
        state.blockList = {};
        WriteResult(state.outputLines, text.encoding, options, out);
        return kExitOk;
    } catch (const KorvaneError &error) {
        std::string where =
            error.line() ? name + ":" + std::to_string(*error.line() + 1) + ": " : std::string();
        Print(err, "korvane-cli: " + where + error.what() + "\n");
        return kExitError;
    } catch (const std::bad_alloc &) {
        Print(err, "korvane-cli: out of memory\n");
        return kExitError;
    }
}

} // namespace korvane
