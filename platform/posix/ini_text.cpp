// See platform/posix/ini_text.h. One line scanner and one block finder serve every read and edit.
#include "platform/posix/ini_text.h"

#include <cstddef>

namespace platform::ini {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::size_t bodyStart(std::string_view text) { return text.substr(0, kBom.size()) == kBom ? kBom.size() : 0; }

// One line: [begin, end) is its content, [end, next) its line ending (empty for an unterminated
// last line).
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
};

// Finds the line starting at pos; false at the end of the text.
bool lineAt(std::string_view text, std::size_t pos, Line& line) {
    if (pos >= text.size()) return false;
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    std::size_t next = end;
    if (next < text.size()) {
        if (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n')
            next += 2;
        else
            next += 1;
    }
    line = Line{pos, end, next};
    return true;
}

std::string_view cutAtNul(std::string_view text) {
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::string_view cleanName(std::string_view text) { return trimBlanks(cutAtNul(text)); }

enum class Kind { Blank, Header, Key, Other };

struct Parsed {
    Kind kind = Kind::Blank;
    std::string_view name;       // header or key name, cleaned
    std::size_t valueBegin = 0;  // key line: offset just after the '=' in the text
};

Parsed parse(std::string_view text, const Line& line) {
    const std::string_view content = text.substr(line.begin, line.end - line.begin);
    const std::string_view trimmed = trimBlanks(content);
    Parsed parsed;
    if (trimmed.empty()) return parsed;
    if (trimmed.front() == '[') {
        const std::size_t close = trimmed.rfind(']');
        if (close != 0 && close != std::string_view::npos) {
            parsed.kind = Kind::Header;
            parsed.name = cleanName(trimmed.substr(1, close - 1));
            return parsed;
        }
    }
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) {
        parsed.kind = Kind::Other;
        return parsed;
    }
    parsed.kind = Kind::Key;
    parsed.name = cleanName(content.substr(0, equals));
    parsed.valueBegin = line.begin + equals + 1;
    return parsed;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// The first block of a section: [begin, end) from its header line (or the start of the text) to
// the next header; body is where its lines start; afterLast is just past its last non-blank line.
struct Block {
    std::size_t begin = 0;
    std::size_t body = 0;
    std::size_t end = 0;
    std::size_t afterLast = 0;
};

std::optional<Block> findBlock(std::string_view text, std::string_view section) {
    const std::string_view wanted = trimBlanks(section);
    std::optional<Block> block;
    if (wanted.empty()) block = Block{bodyStart(text), bodyStart(text), 0, bodyStart(text)};
    Line line;
    for (std::size_t pos = bodyStart(text); lineAt(text, pos, line); pos = line.next) {
        const Parsed parsed = parse(text, line);
        if (parsed.kind == Kind::Header) {
            if (block) {
                block->end = line.begin;
                return block;
            }
            if (sameName(parsed.name, wanted)) block = Block{line.begin, line.next, 0, line.next};
        } else if (block && parsed.kind != Kind::Blank) {
            block->afterLast = line.next;
        }
    }
    if (block) block->end = text.size();
    return block;
}

// The first key line of the name in the block.
std::optional<std::pair<Line, Parsed>> findKey(std::string_view text, const Block& block,
                                               std::string_view key) {
    const std::string_view wanted = trimBlanks(key);
    Line line;
    for (std::size_t pos = block.body; pos < block.end && lineAt(text, pos, line); pos = line.next) {
        const Parsed parsed = parse(text, line);
        if (parsed.kind == Kind::Key && sameName(parsed.name, wanted)) return std::make_pair(line, parsed);
    }
    return std::nullopt;
}

// The file's first line ending; CRLF for a file without one.
std::string_view lineEnding(std::string_view text) {
    const std::size_t at = text.find_first_of("\r\n");
    if (at == std::string_view::npos) return "\r\n";
    if (text[at] == '\n') return "\n";
    return at + 1 < text.size() && text[at + 1] == '\n' ? "\r\n" : "\r";
}

// Whether something added at the end of the text needs a line ending first: the text has a last
// line and it is unterminated.
bool needsEndingAtEnd(std::string_view text) {
    return text.size() > bodyStart(text) && text.back() != '\n' && text.back() != '\r';
}

}  // namespace

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\x1A'; }

std::string_view trimLeadingBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    return text;
}

std::string_view trimTrailingBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view trimBlanks(std::string_view text) { return trimTrailingBlanks(trimLeadingBlanks(text)); }

std::string_view unquote(std::string_view text) {
    if (text.size() >= 2 && text.front() == text.back() && (text.front() == '"' || text.front() == '\''))
        return text.substr(1, text.size() - 2);
    return text;
}

std::optional<std::string_view> findValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
    const std::optional<Block> block = findBlock(text, section);
    if (!block) return std::nullopt;
    const auto found = findKey(text, *block, key);
    if (!found) return std::nullopt;
    const auto& [line, parsed] = *found;
    const std::string_view raw = text.substr(parsed.valueBegin, line.end - parsed.valueBegin);
    return unquote(trimBlanks(cutAtNul(raw)));
}

std::vector<std::string_view> sectionNames(std::string_view text) {
    std::vector<std::string_view> names;
    Line line;
    for (std::size_t pos = bodyStart(text); lineAt(text, pos, line); pos = line.next) {
        const Parsed parsed = parse(text, line);
        if (parsed.kind == Kind::Header) names.push_back(parsed.name);
    }
    return names;
}

std::optional<std::vector<std::string_view>> keyNames(std::string_view text, std::string_view section) {
    const std::optional<Block> block = findBlock(text, section);
    if (!block) return std::nullopt;
    std::vector<std::string_view> names;
    Line line;
    for (std::size_t pos = block->body; pos < block->end && lineAt(text, pos, line); pos = line.next) {
        const Parsed parsed = parse(text, line);
        if (parsed.kind == Kind::Key && (parsed.name.empty() || parsed.name.front() != ';'))
            names.push_back(parsed.name);
    }
    return names;
}

std::int32_t parseInt(std::string_view value) {
    value = trimLeadingBlanks(value.substr(0, 29));
    bool negative = false;
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    std::uint32_t base = 10;
    if (value.size() >= 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'o' || value[1] == 'b')) {
        base = value[1] == 'x' ? 16u : value[1] == 'o' ? 8u : 2u;
        value.remove_prefix(2);
    }
    std::uint32_t result = 0;  // unsigned: overflow wraps modulo 2^32 by definition
    for (const char c : value) {
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            break;
        if (digit >= base) break;
        result = result * base + digit;
    }
    if (negative) result = 0u - result;
    return static_cast<std::int32_t>(result);  // two's complement: the same 32 bits, signed
}

bool setValue(std::string& text, std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view eol = lineEnding(text);
    const std::optional<Block> block = findBlock(text, section);
    if (!block) {
        std::string added;
        if (needsEndingAtEnd(text)) added += eol;
        added.append("[").append(section).append("]").append(eol);
        added.append(key).append("=").append(value).append(eol);
        text += added;
        return true;
    }
    if (const auto found = findKey(text, *block, key)) {
        const auto& [line, parsed] = *found;
        const std::string_view old = text;
        if (trimBlanks(old.substr(parsed.valueBegin, line.end - parsed.valueBegin)) == value) return false;
        text.replace(parsed.valueBegin, line.end - parsed.valueBegin, value);
        return true;
    }
    std::string added;
    if (block->afterLast == text.size() && needsEndingAtEnd(text)) added += eol;
    added.append(key).append("=").append(value).append(eol);
    // A lone CR ending before an LF line would take that line's LF as its own: end in CRLF there.
    if (added.back() == '\r' && block->afterLast < text.size() && text[block->afterLast] == '\n')
        added.push_back('\n');
    text.insert(block->afterLast, added);
    return true;
}

bool deleteKey(std::string& text, std::string_view section, std::string_view key) {
    const std::optional<Block> block = findBlock(text, section);
    if (!block) return false;
    const auto found = findKey(text, *block, key);
    if (!found) return false;
    const Line& line = found->first;
    // Where a lone CR ending comes before the line and an LF line after it, taking the line out would
    // run those two lines together into one CRLF ending: an empty CRLF line stays in its place.
    const bool wouldJoin =
        line.begin > 0 && text[line.begin - 1] == '\r' && line.next < text.size() && text[line.next] == '\n';
    const std::string_view keep = wouldJoin ? "\r\n" : "";
    text.replace(line.begin, line.next - line.begin, keep);
    return true;
}

bool deleteSection(std::string& text, std::string_view section) {
    const std::optional<Block> block = findBlock(text, section);
    if (!block || block->end == block->begin) return false;
    text.erase(block->begin, block->end - block->begin);
    return true;
}

}  // namespace platform::ini
