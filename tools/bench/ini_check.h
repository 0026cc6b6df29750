// "bench ini": what a plug-in makes of an author's INI file. For each key the plug-in reads, the
// value it resolves to (through the same profile services the plug-in uses), and warnings for what
// it would silently misread: unknown or misspelt keys and sections, a number with text after it
// ("closetime=1s" reads as 1), a word where a number belongs ("DIR=off" reads as 0), keys the
// plug-in never reaches (a repeated section or key, lines above any section), values outside what
// makes sense. The file is only read.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tools/bench/settings_tables.h"

namespace bench {

struct ResolvedSetting {
    SettingEntry entry;
    int line = 0;       // where the file sets it; 0 when it does not
    std::string text;   // the value as written (trimmed, one quote pair removed)
    std::string value;  // what the plug-in reads: the integer, or the text
};

struct IniCheck {
    std::string plugin;
    std::vector<ResolvedSetting> settings;
    std::vector<std::string> warnings;  // "name:line: warning: ..." or "name: warning: ..."
    std::vector<std::string> notes;     // the same form, for what is read as meant but may surprise
};

// Checks text (the file's contents, already read) for the plug-in; path is where the profile
// services read it for the resolved values, shownName how messages name it. With lineMap, a
// message names lineMap[N - 1] in place of line N (the scenario lines of a scenario's INI).
IniCheck checkIni(const std::string& plugin, const std::string& text, const std::string& path,
                  const std::string& shownName, const std::vector<int>* lineMap = nullptr);

// The warnings for a scenario's INI lines, naming the scenario's lines; none for a plug-in the
// bench has no settings list of.
std::vector<std::string> scenarioIniWarnings(const std::string& plugin, const std::string& iniText,
                                             const std::vector<int>& iniLines, const std::string& file);

// The plug-in an INI file belongs to: by the file's name (Tavrel.ini), else by its keys; empty
// when neither tells.
std::string guessPlugin(const std::string& fileName, const std::string& text);

// The command: bench ini FILE [--plugin NAME]. Exit status 0 when nothing is misread, 1 when a
// warning was given, 2 for a bad command line or a file that is not an INI file.
int iniCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The panel slots a scenario's INI gives to a meter plug-in's readings: the key (without padding)
// names the slot, and the input the slot averages is drawn behind it. Empty for other plug-ins.
struct MeterSlot {
    std::size_t slot;
    std::string key;
    std::string input;  // "speed", "bc", ..., "current", "current-abs"
};
std::vector<MeterSlot> meterSlots(const std::string& plugin, const std::string& iniText);

}  // namespace bench
