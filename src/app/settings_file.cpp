#include "app/settings_file.h"

#include <QFileInfo>
#include <vector>

#include "files/file_error.h"
#include "files/text_file.h"

namespace korvane {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view s)
{
    const std::size_t from = s.find_first_not_of(kBlanks);
    if (from == std::string_view::npos)
        return {};
    return s.substr(from, s.find_last_not_of(kBlanks) - from + 1);
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

struct IniLine {
    std::string_view text; // without its line break
    std::string_view brk;  // "\r\n", "\n", "\r" or empty for an unterminated last line
};

std::vector<IniLine> SplitKeepingBreaks(std::string_view text)
{
    std::vector<IniLine> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r')
            continue;
        std::size_t len = (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        lines.push_back({text.substr(start, i - start), text.substr(i, len)});
        i += len - 1;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back({text.substr(start), {}});
    return lines;
}

// The section a header line opens, or nullopt for any other line.
std::optional<std::string_view> SectionOf(std::string_view line)
{
    std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']')
        return std::nullopt;
    return Trim(t.substr(1, t.size() - 2));
}

// The key of a "key=value" line, or nullopt for comments and other lines.
std::optional<std::string_view> KeyOf(std::string_view line)
{
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#')
        return std::nullopt;
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return Trim(t.substr(0, eq));
}

} // namespace

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::optional<std::string> IniValue(std::string_view text, std::string_view section,
                                    std::string_view key)
{
    if (text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());
    // Only the first section of that name counts, as when the value is written.
    bool inSection = false;
    for (const IniLine &line : SplitKeepingBreaks(text)) {
        if (auto name = SectionOf(line.text)) {
            if (inSection)
                break;
            inSection = SameName(*name, section);
        } else if (inSection) {
            if (auto k = KeyOf(line.text); k && SameName(*k, key)) {
                std::string_view t = Trim(line.text);
                return std::string(Trim(t.substr(t.find('=') + 1)));
            }
        }
    }
    return std::nullopt;
}

std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value)
{
    // A byte-order mark is kept in front of the text, and not taken for part of a name.
    if (text.starts_with(kUtf8Bom))
        return std::string(kUtf8Bom) +
               WithIniValue(text.substr(kUtf8Bom.size()), section, key, value);
    std::vector<IniLine> lines = SplitKeepingBreaks(text);
    // New lines follow the file's own line breaks.
    std::string_view brk = "\n";
    for (const IniLine &line : lines)
        if (!line.brk.empty()) {
            brk = line.brk;
            break;
        }
    const std::string entry = std::string(key) + "=" + std::string(value);

    // Where the section is, where its key is, and its last line that holds anything.
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t header = kNone, keyLine = kNone, lastUsed = kNone;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionOf(lines[i].text)) {
            if (header != kNone)
                break;
            if (SameName(*name, section))
                header = lastUsed = i;
        } else if (header != kNone) {
            if (auto k = KeyOf(lines[i].text); k && SameName(*k, key) && keyLine == kNone)
                keyLine = i;
            if (!Trim(lines[i].text).empty())
                lastUsed = i;
        }
    }

    std::string out;
    out.reserve(text.size() + entry.size() + section.size() + 8);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out.append(i == keyLine ? std::string_view(entry) : lines[i].text);
        out.append(lines[i].brk);
        if (i == lastUsed && keyLine == kNone) {
            if (lines[i].brk.empty())
                out.append(brk);
            out.append(entry).append(brk);
        }
    }
    if (header == kNone) {
        if (!out.empty() && out.back() != '\n' && out.back() != '\r')
            out.append(brk);
        out.append("[").append(section).append("]").append(brk).append(entry).append(brk);
    }
    return out;
}

QString ReadUsualExtension(const QString &iniPath)
{
    try {
        const std::string text = ReadFileBytes(iniPath);
        if (auto value = IniValue(text, "Data", "Ka1"))
            return QString::fromStdString(*value);
    } catch (const FileError &) {
        // A missing or unreadable settings file gives the default.
    }
    return QStringLiteral("nc");
}

void WriteUsualExtension(const QString &iniPath, const QString &extensionText)
{
    // A value holds no line break: pasted into the edit, one would start lines of its own.
    QString extension = extensionText;
    extension.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    const std::string absolute = QFileInfo(iniPath).absoluteFilePath().toStdString();
    std::string text;
    if (QFileInfo::exists(iniPath)) {
        try {
            text = ReadFileBytes(iniPath);
        } catch (const FileError &) {
            throw FileError::CannotWrite(absolute);
        }
    }
    try {
        WriteFileAtomic(iniPath, WithIniValue(text, "Data", "Ka1", extension.toStdString()));
    } catch (const FileError &) {
        throw FileError::CannotWrite(absolute);
    }
}

} // namespace korvane
