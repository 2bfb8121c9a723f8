#include "cli/run_report.h"

#include <cstdio>

namespace korvane {
namespace {

void AppendString(std::string &out, std::string_view text)
{
    out.push_back('"');
    for (char c : text) {
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out.append(escaped);
            } else {
                out.push_back(c); // UTF-8 passes through as it is
            }
        }
    }
    out.push_back('"');
}

void AppendLine(std::string &out, std::optional<std::uint32_t> line)
{
    if (line)
        out.append(std::to_string(std::uint64_t{*line} + 1));
    else
        out.append("null");
}

} // namespace

std::string RunReportJson(const RunReport &report)
{
    std::string out = "{\n  \"verdict\": ";
    AppendString(out, report.written ? "written" : "refused");
    const CheckReport empty;
    const CheckReport &check = report.check ? *report.check : empty;
    out.append(",\n  \"errorCount\": ").append(std::to_string(check.errorCount));
    out.append(",\n  \"warningCount\": ").append(std::to_string(check.warningCount));
    out.append(",\n  \"findings\": [");
    const char *separator = "\n";
    for (const Finding &f : check.findings) {
        out.append(separator).append("    {\"severity\": ");
        AppendString(out, f.severity == Severity::Error ? "error" : "warning");
        out.append(", \"kind\": ");
        AppendString(out, FindingKindName(f.kind));
        out.append(", \"line\": ");
        AppendLine(out, f.resultLine);
        out.append(", \"sourceLine\": ");
        AppendLine(out, f.sourceLine);
        out.append(", \"message\": ");
        AppendString(out, f.message);
        out.append("}");
        separator = ",\n";
    }
    out.append(check.findings.empty() ? "]" : "\n  ]");
    if (report.stopMessage) {
        out.append(",\n  \"stop\": {\"line\": ");
        AppendLine(out, report.stopLine);
        out.append(", \"message\": ");
        AppendString(out, *report.stopMessage);
        out.append("}");
    }
    out.append("\n}\n");
    return out;
}

} // namespace korvane
