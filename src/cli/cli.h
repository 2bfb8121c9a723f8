#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace korvane {

/// Exit statuses of korvane-cli.
enum CliExit : int {
    kExitOk = 0,
    kExitRefused = 1,  // a line the rewrite does not support, or the check found an error
    kExitError = 2,    // a malformed number, a rewrite that cannot run, a file error
    kExitWarnings = 3, // --strict: the check warned, nothing was written
    kExitUsage = 64,
};

/// Runs korvane-cli with its arguments (without the program name). The result goes to `out`
/// (or to the --output file), messages to `err`; `in` is read when no file is named or "-".
int RunCli(const std::vector<std::string> &args, std::FILE *in, std::FILE *out, std::FILE *err);

} // namespace korvane
