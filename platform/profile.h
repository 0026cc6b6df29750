// INI profile services: the Windows ones on Windows, our own on Linux with the same observable
// behaviour for everything the plug-ins read and write.
//
// The rules, each under the name that the test rows of tests/profile carry as their prefix
// (Names_LetterCase is a row of the rule Names). Files the plug-ins write themselves round-trip on
// both systems; hand-edited and foreign files read as on Windows wherever Windows is known.
//
// Reading (profileString, profileInt, ProfileFile::string and ::integer):
// - Names: section and key names match without regard to ASCII letter case (other bytes match
//   exactly), and blanks around them (in the file and in the arguments) do not count, so a padded
//   key "PanelMR          " finds the line "PanelMR=3" and the line "PanelMR          =3" alike.
// - Lines: a header is a line starting with '[' (after blanks) that holds a ']'; its name is the
//   text up to the last ']', trailing text dropped. A key line is any other line with '='; the key
//   is the text before the first '='. Lines without '=' (comments, junk, an unclosed "[x") are no
//   keys and belong to the block they are in; ";" and "#" lines with '=' are keys. Keys above the
//   first header are read with the section "". Blank lines and indentation do not count.
// - Values: the text after the first '=', trimmed of blanks (space, tab, \f, \v, \x1A); one pair
//   of equal quote characters around it is removed. There are no inline comments. An empty value
//   is an empty string, not the fallback.
// - First: only the first block of a repeated section and the first of duplicate keys count.
// - Bytes: lines may end in CRLF, LF or CR; a last line without an ending reads normally; a UTF-8
//   byte-order mark is skipped; a NUL byte ends the name or value it falls in. Other bytes pass
//   through unchanged (on Linux no code-page conversion, also not of a file with a byte-order mark).
// - Fallback: a missing file, section or key gives the fallback (trailing blanks and one quote pair
//   removed; a null fallback is empty).
// - Cut: a string longer than the buffer is cut to size - 1 bytes.
// - Lists: a null section lists the section names, a null key the key names of the section (not
//   those starting with ';'), each ended by a NUL, then one more NUL; a list cut to the buffer ends
//   in two NULs and gives size - 2. A section without keys lists nothing and gives the fallback.
// - Int: missing key or empty value gives the fallback; otherwise an optional sign, then 0x/0o/0b
//   prefixes (lower case) or decimal, stopping at the first invalid character; no digit gives 0;
//   overflow wraps modulo 2^32; only the first 29 characters count.
// - Untouched: reads never create or change a file. On Linux nothing is cached between calls or
//   ProfileFile objects, so a change by anyone is seen by the next one.
// - Hostile (Linux): anything but a regular file (a folder, a named pipe, a device) reads as a
//   missing file and is never opened. Of a file larger than 16 MiB only the lines within its
//   first 16 MiB are read; so a file that grows while it is read is read up to there at most.
//   Windows names no limit; the bound keeps memory and time small (see platform/posix/file_io.h).
//
// Writing (writeProfileString, ProfileFile::write):
// - Set: sets the key in the first block of its section, creating the file, the section (appended
//   at the end) or the key (after the section's last non-blank line) as needed. A missing file is
//   created as "[Section]\r\nKey=Value\r\n"; lines added to an existing file take its first line
//   ending. Every byte the write does not change is kept (comments, unknown lines, blank lines,
//   line endings, a byte-order mark, a header's trailing text, the spelling of the key that is
//   changed); the Windows writer rewrites a hand-edited file, so there only the values count.
// - Blanks: leading blanks of section, key and value are dropped; trailing blanks are written as
//   given. A key is found again under its padded and its unpadded name (names compare trimmed).
// - Same: writing the value a key already has leaves the file untouched; so does deleting
//   something absent (and a missing file is then not created).
// - Delete: a null value deletes the key; a null key deletes the section's first block.
// - Fail: a missing folder, a name that is a folder, or a read-only file is a failure (false), and
//   the file stays as it was. On Linux so is anything but a regular file, and a file larger than
//   16 MiB (it was not read whole, so it is never rewritten).
// - Replace (Linux): the file is replaced atomically (a temporary file in the same folder, fsync,
//   rename, fsync of the folder), keeping its permission bits and owner, and following a symbolic
//   link to its target. A failed write leaves the old file exactly as it was and no temporary file
//   behind; a writer killed mid-write leaves the old file whole, and its temporary file is removed
//   by the next successful write of that file. Unlike Windows, which rewrites the file in place, a
//   changing write needs a writable folder.
// - Batch: a ProfileFile reads its file once, at its first read or write. On Linux its writes edit
//   the text in memory and commit replaces the file once, with exactly the bytes the same writes
//   made one by one through writeProfileString give; on Windows each write goes to the service at
//   once, key by key.
// - Path: a file name without a folder is taken in the current folder on Linux (Windows looks in
//   its own folder); the plug-ins always pass a full path or "./ATS.ini".
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace platform {

// Copies the key's value, or the fallback, into out: at most size - 1 bytes and a terminating zero.
// Returns the number of bytes copied, without the zero.
std::uint32_t profileString(const char* section, const char* key, const char* fallback, char* out,
                            std::uint32_t size, const char* path);

// The key's value as an integer, or the fallback.
std::int32_t profileInt(const char* section, const char* key, std::int32_t fallback, const char* path);

// Sets, deletes (value null) or removes a section (key null); false when the file cannot be written.
bool writeProfileString(const char* section, const char* key, const char* value, const char* path);

// One settings file, read once and written back in one go: what a settings store's load and save
// use. Reads and writes follow the rules above; nothing is read before the first call.
class ProfileFile {
public:
    explicit ProfileFile(std::string path) : path_(std::move(path)) {}

    std::uint32_t string(const char* section, const char* key, const char* fallback, char* out,
                         std::uint32_t size);
    std::int32_t integer(const char* section, const char* key, std::int32_t fallback);
    // Sets, deletes (value null) or removes a section (key null), as writeProfileString does.
    void write(const char* section, const char* key, const char* value);
    // Makes the writes so far last: on Linux one atomic replace of the file, when they changed it.
    // False when a write could not be made; the file is then as it was (on Linux; on Windows the
    // writes that succeeded stay). Writes after a commit go into the next commit.
    bool commit();

    const std::string& path() const { return path_; }

private:
    std::string path_;
    // Linux: the file's text as read and edited, and how the read went. Unused on Windows.
    std::string text_;
    int readState_ = 0;
    bool changed_ = false;
    // A write that could not be made since the last commit.
    bool failed_ = false;
};

// Whether a file-system entry matches the path. Leaves nothing open.
bool fileExists(const char* path);

}  // namespace platform
