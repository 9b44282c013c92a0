#pragma once
#include "LogCapture.h"
#include "TempDir.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <string>

// Paths of the test plug-ins and a way to see whether one is still loaded.
inline std::string PluginPath(const std::string& sName)
{
    return std::string(KESTRUM_TEST_PLUGIN_DIR) + "/lib" + sName + ".so";
}

inline bool IsLoaded(const std::string& sPath)
{
    void* hModule = dlopen(sPath.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!hModule)
        return false;
    dlclose(hModule);
    return true;
}

// A test with its log capture and a journal file the plug-ins write to.
class PluginTest : public ::testing::Test
{
protected:
    std::string JournalPath() const { return m_Dir.File("journal.txt"); }
    std::string Journal() const { return m_Dir.Read("journal.txt"); }
    // Configuration text for a test plug-in, with the journal switched on.
    std::string Config(const std::string& sSettings = "") const { return sSettings + " journal=" + JournalPath(); }
    NxValue ConfigValue(const std::string& sSettings = "")
    {
        m_sConfig = Config(sSettings);
        return reinterpret_cast<NxValue>(m_sConfig.c_str());
    }
    int Errors() const { return m_Log.Count("", DBG_ERR); }

    TempDir m_Dir;
    LogCapture m_Log;
    std::string m_sConfig;
};
