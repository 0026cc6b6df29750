// See tools/bench/settings_tables.h. The frame's transferInt and transferString are defined here in
// place of frame/settings_store.cpp (which the bench does not link): each call records its entry.
#include "tools/bench/settings_tables.h"

#include "door/settings.h"
#include "frame/settings_store.h"
#include "meter/settings.h"
#include "overspeed/settings.h"

namespace {

// The list being recorded, and whether this pass reads or writes.
std::vector<bench::SettingEntry>* recording = nullptr;

void record(std::int32_t mode, const char* section, const char* key, bool integer, std::int32_t number,
            const std::string& text) {
    if (recording == nullptr) return;
    if (mode == frame::WriteMode) {
        for (bench::SettingEntry& entry : *recording) {
            if (entry.section == section && entry.key == key) entry.written = true;
        }
        return;
    }
    recording->push_back({section, key, integer, number, text, false});
}

template <class Settings>
std::vector<bench::SettingEntry> entriesOf() {
    std::vector<bench::SettingEntry> entries;
    Settings settings;  // built-in values only: no file is read
    recording = &entries;
    frame::SettingsFile none("");  // never opened: the transfer functions below only record
    settings.visitEntries(none, frame::ReadMode);
    settings.visitEntries(none, frame::WriteMode);
    recording = nullptr;
    return entries;
}

}  // namespace

namespace frame {

bool transferInt(std::int32_t mode, SettingsFile&, const char* section, const char* key, IntSetting& value) {
    record(mode, section, key, true, value.load(), "");
    return true;
}

bool transferString(std::int32_t mode, SettingsFile&, const char* section, const char* key,
                    std::string& value) {
    record(mode, section, key, false, 0, value);
    return true;
}

}  // namespace frame

namespace bench {

const std::vector<std::string>& knownPlugins() {
    static const std::vector<std::string> names{"Tavrel", "Quinsora", "Vesk"};
    return names;
}

std::vector<SettingEntry> settingsOf(const std::string& plugin) {
    if (plugin == "Tavrel") return entriesOf<door::DoorSettings>();
    if (plugin == "Quinsora") return entriesOf<meter::MeterSettings>();
    if (plugin == "Vesk") return entriesOf<overspeed::OverspeedSettings>();
    return {};
}

}  // namespace bench
