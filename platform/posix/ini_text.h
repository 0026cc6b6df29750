// The INI text core of the POSIX profile services: parsing and editing an INI file held in memory.
// No file access here (platform/posix/file_io.h reads and replaces the files). The rules it follows
// are listed once, in platform/profile.h (Names, Lines, Values, First, Bytes, Set, Blanks, Same,
// Delete); this header adds what the text model needs beyond them.
//
// A block is a header and the lines up to the next header; the lines before the first header form
// an unnamed first block, found by the section name "" (so a later "[]" block is never searched,
// as on Windows). Editing changes only the bytes it must: a replaced value keeps its line's key
// spelling, the blanks around it and the line ending; a new key goes after the last non-blank line
// of the block (so a blank line separating blocks stays where it was); a new section goes at the
// end of the text; new lines use the text's first line ending, CRLF when it has none; an
// unterminated last line gets an ending before anything is added after it. No edit runs two lines
// together: where a lone CR ending would meet an LF line and read as one CRLF, an added line ends
// in CRLF and a deleted key leaves an empty CRLF line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ini {

// Blanks as the Windows services count them.
bool isBlank(char c);
std::string_view trimBlanks(std::string_view text);
std::string_view trimLeadingBlanks(std::string_view text);
std::string_view trimTrailingBlanks(std::string_view text);
// One pair of equal quote characters (' or ") around the text removed.
std::string_view unquote(std::string_view text);

// The value of the key in the first block of the section (trimmed, unquoted), or nothing.
std::optional<std::string_view> findValue(std::string_view text, std::string_view section,
                                          std::string_view key);

// The header names in file order; the key names of the section's first block (without ';' keys and
// lines without '='), or nothing when the section is missing.
std::vector<std::string_view> sectionNames(std::string_view text);
std::optional<std::vector<std::string_view>> keyNames(std::string_view text, std::string_view section);

// Integer conversion of a value as the Windows services do it: an optional sign, then 0x, 0o or 0b
// (lower case) or decimal digits, stopping at the first invalid character; wraps modulo 2^32; only
// the first 29 characters count. No digit gives 0.
std::int32_t parseInt(std::string_view value);

// The edits. Section, key and value are taken as the writer passes them (leading blanks already
// dropped, trailing ones kept and written). Each returns whether the text changed.
bool setValue(std::string& text, std::string_view section, std::string_view key, std::string_view value);
bool deleteKey(std::string& text, std::string_view section, std::string_view key);
bool deleteSection(std::string& text, std::string_view section);

}  // namespace platform::ini
