#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

/// The value of `key` in `[section]` of an ini text; section and key names match without
/// regard to case, blanks around names and values are ignored. std::nullopt when the section
/// or the key is missing; a key with nothing after "=" gives an empty value.
std::optional<std::string> IniValue(std::string_view text, std::string_view section,
                                    std::string_view key);

/// The ini text with `key` in `[section]` set to `value`. Every other line (other sections,
/// keys, comments, blank lines) stays as it was and where it was; a missing key is added at
/// the end of its section, a missing section at the end of the text.
std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value);

/// Reads "Ka1" of "[Data]" from the settings file; "nc" when the file, the section or the key
/// is missing or the file cannot be read. Never throws.
QString ReadUsualExtension(const QString &iniPath);

/// Writes "Ka1" of "[Data]" into the settings file, keeping the rest of it, atomically.
/// Throws FileError::CannotWrite naming the file when it cannot be written.
void WriteUsualExtension(const QString &iniPath, const QString &extension);

} // namespace korvane
