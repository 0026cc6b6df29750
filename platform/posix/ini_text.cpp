// See platform/posix/ini_text.h. One range of parsed lines (Lines) serves every lookup and edit.
#include "platform/posix/ini_text.h"

#include <cstddef>

namespace platform::ini {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::size_t bodyStart(std::string_view text) { return text.substr(0, kBom.size()) == kBom ? kBom.size() : 0; }

std::string_view cutAtNul(std::string_view text) {
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::string_view cleanName(std::string_view text) { return trimBlanks(cutAtNul(text)); }

enum class Kind { Blank, Header, Key, Other };

// One line in its parsed form: [begin, end) is its content, [end, next) its line ending (empty for
// an unterminated last line).
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    Kind kind = Kind::Blank;
    std::string_view name;       // header or key name, cleaned
    std::size_t valueBegin = 0;  // key line: offset just after the '=' in the text
};

// Parses the line starting at pos (pos < text.size()).
Line parseLineAt(std::string_view text, std::size_t pos) {
    Line line;
    line.begin = pos;
    line.end = text.find_first_of("\r\n", pos);
    if (line.end == std::string_view::npos) line.end = text.size();
    line.next = line.end;
    if (line.next < text.size()) {
        const bool crlf =
            text[line.next] == '\r' && line.next + 1 < text.size() && text[line.next + 1] == '\n';
        line.next += crlf ? 2u : 1u;
    }

    const std::string_view content = text.substr(line.begin, line.end - line.begin);
    const std::string_view trimmed = trimBlanks(content);
    if (trimmed.empty()) return line;
    if (trimmed.front() == '[') {
        const std::size_t close = trimmed.rfind(']');
        if (close != 0 && close != std::string_view::npos) {
            line.kind = Kind::Header;
            line.name = cleanName(trimmed.substr(1, close - 1));
            return line;
        }
    }
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) {
        line.kind = Kind::Other;
        return line;
    }
    line.kind = Kind::Key;
    line.name = cleanName(content.substr(0, equals));
    line.valueBegin = line.begin + equals + 1;
    return line;
}

// The lines that start in [from, to) of the text, each in its parsed form: the one scanning loop
// that every lookup and edit below runs through.
class Lines {
public:
    Lines(std::string_view text, std::size_t from, std::size_t to = std::string_view::npos)
        : text_(text), from_(from), to_(to < text.size() ? to : text.size()) {}

    class Iterator {
    public:
        Iterator(const Lines& lines, std::size_t pos) : lines_(&lines), pos_(pos) { parse(); }
        const Line& operator*() const { return line_; }
        const Line* operator->() const { return &line_; }
        Iterator& operator++() {
            pos_ = line_.next;
            parse();
            return *this;
        }
        bool operator!=(const Iterator& other) const { return pos_ != other.pos_; }

    private:
        void parse() {
            if (pos_ >= lines_->to_) {
                pos_ = lines_->to_;
                return;
            }
            line_ = parseLineAt(lines_->text_, pos_);
        }
        const Lines* lines_;
        std::size_t pos_;
        Line line_;
    };

    Iterator begin() const { return Iterator(*this, from_); }
    Iterator end() const { return Iterator(*this, to_); }

private:
    std::string_view text_;
    std::size_t from_;
    std::size_t to_;
};

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
    const std::size_t start = bodyStart(text);
    std::optional<Block> block;
    if (wanted.empty()) block = Block{start, start, 0, start};
    for (const Line& line : Lines(text, start)) {
        if (line.kind == Kind::Header) {
            if (block) {
                block->end = line.begin;
                return block;
            }
            if (sameName(line.name, wanted)) block = Block{line.begin, line.next, 0, line.next};
        } else if (block && line.kind != Kind::Blank) {
            block->afterLast = line.next;
        }
    }
    if (block) block->end = text.size();
    return block;
}

// The first key line of the name in the block.
std::optional<Line> findKey(std::string_view text, const Block& block, std::string_view key) {
    const std::string_view wanted = trimBlanks(key);
    for (const Line& line : Lines(text, block.body, block.end))
        if (line.kind == Kind::Key && sameName(line.name, wanted)) return line;
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
    const std::optional<Line> line = findKey(text, *block, key);
    if (!line) return std::nullopt;
    const std::string_view raw = text.substr(line->valueBegin, line->end - line->valueBegin);
    return unquote(trimBlanks(cutAtNul(raw)));
}

std::vector<std::string_view> sectionNames(std::string_view text) {
    std::vector<std::string_view> names;
    for (const Line& line : Lines(text, bodyStart(text)))
        if (line.kind == Kind::Header) names.push_back(line.name);
    return names;
}

std::optional<std::vector<std::string_view>> keyNames(std::string_view text, std::string_view section) {
    const std::optional<Block> block = findBlock(text, section);
    if (!block) return std::nullopt;
    std::vector<std::string_view> names;
    for (const Line& line : Lines(text, block->body, block->end))
        if (line.kind == Kind::Key && (line.name.empty() || line.name.front() != ';'))
            names.push_back(line.name);
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
    if (const std::optional<Line> line = findKey(text, *block, key)) {
        const std::string_view old = text;
        if (trimBlanks(old.substr(line->valueBegin, line->end - line->valueBegin)) == value) return false;
        text.replace(line->valueBegin, line->end - line->valueBegin, value);
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
    const std::optional<Line> line = findKey(text, *block, key);
    if (!line) return false;
    // Where a lone CR ending comes before the line and an LF line after it, taking the line out would
    // run those two lines together into one CRLF ending: an empty CRLF line stays in its place.
    const bool wouldJoin = line->begin > 0 && text[line->begin - 1] == '\r' && line->next < text.size() &&
                           text[line->next] == '\n';
    const std::string_view keep = wouldJoin ? "\r\n" : "";
    text.replace(line->begin, line->next - line->begin, keep);
    return true;
}

bool deleteSection(std::string& text, std::string_view section) {
    const std::optional<Block> block = findBlock(text, section);
    if (!block || block->end == block->begin) return false;
    text.erase(block->begin, block->end - block->begin);
    return true;
}

}  // namespace platform::ini
