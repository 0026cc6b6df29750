// Makes the INI files of the Windows release the way the plug-ins themselves make them:
//   ini_writer load PLUGIN.dll      loads and unloads the plug-in; Tavrel and Quinsora create their
//                                   INI file beside it when it is missing
//   ini_writer vesk-defaults FILE   writes Vesk's settings, with their defaults, into FILE (Vesk
//                                   never writes a file of its own)
// Run it in a fresh folder: the plug-in also reads ATS.ini from the working directory.
#include <cstdio>
#include <memory>
#include <string>

#include "frame/settings_store.h"
#include "overspeed/settings.h"
#include "tools/host/plugin_library.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: ini_writer load PLUGIN.dll | ini_writer vesk-defaults FILE\n", stderr);
        return 2;
    }
    const std::string command = argv[1];
    const std::string path = argv[2];
    if (command == "load") {
        std::string error;
        std::unique_ptr<host::PluginLibrary> plugin = host::PluginLibrary::open(path, &error);
        if (!plugin) {
            std::fprintf(stderr, "ini_writer: %s\n", error.c_str());
            return 3;
        }
        return 0;
    }
    if (command == "vesk-defaults") {
        frame::SettingsStore<overspeed::OverspeedSettings> settings{""};
        settings.F7UnlockKey.clear();
        settings.save(path);
        return 0;
    }
    std::fprintf(stderr, "ini_writer: unknown command %s\n", command.c_str());
    return 2;
}
