// The INI path that a library derives from its own path: the file name's extension becomes ".ini".
#include <gtest/gtest.h>

#include <string>

#include "frame/startup.h"

namespace {

struct IniPathRow {
    const char* name;
    std::string library;
    std::string ini;
};

// A module path far beyond any fixed buffer, so that no cut or overrun can go unnoticed.
std::string longPath(const std::string& name) {
    std::string path = "C:\\";
    while (path.size() < 10000) path += "deep.dll.folder\\";
    return path + name;
}

std::string longPathIni() { return longPath("Tavrel.ini"); }

const IniPathRow kRows[] = {
    {"WindowsDll", "C:\\Sim\\Plugins\\X.dll", "C:\\Sim\\Plugins\\X.ini"},
    {"UpperCaseDll", "C:\\Sim\\Plugins\\X.DLL", "C:\\Sim\\Plugins\\X.ini"},
    {"MixedCaseDll", "C:\\Sim\\Plugins\\X.Dll", "C:\\Sim\\Plugins\\X.ini"},
    {"LinuxSo", "/opt/sim/plugins/Tavrel.so", "/opt/sim/plugins/Tavrel.ini"},
    // The folder's ".dll" is not the extension: the settings stay beside the library.
    {"DllInFolderName", "C:\\Sim\\a.dll.d\\X.dll", "C:\\Sim\\a.dll.d\\X.ini"},
    {"SoInFolderName", "/opt/a.so.d/Quinsora.so", "/opt/a.so.d/Quinsora.ini"},
    {"DllInFolderNoExtension", "C:\\Sim\\a.dll\\X", "C:\\Sim\\a.dll\\X.ini"},
    {"NoExtension", "/opt/sim/Vesk", "/opt/sim/Vesk.ini"},
    {"OnlyTheLastExtension", "/opt/sim/X.dll.so", "/opt/sim/X.dll.ini"},
    {"DllInsideName", "C:\\Sim\\my.dllfile", "C:\\Sim\\my.ini"},
    {"TrailingDot", "/opt/sim/X.", "/opt/sim/X.ini"},
    // A name that starts with a dot has no extension unless a second dot follows.
    {"DotFile", "/opt/sim/.plugin", "/opt/sim/.plugin.ini"},
    {"DotFileWithExtension", "/opt/sim/.plugin.so", "/opt/sim/.plugin.ini"},
    {"DotFolderThenPlainName", "/opt/.sim/X", "/opt/.sim/X.ini"},
    {"ForwardSlashesOnWindows", "C:/Sim/a.dll.d/X.dll", "C:/Sim/a.dll.d/X.ini"},
    {"MixedSeparators", "C:\\Sim/a.b\\X", "C:\\Sim/a.b\\X.ini"},
    {"MixedSeparatorsBackslashLast", "C:/Sim.d\\X.DLL", "C:/Sim.d\\X.ini"},
    {"BareName", "X.dll", "X.ini"},
    {"BareNameNoExtension", "X", "X.ini"},
    {"NonAsciiBytes", "C:\\Z\xFCge\\Tavrel.dll", "C:\\Z\xFCge\\Tavrel.ini"},
    {"LongerThanAnyBuffer", longPath("Tavrel.DLL"), longPathIni()},
    {"Empty", "", ""},
};

class IniPath : public testing::TestWithParam<IniPathRow> {};

TEST_P(IniPath, ExtensionOfTheFileNameBecomesIni) {
    const IniPathRow& row = GetParam();
    EXPECT_EQ(frame::iniPathFor(row.library), row.ini);
}

INSTANTIATE_TEST_SUITE_P(Rows, IniPath, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<IniPathRow>& row) { return row.param.name; });

}  // namespace
