// See tools/bench/ini_check.h. Divisions: reading the file's lines as the profile services do, the
// checks of one value, the whole check, the command, the meter slots of a scenario.
//
// The lines are scanned here by the rules that platform/profile.h lists (headers, key lines, the
// first block of a section and the first of repeated keys counting), to say where each key is and
// what is never reached; the values themselves come from the platform's profile services, as the
// plug-in gets them.
#include "tools/bench/ini_check.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "platform/profile.h"
#include "tools/host/temp_folder.h"

namespace bench {
namespace {

constexpr std::size_t kMaxFileSize = 1 << 20;  // an INI file of these plug-ins is a few hundred bytes
constexpr std::size_t kMaxWarnings = 50;
constexpr std::size_t kClip = 40;

// ---- Lines ----------------------------------------------------------------------------------

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\x1A'; }

std::string trim(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string unquote(const std::string& text) {
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        return text.substr(1, text.size() - 2);
    return text;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Names match trimmed, ASCII letters without regard to case.
bool sameName(const std::string& a, const std::string& b) { return lower(trim(a)) == lower(trim(b)); }

std::string quoted(const std::string& text) {
    std::string shown;
    for (char c : text.size() > kClip ? text.substr(0, kClip) : text)
        shown += static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F ? '?' : c;
    return "'" + shown + (text.size() > kClip ? "...'" : "'");
}

struct Line {
    enum Kind { Blank, Comment, Header, BrokenHeader, Key, Other } kind = Blank;
    int number = 0;
    std::string name;   // the header's name or the key, trimmed
    std::string value;  // trimmed, one quote pair removed
    std::string raw;
};

std::vector<Line> scanLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int number = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        Line line;
        line.number = ++number;
        line.raw = text.substr(at, end - at);
        at = end;
        if (at < text.size()) at += text.compare(at, 2, "\r\n") == 0 ? 2u : 1u;  // CRLF, LF or CR
        const std::string body = trim(line.raw.substr(0, line.raw.find('\0')));
        const std::size_t close = body.rfind(']');
        if (body.empty()) {
            line.kind = Line::Blank;
        } else if (body[0] == ';') {
            line.kind = Line::Comment;
        } else if (body[0] == '[' && close != std::string::npos) {
            line.kind = Line::Header;
            line.name = trim(body.substr(1, close - 1));
        } else if (body.find('=') != std::string::npos) {
            line.kind = Line::Key;
            const std::size_t equals = body.find('=');
            line.name = trim(body.substr(0, equals));
            line.value = unquote(trim(body.substr(equals + 1)));
        } else if (body[0] == '[') {
            line.kind = Line::BrokenHeader;
        } else if (body[0] == '#') {
            line.kind = Line::Comment;
        } else {
            line.kind = Line::Other;
        }
        lines.push_back(line);
    }
    return lines;
}

// Edit distance, for "did you mean".
std::size_t distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

// The closest of the names, if it is close enough to be a slip of the keyboard.
std::string closest(const std::string& word, const std::vector<std::string>& names) {
    std::string best;
    std::size_t bestDistance = 0;
    for (const std::string& name : names) {
        const std::size_t d = distance(lower(word), lower(trim(name)));
        if (best.empty() || d < bestDistance) {
            best = trim(name);
            bestDistance = d;
        }
    }
    const std::size_t allowed = std::max<std::size_t>(2, std::min(word.size(), best.size()) / 3);
    return !best.empty() && bestDistance <= allowed ? best : std::string();
}

// ---- One value ------------------------------------------------------------------------------

// A plain whole number: an optional sign and decimal digits, within 32 bits.
bool plainNumber(const std::string& text, std::int64_t* value) {
    std::size_t i = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i >= text.size()) return false;
    while (i + 1 < text.size() && text[i] == '0') ++i;  // leading zeros stay decimal
    if (text.size() - i > 10) return false;
    std::int64_t number = 0;
    for (std::size_t j = i; j < text.size(); ++j) {
        if (!std::isdigit(static_cast<unsigned char>(text[j]))) return false;
        number = number * 10 + (text[j] - '0');
    }
    *value = text[0] == '-' ? -number : number;
    return *value >= INT32_MIN && *value <= INT32_MAX;
}

// What a setting's value means, for the values that make no sense or surprise. Keyed by the key
// without padding.
struct Sense {
    const char* plugin;
    const char* key;
    const char* unit;  // shown after the value
    enum Kind { Time, Switch, Count, Interval, PanelSlot, Unused } kind;
};

const Sense kSense[] = {
    {"Tavrel", "closetime", "ms", Sense::Time},
    {"Tavrel", "doorlock", "", Sense::Switch},
    {"Tavrel", "DoorNum", "doors", Sense::Count},
    {"Tavrel", "DIR", "", Sense::Switch},
    {"Tavrel", "DoorL", "", Sense::Unused},
    {"Tavrel", "DoorR", "", Sense::Unused},
    {"Tavrel", "DoorC", "", Sense::Unused},
    {"Tavrel", "DoorCar", "", Sense::Unused},
    {"Tavrel", "ReOpen", "", Sense::Unused},
    {"Quinsora", "UpDateTime", "ms", Sense::Interval},
    {"Quinsora", "PanelMR", "", Sense::PanelSlot},
    {"Quinsora", "PanelBC", "", Sense::PanelSlot},
    {"Quinsora", "PanelER", "", Sense::PanelSlot},
    {"Quinsora", "PanelBP", "", Sense::PanelSlot},
    {"Quinsora", "PanelSAP", "", Sense::PanelSlot},
    {"Quinsora", "PanelCurrent", "", Sense::PanelSlot},
    {"Quinsora", "PanelCurrentABS", "", Sense::PanelSlot},
    {"Quinsora", "PanelSpeed", "", Sense::PanelSlot},
    {"Vesk", "F7UnlockKey", "", Sense::Unused},
};

// Quinsora's readings in the order it writes their slots (a later one on the same slot is the one
// shown), with the input each averages.
const std::pair<const char*, const char*> kMeterWriteOrder[] = {
    {"PanelBC", "bc"},
    {"PanelMR", "mr"},
    {"PanelER", "er"},
    {"PanelBP", "bp"},
    {"PanelSAP", "sap"},
    {"PanelCurrent", "current"},
    {"PanelCurrentABS", "current-abs"},
    {"PanelSpeed", "speed"},
};

const Sense* senseOf(const std::string& plugin, const std::string& key) {
    for (const Sense& sense : kSense) {
        if (plugin == sense.plugin && trim(key) == sense.key) return &sense;
    }
    return nullptr;
}

// A warning for a value the plug-in takes otherwise than written, or an empty string.
std::string misreadOf(const std::string& key, const std::string& text, std::int32_t read,
                      const Sense* sense) {
    std::int64_t plain = 0;
    if (plainNumber(text, &plain)) return {};
    const std::string unit = sense != nullptr && sense->unit[0] ? std::string(" ") + sense->unit : "";
    const std::string head = key + "=" + quoted(text).substr(1, quoted(text).size() - 2) + " is read as " +
                             std::to_string(read) + unit;
    std::size_t digits = text[0] == '-' || text[0] == '+' ? 1 : 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
    const bool leadingNumber = digits > 0 && std::isdigit(static_cast<unsigned char>(text[digits - 1]));
    if (leadingNumber && digits == text.size()) return head + ": the number is beyond 32 bits and wraps";
    if (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0o") == 0 || text.compare(0, 2, "0b") == 0)
        return head + ": a prefixed number; write it in decimal to be sure";
    if (!leadingNumber) {
        std::string hint = ": only a number counts, and a word reads as 0";
        if (sense != nullptr && sense->kind == Sense::Switch) hint += "; write 0 for off, 1 for on";
        return head + hint;
    }
    if (text[digits] == '.' || text[digits] == ',' || text[digits] == 'e' || text[digits] == 'E')
        return head + ": only whole numbers count; the fraction is dropped";
    std::string hint =
        ": only the leading whole number counts, " + quoted(text.substr(digits)) + " is ignored";
    if (sense != nullptr && sense->kind == Sense::Time)
        hint += "; write the time in ms (1s is " + key + "=1000)";
    return head + hint;
}

// A warning for a value that makes no sense for the setting, or an empty string.
std::string senseOfValue(const std::string& key, std::int32_t value, const Sense& sense) {
    const std::string head = key + "=" + std::to_string(value);
    switch (sense.kind) {
        case Sense::Time:
            if (value <= 0) return head + ": a closing with open doors ends in the frame it starts";
            if (value > 600000) return head + ": more than ten minutes";
            return {};
        case Sense::Switch:
            if (value != 0 && value != 1) return head + ": any value but 0 counts as on (1)";
            return {};
        case Sense::Count:
            if (value <= 0) return head + ": doors never open by chance (DoorNum 0 or less)";
            return {};
        case Sense::Interval:
            if (value <= 0)
                return head + ": the meters update in (nearly) every frame, so they no longer move in steps";
            if (value > 60000) return head + ": the meters update less than once a minute";
            return {};
        case Sense::PanelSlot:
            if (value != -1 && (value < 0 || value > 255))
                return head + ": not a panel slot (0 to 255), so this reading is not shown";
            return {};
        case Sense::Unused:
            return {};
    }
    return {};
}

}  // namespace

// ---- The check ------------------------------------------------------------------------------

IniCheck checkIni(const std::string& plugin, const std::string& text, const std::string& path,
                  const std::string& shownName, const std::vector<int>* lineMap) {
    IniCheck check;
    check.plugin = plugin;
    const std::vector<SettingEntry> entries = settingsOf(plugin);
    // Messages in line order; within a line, in the order found.
    std::vector<std::pair<int, std::string>> warnings, notes;
    auto where = [&](int line) {
        if (line > 0 && lineMap != nullptr && static_cast<std::size_t>(line) <= lineMap->size())
            line = (*lineMap)[static_cast<std::size_t>(line) - 1];
        return shownName + (line ? ":" + std::to_string(line) : "");
    };
    auto warn = [&](int line, const std::string& what) {
        warnings.emplace_back(line, where(line) + ": warning: " + what);
    };
    auto note = [&](int line, const std::string& what) {
        notes.emplace_back(line, where(line) + ": note: " + what);
    };
    std::vector<std::string> sections, keys;
    for (const SettingEntry& e : entries) {
        if (std::find(sections.begin(), sections.end(), e.section) == sections.end())
            sections.push_back(e.section);
        keys.push_back(e.key);
    }
    std::string sectionList;
    for (const std::string& s : sections) sectionList += (sectionList.empty() ? "[" : ", [") + s + "]";

    // Where each entry is set (the first key line of the first block), and what is never reached.
    std::map<std::size_t, const Line*> setAt;
    const std::vector<Line> lines = scanLines(text);
    std::string section;
    bool inHeader = false;  // a header has been seen
    std::set<std::string> seenSections;
    bool repeatedBlock = false;
    std::map<std::string, int> firstBlockLine;
    std::map<std::string, int> keysInBlock;
    for (const Line& line : lines) {
        if (line.kind == Line::Header) {
            section = line.name;
            inHeader = true;
            keysInBlock.clear();
            const std::string id = lower(section);
            repeatedBlock = seenSections.count(id) > 0;
            if (!repeatedBlock) firstBlockLine[id] = line.number;
            seenSections.insert(id);
            const bool known = std::any_of(sections.begin(), sections.end(),
                                           [&](const std::string& s) { return sameName(s, section); });
            if (repeatedBlock && known) {
                warn(line.number, "[" + section + "] again (first on line " +
                                      std::to_string(firstBlockLine[id]) + "): " + plugin +
                                      " reads only the first [" + section +
                                      "] block, so no key below this line is read");
            } else if (!known && !repeatedBlock) {
                const std::string near = closest(section, sections);
                warn(line.number, "unknown section " + quoted("[" + section + "]") + ": " + plugin +
                                      " reads " + sectionList +
                                      (near.empty() ? "" : "; did you mean [" + near + "]?"));
            }
            continue;
        }
        if (line.kind == Line::BrokenHeader) {
            warn(line.number, quoted(trim(line.raw)) +
                                  " is not a section (no ']'): the keys below it still belong to " +
                                  (inHeader ? "[" + section + "]" : "no section"));
            continue;
        }
        if (line.kind == Line::Other) {
            warn(line.number, quoted(trim(line.raw)) + " is not a key (no '='): ignored");
            continue;
        }
        if (line.kind != Line::Key) continue;
        if (!inHeader) {
            warn(line.number,
                 "key " + quoted(line.name) + " above any [section]: not read; put it under " + sectionList);
            continue;
        }
        const bool knownSection = std::any_of(sections.begin(), sections.end(),
                                              [&](const std::string& s) { return sameName(s, section); });
        if (!knownSection || repeatedBlock) continue;  // said once, at the header
        const int earlier = keysInBlock[lower(line.name)];
        if (earlier) {
            warn(line.number, quoted(line.name) + " again in [" + section + "] (first on line " +
                                  std::to_string(earlier) + "): only the first one is read");
            continue;
        }
        keysInBlock[lower(line.name)] = line.number;
        bool found = false;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (sameName(entries[i].section, section) && sameName(entries[i].key, line.name)) {
                setAt[i] = &line;
                found = true;
                if (trim(entries[i].key) != line.name) {
                    note(line.number, quoted(line.name) + " is read as " + trim(entries[i].key) +
                                          " (letter case does not count)");
                }
            }
        }
        if (found) continue;
        // Not a key of this section: another section's, or a slip.
        std::string elsewhere;
        for (const SettingEntry& e : entries) {
            if (sameName(e.key, line.name)) elsewhere = e.section;
        }
        if (!elsewhere.empty()) {
            warn(line.number,
                 quoted(line.name) + " belongs in [" + elsewhere + "], not [" + section + "]: not read");
            continue;
        }
        std::vector<std::string> here;
        for (const SettingEntry& e : entries) {
            if (sameName(e.section, section)) here.push_back(e.key);
        }
        const std::string near = closest(line.name, here);
        warn(line.number, "unknown key " + quoted(line.name) + " in [" + section + "]: " + plugin +
                              " does not read it" + (near.empty() ? "" : "; did you mean " + near + "?"));
    }

    // The values, as the plug-in reads them.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SettingEntry& entry = entries[i];
        ResolvedSetting resolved{entry, 0, "", ""};
        const std::string key = trim(entry.key);
        const Sense* sense = senseOf(plugin, entry.key);
        std::int32_t number = entry.defaultInt;
        if (entry.integer) {
            number = platform::profileInt(entry.section.c_str(), entry.key.c_str(), entry.defaultInt,
                                          path.c_str());
            resolved.value = std::to_string(number);
        } else {
            char buffer[256];
            platform::profileString(entry.section.c_str(), entry.key.c_str(), entry.defaultText.c_str(),
                                    buffer, sizeof buffer, path.c_str());
            buffer[sizeof buffer - 1] = '\0';
            resolved.value = buffer;
        }
        const auto at = setAt.find(i);
        if (at != setAt.end()) {
            const Line& line = *at->second;
            resolved.line = line.number;
            resolved.text = line.value;
            if (entry.integer) {
                if (line.value.empty()) {
                    warn(line.number, key + " is empty: the value in effect (" +
                                          std::to_string(entry.defaultInt) + " built in) is kept");
                } else {
                    const std::string misread = misreadOf(key, line.value, number, sense);
                    if (!misread.empty()) warn(line.number, misread);
                }
                if (sense != nullptr) {
                    const std::string odd = senseOfValue(key, number, *sense);
                    if (!odd.empty()) warn(line.number, odd);
                }
            } else if (line.value.size() > 255) {
                warn(line.number, key + " is " + std::to_string(line.value.size()) +
                                      " characters long: only the first 255 are read");
            }
            if (sense != nullptr && sense->kind == Sense::Unused) {
                note(line.number, key + " is read but nothing in " + plugin + " depends on it");
            }
        }
        check.settings.push_back(resolved);
    }
    // Two readings on one slot: the one written later shows.
    std::map<std::string, std::string> slotOwners;
    if (plugin == "Quinsora") {
        for (const auto& [key, input] : kMeterWriteOrder) {
            for (const ResolvedSetting& s : check.settings) {
                if (trim(s.entry.key) != key || s.value.empty()) continue;
                const std::int32_t slot = std::atoi(s.value.c_str());
                if (slot < 0 || slot > 255) continue;
                std::string& owner = slotOwners[s.value];
                if (!owner.empty()) {
                    warn(s.line, owner + " and " + key + " both name panel slot " + s.value +
                                     ": the slot shows " + key + ", written after " + owner);
                }
                owner = key;
            }
        }
    }
    const auto byLine = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::stable_sort(warnings.begin(), warnings.end(), byLine);
    std::stable_sort(notes.begin(), notes.end(), byLine);
    for (auto& [line, message] : warnings) check.warnings.push_back(std::move(message));
    for (auto& [line, message] : notes) check.notes.push_back(std::move(message));
    return check;
}

std::string guessPlugin(const std::string& fileName, const std::string& text) {
    const std::string stem = lower(std::filesystem::path(fileName).stem().string());
    for (const std::string& name : knownPlugins()) {
        if (stem == lower(name)) return name;
    }
    // By its keys: the one plug-in that reads the most of them.
    const std::vector<Line> lines = scanLines(text);
    std::string best;
    std::size_t bestCount = 0;
    bool tie = false;
    for (const std::string& name : knownPlugins()) {
        std::size_t count = 0;
        for (const SettingEntry& e : settingsOf(name)) {
            for (const Line& line : lines) count += line.kind == Line::Key && sameName(line.name, e.key);
        }
        if (count > bestCount) {
            best = name;
            bestCount = count;
            tie = false;
        } else if (count == bestCount && count > 0) {
            tie = true;
        }
    }
    return tie ? std::string() : best;
}

// ---- The command ----------------------------------------------------------------------------

int iniCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    constexpr int kWarned = 1;
    constexpr int kBadInput = 2;
    std::string file, plugin;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--plugin" && i + 1 < args.size()) {
            plugin = args[++i];
        } else if (args[i].compare(0, 9, "--plugin=") == 0) {
            plugin = args[i].substr(9);
        } else if (!args[i].empty() && args[i][0] == '-') {
            err << "bench ini: unknown option " << quoted(args[i])
                << "\nusage: bench ini FILE [--plugin NAME]\n";
            return kBadInput;
        } else if (file.empty()) {
            file = args[i];
        } else {
            err << "bench ini: one INI file at a time\n";
            return kBadInput;
        }
    }
    if (file.empty()) {
        err << "usage: bench ini FILE [--plugin NAME]\n";
        return kBadInput;
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error || !std::filesystem::is_regular_file(file, error)) {
        err << "bench ini: no file at " << file << "\n";
        return kBadInput;
    }
    if (size > kMaxFileSize) {
        err << "bench ini: " << file << " is " << size
            << " bytes, too large for an INI file of these plug-ins\n";
        return kBadInput;
    }
    std::string text;
    if (!host::readFile(file, &text)) {
        err << "bench ini: cannot read " << file << "\n";
        return kBadInput;
    }
    std::size_t control = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        control += byte == 0 || (byte < 0x20 && c != '\r' && c != '\n' && c != '\t' && c != '\f' &&
                                 c != '\v' && c != '\x1A');
    }
    if (control > 0) {
        err << "bench ini: " << file << " is not a text file (it holds " << control << " control byte(s))\n";
        return kBadInput;
    }
    if (!plugin.empty()) {
        // A name, or a library's path, whose name says which plug-in.
        const std::string stem = lower(std::filesystem::path(plugin).stem().string());
        std::string named;
        for (const std::string& name : knownPlugins()) {
            if (stem == lower(name)) named = name;
        }
        if (named.empty()) {
            err << "bench ini: --plugin " << quoted(plugin)
                << ": the bench knows the settings of Tavrel, Quinsora and Vesk\n";
            return kBadInput;
        }
        plugin = named;
    } else {
        plugin = guessPlugin(file, text);
        if (plugin.empty()) {
            err << "bench ini: cannot tell which plug-in reads " << file
                << ": name it with --plugin Tavrel, Quinsora or Vesk\n";
            return kBadInput;
        }
    }
    // The profile services find a bare name in another folder on Windows: give them the full path.
    const std::string path = std::filesystem::absolute(file).string();
    const IniCheck check = checkIni(plugin, text, path, file);

    out << file << ": as " << plugin << " reads it (the file is not changed)\n\n";
    std::size_t width = 0;
    for (const ResolvedSetting& s : check.settings) {
        width = std::max(width, s.entry.section.size() + trim(s.entry.key).size() + 3);
    }
    for (const ResolvedSetting& s : check.settings) {
        std::string name = "[" + s.entry.section + "] " + trim(s.entry.key);
        name.resize(std::max(width, name.size()), ' ');
        std::string value = s.entry.integer ? s.value : quoted(s.value);
        value.resize(std::max<std::size_t>(value.size(), 8), ' ');
        out << "  " << name << " = " << value << "  ";
        if (s.line)
            out << "line " << s.line << (s.text == s.value ? "" : ", written " + quoted(s.text));
        else
            out << "not in the file: built in";
        if (!s.entry.written) out << " (read only: never written when the plug-in creates its file)";
        out << "\n";
    }
    out << "\n";
    if (plugin != "Vesk") {
        out << "A key missing here takes its value from ATS.ini in the simulator's folder, if that sets "
               "it.\n\n";
    }
    std::size_t shown = 0;
    for (const std::string& message : check.notes) out << message << "\n";
    for (const std::string& message : check.warnings) {
        if (shown++ == kMaxWarnings) {
            out << file << ": " << check.warnings.size() - kMaxWarnings << " more warning(s) not shown\n";
            break;
        }
        out << message << "\n";
    }
    if (check.warnings.empty()) {
        out << file << ": nothing misread\n";
        return 0;
    }
    out << file << ": " << check.warnings.size() << " warning(s)\n";
    return kWarned;
}

std::vector<std::string> scenarioIniWarnings(const std::string& plugin, const std::string& iniText,
                                             const std::vector<int>& iniLines, const std::string& file) {
    if (settingsOf(plugin).empty() || iniText.empty()) return {};
    host::TempFolder folder("bench-ini");
    const std::string path = folder.file(plugin + ".ini");
    if (!host::writeFile(path, iniText)) return {};
    return checkIni(plugin, iniText, path, file, &iniLines).warnings;
}

// ---- Meter slots ----------------------------------------------------------------------------

std::vector<MeterSlot> meterSlots(const std::string& plugin, const std::string& iniText) {
    std::vector<MeterSlot> slots;
    if (plugin != "Quinsora" || iniText.empty()) return slots;
    host::TempFolder folder("bench-ini");
    const std::string path = folder.file(plugin + ".ini");
    if (!host::writeFile(path, iniText)) return slots;
    const std::vector<SettingEntry> entries = settingsOf(plugin);
    for (const auto& [key, input] : kMeterWriteOrder) {
        for (const SettingEntry& e : entries) {
            if (trim(e.key) != key || !e.integer) continue;
            const std::int32_t slot =
                platform::profileInt(e.section.c_str(), e.key.c_str(), e.defaultInt, path.c_str());
            if (slot < 0 || slot > 255) continue;
            // A later reading on the same slot is the one shown.
            slots.erase(
                std::remove_if(slots.begin(), slots.end(),
                               [&](const MeterSlot& m) { return m.slot == static_cast<std::size_t>(slot); }),
                slots.end());
            slots.push_back({static_cast<std::size_t>(slot), key, input});
        }
    }
    return slots;
}

}  // namespace bench
