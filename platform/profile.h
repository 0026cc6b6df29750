// INI profile services: the Windows ones on Windows, our own on Linux with the same observable
// behaviour for everything the plug-ins read and write.
//
// Reading (profileString, profileInt):
// - Section and key names match without regard to ASCII letter case (other bytes match exactly),
//   and blanks around them (in the file and in the arguments) do not count, so a padded key
//   "PanelMR          " finds the line "PanelMR=3" and the line "PanelMR          =3" alike.
// - A header is a line starting with '[' (after blanks) that holds a ']'; its name is the text up
//   to the last ']'. A key line is any other line with '='; the key is the text before the first
//   '='. Lines without '=' (comments, junk) are no keys. Keys above the first header are read with
//   the section "".
// - The value is the text after the first '=', trimmed of blanks (space, tab, \f, \v, \x1A); one
//   pair of equal quote characters around it is removed. There are no inline comments.
// - Only the first block of a repeated section and the first of duplicate keys count.
// - Lines may end in CRLF, LF or CR; a last line without an ending reads normally; a UTF-8
//   byte-order mark is skipped; a NUL byte ends the name or value it falls in. Other bytes pass
//   through unchanged (on Linux no code-page conversion, also not of a file with a byte-order mark).
// - A missing file, section or key gives the fallback (trailing blanks and one quote pair
//   removed); an empty value is an empty string, not the fallback. A string longer than the
//   buffer is cut to size - 1 bytes.
// - A null section lists the section names, a null key the key names of the section (not those
//   starting with ';'), each ended by a NUL, then one more NUL; a list cut to the buffer ends in
//   two NULs and gives size - 2. A section without keys lists nothing and gives the fallback.
// - profileInt: missing key or empty value gives the fallback; otherwise an optional sign, then
//   0x/0o/0b prefixes (lower case) or decimal, stopping at the first invalid character; no digit
//   gives 0; overflow wraps modulo 2^32; only the first 29 characters count.
// - Reads never create or change a file. On Linux every call reads the file anew (no cache), so a
//   change by anyone is seen by the next call.
//
// Writing (writeProfileString):
// - Sets the key in the first block of its section, creating the file, the section (appended at the
//   end) or the key (after the section's last non-blank line) as needed. A missing file is created
//   as "[Section]\r\nKey=Value\r\n"; lines added to an existing file take its first line ending.
// - Leading blanks of section, key and value are dropped; trailing blanks are written as given.
//   A key is found again under its padded and its unpadded name (names compare trimmed).
// - Writing the value a key already has leaves the file untouched; so does deleting something
//   absent (and a missing file is then not created).
// - A null value deletes the key; a null key deletes the section's first block.
// - A missing folder, a name that is a folder, or a read-only file is a failure (false), and the
//   file stays as it was.
// - On Linux the file is replaced atomically (a temporary file in the same folder, fsync, then
//   rename), keeping its permission bits and owner, and following a symbolic link to its target.
//   Every byte the write does not change is kept (comments, unknown lines, blank lines, line
//   endings, a byte-order mark, a header's trailing text, the spelling of the key that is changed).
//   A failed write leaves the old file exactly as it was and no temporary file behind. Unlike
//   Windows, which rewrites the file in place, a changing write needs a writable folder.
// - A file name without a folder is taken in the current folder on Linux (Windows looks in its own
//   folder); the plug-ins always pass a full path or "./ATS.ini".
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
