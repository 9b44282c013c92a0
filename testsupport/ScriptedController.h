#pragma once
#include "ConsoleSettings.h"
#include "TempDir.h"

#include <chrono>
#include <string>
#include <thread>

// The scripted controller test plug-in (iolib/tests/plugins/ScriptedController.cpp):
// where it is, and a console settings file that tells it what to play. Tests
// that use it define KESTRUM_TEST_PLUGIN_DIR.
namespace ScriptedController
{
inline std::string PluginPath(const std::string& sName = "tc_script")
{
    return std::string(KESTRUM_TEST_PLUGIN_DIR) + "/lib" + sName + ".so";
}

// Writes script.txt and the settings file (the console's settings as given,
// the plug-in's section with the script, a journal and sSection's extra
// attributes) into dir; returns the settings file's path.
inline std::string WriteSettings(const TempDir& dir, const std::string& sScript, ConsoleSettings settings,
                                 const std::string& sSection = "nPeriodMs=\"5\"")
{
    dir.Write("script.txt", sScript);
    return settings.Set("ScriptedController", "sScript", dir.File("script.txt"))
        .Set("ScriptedController", "sJournal", dir.File("journal.txt"))
        .Attributes("ScriptedController", sSection)
        .Write(dir);
}

// The same with the main section's attributes as text.
inline std::string WriteSettings(const TempDir& dir, const std::string& sScript, const std::string& sMain = "",
                                 const std::string& sSection = "nPeriodMs=\"5\"")
{
    return WriteSettings(dir, sScript, ConsoleSettings().Attributes(ConsoleSettings::kMain, sMain), sSection);
}

// The journal has a line holding sLine, within the limit.
inline bool WaitForJournal(const TempDir& dir, const std::string& sLine,
                           std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (("\n" + dir.Read("journal.txt")).find("\n" + sLine + "\n") == std::string::npos)
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
} // namespace ScriptedController
