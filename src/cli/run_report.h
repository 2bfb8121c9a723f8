#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "toolpath/check.h"

namespace korvane {

/// What one run of korvane-cli came to, for --report.
struct RunReport {
    bool written = false;
    const CheckReport *check = nullptr; // none when the run stopped before the check
    /// Why the run stopped before writing, when it did: a refused line or an error, with the
    /// 0-based source line when one is at fault.
    std::optional<std::string> stopMessage;
    std::optional<std::uint32_t> stopLine;
};

/// The report as JSON: {"verdict": "written"|"refused", "errorCount", "warningCount",
/// "findings": [{"severity", "kind", "line", "sourceLine", "message"}], and "stop":
/// {"line", "message"} when a refused line or an error ended the run}. Lines are 1-based, or
/// null when a finding names none.
std::string RunReportJson(const RunReport &report);

} // namespace korvane
