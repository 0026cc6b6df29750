// Fuzz target: the INI text core (platform/posix/ini_text.h) and the profile reads on top of it.
//
// The input is an INI file's bytes followed by a list of operations; its last byte gives the
// length of that list, so that any INI file is a seed as it is. The operations read and write
// sections, keys and values, with names that are sane (as a user would write them), taken from the
// text, or any bytes at all.
//
// What must hold:
// - no crash and no undefined behaviour, for any text and any names;
// - a profile read never gives more than its buffer allows: at most size - 1 bytes and the ending
//   NUL inside the buffer (the buffer is exactly size bytes, so AddressSanitizer sees any byte past
//   it), and it gives what the text core finds;
// - reading never changes the text, in memory or on disk;
// - a write of a sane key, followed by a read of that key, gives the value written;
// - every line a write does not touch keeps its bytes: a changed value changes one line, and only
//   after its '='; a new key or section adds whole lines at one place (an unterminated last line
//   gains a line ending); a deletion removes whole lines and changes no other.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/entry_calls.h"
#include "platform/posix/ini_text.h"
#include "platform/profile.h"

namespace ini = platform::ini;

namespace {

// The lines with their endings; a byte-order mark at the start stands apart, as it is no part of
// the first line.
std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t begin = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        lines.push_back(text.substr(0, 3));
        begin = 3;
    }
    while (begin < text.size()) {
        std::size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string_view::npos)
            end = text.size();
        else
            end += text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
        lines.push_back(text.substr(begin, end - begin));
        begin = end;
    }
    return lines;
}

bool endsLine(std::string_view line) { return !line.empty() && (line.back() == '\n' || line.back() == '\r'); }

// The lines of `before` that an edit replaced, and the lines of `after` that replaced them.
struct Edit {
    std::vector<std::string_view> removed;
    std::vector<std::string_view> added;
    bool atEnd = false;  // the edit is at the end of the text
};

Edit editBetween(std::string_view before, std::string_view after) {
    const auto a = linesOf(before);
    const auto b = linesOf(after);
    std::size_t p = 0;
    while (p < a.size() && p < b.size() && a[p] == b[p]) ++p;
    std::size_t s = 0;
    while (s < a.size() - p && s < b.size() - p && a[a.size() - 1 - s] == b[b.size() - 1 - s]) ++s;
    Edit edit;
    edit.removed.assign(a.begin() + static_cast<std::ptrdiff_t>(p), a.end() - static_cast<std::ptrdiff_t>(s));
    edit.added.assign(b.begin() + static_cast<std::ptrdiff_t>(p), b.end() - static_cast<std::ptrdiff_t>(s));
    edit.atEnd = s == 0;
    return edit;
}

std::string lines(const std::vector<std::string_view>& list) {
    std::string all;
    for (const auto line : list) all.append(line).append("|");
    return all;
}

// The line ending that lines added to the text take: the text's first, CRLF without one.
std::string_view firstEnding(std::string_view text) {
    const std::size_t at = text.find_first_of("\r\n");
    if (at == std::string_view::npos) return "\r\n";
    if (text[at] == '\n') return "\n";
    return at + 1 < text.size() && text[at + 1] == '\n' ? "\r\n" : "\r";
}

// Names and values as a user would write them: no line breaks or NUL, no blanks at the ends, no '='
// in a key, no key that starts like a header, no value in a pair of quotes.
std::string saneText(fuzz::Input& in, std::string_view alphabet) {
    std::string text;
    const int length = in.inRange(0, 12);
    for (int i = 0; i < length; ++i) text.push_back(alphabet[in.byte() % alphabet.size()]);
    text = std::string(ini::trimBlanks(text));
    return text;
}
std::string saneSection(fuzz::Input& in) { return saneText(in, "aAbBsS01 _.-;[]=#\x1A"); }
std::string saneKey(fuzz::Input& in) {
    std::string key = saneText(in, "aAbBkK01 _.-;]#'\"\t");
    return key;
}
std::string saneValue(fuzz::Input& in) {
    std::string value = saneText(in, "aAvV01 _.-;[]=#'\"\t");
    if (ini::unquote(value).size() != value.size()) value.pop_back();
    return std::string(ini::trimBlanks(value));
}

// A name: sane, one of the text's own, or any bytes.
std::string name(fuzz::Input& in, const std::string& text, bool section, const std::string& lastSection) {
    switch (in.byte() % 4) {
        case 0: {
            const auto names = ini::sectionNames(text);
            if (section && !names.empty()) return std::string(names[in.byte() % names.size()]);
            if (!section)
                if (const auto keys = ini::keyNames(text, lastSection); keys && !keys->empty()) {
                    std::string key((*keys)[in.byte() % keys->size()]);
                    if (key.empty() || key.front() != '[') return key;
                }
            return section ? saneSection(in) : saneKey(in);
        }
        case 1:
            return in.text(40);
        default:
            return section ? saneSection(in) : saneKey(in);
    }
}

bool sane(std::string_view text, bool key) {
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
    if (ini::trimBlanks(text).size() != text.size()) return false;
    if (key && (text.find('=') != std::string_view::npos || (!text.empty() && text.front() == '[')))
        return false;
    return true;
}

// The file the profile reads go to: one per process, in a folder of its own (in memory where the
// system has /dev/shm), removed at exit.
struct TempFile {
    TempFile() {
        char folderName[] = "/dev/shm/ini_text_fuzz.XXXXXX";
        char fallbackName[] = "/tmp/ini_text_fuzz.XXXXXX";
        const char* made = ::mkdtemp(folderName);
        if (!made) made = ::mkdtemp(fallbackName);
        if (!made) std::abort();
        folder = made;
        path = folder + "/fuzz.ini";
    }
    ~TempFile() {
        std::remove(path.c_str());
        ::rmdir(folder.c_str());
    }
    std::string folder;
    std::string path;
};

const std::string& filePath() {
    static const TempFile file;
    return file.path;
}

void writeFile(const std::string& text) {
    std::FILE* file = std::fopen(filePath().c_str(), "wb");
    if (!file || std::fwrite(text.data(), 1, text.size(), file) != text.size() || std::fclose(file) != 0)
        std::abort();
}

std::string readFile() {
    std::string text;
    std::FILE* file = std::fopen(filePath().c_str(), "rb");
    if (!file) std::abort();
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
    std::fclose(file);
    return text;
}

// A profile read with a buffer of exactly `size` bytes, checked against the text core.
void profileRead(fuzz::Input& in, const std::string& text, const std::string& section,
                 const std::string& key) {
    const std::uint32_t size = static_cast<std::uint32_t>(in.flag() ? in.inRange(0, 8) : in.inRange(0, 300));
    const auto buffer = std::make_unique<char[]>(size);
    const std::uint8_t form = in.byte();
    const char* sectionArg = form % 3 == 0 ? nullptr : section.c_str();
    const char* keyArg = form % 3 == 1 ? nullptr : key.c_str();
    const std::string fallback = in.flag() ? std::string() : saneValue(in) + (in.flag() ? " " : "");
    const std::uint32_t got =
        platform::profileString(sectionArg, keyArg, fallback.c_str(), buffer.get(), size, filePath().c_str());
    if (size == 0) {
        FUZZ_CHECK(got == 0, "%u bytes into no buffer", got);
        return;
    }
    FUZZ_CHECK(got < size && buffer[got] == '\0', "%u bytes for a buffer of %u", got, size);
    if (sectionArg && keyArg) {
        // What the core finds (the names as C strings see them), cut to the buffer.
        const auto value = ini::findValue(text, section.c_str(), key.c_str());
        std::string_view expected = value ? *value : ini::unquote(ini::trimTrailingBlanks(fallback));
        expected = expected.substr(0, size - 1);
        FUZZ_CHECK(std::string_view(buffer.get(), got) == expected, "read '%s', core finds '%.*s'",
                   buffer.get(), static_cast<int>(expected.size()), expected.data());
    } else if (!sectionArg && got > 0) {
        FUZZ_CHECK(buffer[got - 1] == '\0' || got == size - 2, "a list not ended by NUL");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t opsLength = data[size - 1] < size - 1 ? data[size - 1] : size - 1;
    std::string text(reinterpret_cast<const char*>(data), size - 1 - opsLength);
    fuzz::Input in(data + text.size(), opsLength);

    // The file holds the text as it stands; reads go to it through the profile service.
    writeFile(text);
    std::string section;
    for (int op = 0; op < 64 && !in.empty(); ++op) {
        const std::uint8_t what = in.byte() % 8;
        section = name(in, text, true, section);
        const std::string key = name(in, text, false, section);
        if (what < 3) {
            const std::string before = text;
            (void)ini::sectionNames(text);
            (void)ini::keyNames(text, section);
            if (const auto value = ini::findValue(text, section, key)) (void)ini::parseInt(*value);
            FUZZ_CHECK(text == before, "a read changed the text");
            continue;
        }
        if (what < 5) {
            profileRead(in, text, section, key);
            continue;
        }
        // Writes, as the profile writer makes them: leading blanks dropped.
        const std::string before = text;
        const bool saneWrite = sane(section, false) && sane(key, true);
        const std::string value = in.flag() ? saneValue(in) : in.text(40);
        const std::string_view s = ini::trimLeadingBlanks(section);
        const std::string_view k = ini::trimLeadingBlanks(key);
        const std::string_view v = ini::trimLeadingBlanks(value);
        const bool existed = ini::findValue(before, s, k).has_value();
        const bool sectionExisted = s.empty() || ini::keyNames(before, s).has_value();
        if (what == 5) {
            const bool changed = ini::deleteKey(text, s, k);
            if (changed) writeFile(text);
            const Edit edit = editBetween(before, text);
            FUZZ_CHECK(changed == (text != before), "deleteKey says %d", changed);
            // One line goes; an empty CRLF line stays where its neighbours would otherwise run together.
            const bool emptyLineLeft = edit.added.size() == 1 && edit.added[0] == "\r\n";
            FUZZ_CHECK((edit.added.empty() || emptyLineLeft) && edit.removed.size() == (changed ? 1u : 0u),
                       "deleteKey: -%s +%s", lines(edit.removed).c_str(), lines(edit.added).c_str());
            continue;
        }
        if (what == 6 && in.flag()) {
            const bool changed = ini::deleteSection(text, s);
            if (changed) writeFile(text);
            const Edit edit = editBetween(before, text);
            FUZZ_CHECK(changed == (text != before), "deleteSection says %d", changed);
            FUZZ_CHECK(edit.added.empty(), "deleteSection added +%s", lines(edit.added).c_str());
            continue;
        }
        const bool changed = ini::setValue(text, s, k, v);
        FUZZ_CHECK(changed == (text != before), "setValue says %d", changed);
        if (changed) writeFile(text);
        if (!saneWrite || !sane(v, false) || ini::unquote(v).size() != v.size()) continue;
        const auto read = ini::findValue(text, s, k);
        FUZZ_CHECK(read && *read == v, "wrote [%s] %s=%s, read back '%s'", section.c_str(), key.c_str(),
                   value.c_str(), read ? std::string(*read).c_str() : "(nothing)");
        if (!changed) continue;
        const Edit edit = editBetween(before, text);
        const std::string_view eol = firstEnding(before);
        const std::string keyLine = std::string(k) + "=" + std::string(v) + std::string(eol);
        if (existed) {
            // One line, changed after its '=' only, with its ending.
            FUZZ_CHECK(edit.removed.size() == 1 && edit.added.size() == 1, "replace: -%s +%s",
                       lines(edit.removed).c_str(), lines(edit.added).c_str());
            const std::string_view old = edit.removed[0];
            const std::string_view now = edit.added[0];
            const std::size_t equals = old.find('=');
            FUZZ_CHECK(
                equals != std::string_view::npos && now.substr(0, equals + 1) == old.substr(0, equals + 1),
                "replace changed the key: %s", lines(edit.added).c_str());
            continue;
        }
        // Whole lines added at one place; only an unterminated last line changes, gaining an ending.
        std::vector<std::string_view> expected;
        const std::string header = "[" + std::string(s) + "]" + std::string(eol);
        if (!sectionExisted) expected.push_back(header);
        expected.push_back(keyLine);
        std::vector<std::string_view> added = edit.added;
        if (edit.removed.size() == 1 && edit.atEnd && !endsLine(edit.removed[0]) && !added.empty() &&
            added.front() == std::string(edit.removed[0]) + std::string(eol)) {
            added.erase(added.begin());
        } else {
            FUZZ_CHECK(edit.removed.empty(), "adding [%s] %s changed -%s +%s", std::string(s).c_str(),
                       std::string(k).c_str(), lines(edit.removed).c_str(), lines(edit.added).c_str());
        }
        // Next to equal lines the comparison may see the added lines rotated.
        // A lone CR ending before an LF line becomes CRLF, so that the two do not run together.
        const std::string crlfKeyLine = std::string(k) + "=" + std::string(v) + "\r\n";
        if (eol == "\r" && added.size() == expected.size() && added.back() == crlfKeyLine)
            expected.back() = crlfKeyLine;
        std::vector<std::string_view> rotated = expected;
        if (rotated.size() == 2) std::swap(rotated[0], rotated[1]);
        FUZZ_CHECK(added == expected || added == rotated, "added +%s, expected +%s", lines(added).c_str(),
                   lines(expected).c_str());
        if (!sectionExisted) FUZZ_CHECK(edit.atEnd, "a new section not at the end");
    }
    // Reading never changed the file.
    FUZZ_CHECK(readFile() == text, "a read changed the file");
    return 0;
}
