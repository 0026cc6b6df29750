// INI profile services: the Windows ones on Windows, our own on Linux with the same observable
// behaviour for everything the plug-ins read and write.
//
// Reading (profileString, profileInt):
// - Section and key names match without regard to ASCII letter case, and blanks around them (in
//   the file and in the arguments) do not count, so a padded key "PanelMR          " finds the
//   line "PanelMR=3" and the line "PanelMR          =3" alike.
// - The value is the text after the first '=', trimmed of blanks (space, tab, \f, \v, \x1A); one
//   pair of equal quote characters around it is removed. There are no inline comments.
// - Only the first block of a repeated section and the first of duplicate keys count.
// - Lines may end in CRLF, LF or CR; a last line without an ending reads normally; a UTF-8
//   byte-order mark is skipped; a NUL byte ends its line.
// - A missing file, section or key gives the fallback (trailing blanks and one quote pair
//   removed); an empty value is an empty string, not the fallback.
// - profileInt: missing key or empty value gives the fallback; otherwise an optional sign, then
//   0x/0o/0b prefixes (lower case) or decimal, stopping at the first invalid character; no digit
//   gives 0; overflow wraps modulo 2^32; only the first 29 characters count.
//
// Writing (writeProfileString):
// - Sets the key in the first block of its section, creating the file, the section (appended at the
//   end) or the key (after the section's last line) as needed. A missing file is created as
//   "[Section]\r\nKey=Value\r\n".
// - Leading blanks of section, key and value are dropped; trailing blanks are written as given.
// - Writing the value a key already has leaves the file untouched.
// - On Linux the file is replaced atomically (a temporary file in the same folder, then rename),
//   every byte the write does not change is kept (comments, unknown lines, line endings, a
//   byte-order mark), and a failed write leaves the old file as it was. A file that is not a
//   regular file, or a folder that cannot be written, is a failure.
// - A null value deletes the key; a null key deletes the section.
#pragma once

#include <cstdint>

namespace platform {

// Copies the key's value, or the fallback, into out: at most size - 1 bytes and a terminating zero.
// Returns the number of bytes copied, without the zero.
std::uint32_t profileString(const char* section, const char* key, const char* fallback, char* out,
                            std::uint32_t size, const char* path);

// The key's value as an integer, or the fallback.
std::int32_t profileInt(const char* section, const char* key, std::int32_t fallback, const char* path);

// Sets, deletes (value null) or removes a section (key null); false when the file cannot be written.
bool writeProfileString(const char* section, const char* key, const char* value, const char* path);

// Whether a file-system entry matches the path. Leaves nothing open.
bool fileExists(const char* path);

}  // namespace platform
