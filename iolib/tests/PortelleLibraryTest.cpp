// The shipped libPortelle.so, loaded as a client loads it.
#include "DbgLog.h"
#include "Portelle.h"
#include "TempDir.h"

#include <boost/filesystem.hpp>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <regex>

namespace
{
template <typename Fn>
Fn Bind(void* hModule, const char* szName)
{
    return reinterpret_cast<Fn>(dlsym(hModule, szName));
}
} // namespace

// Portelle keeps a log of its own in "PortelleDbg.txt", opened on its first
// written line and closed when the library is unloaded; the program's log is
// a different one.
TEST(PortelleLibrary, WritesItsOwnLogAndClosesItOnUnload)
{
    TempDir dir;
    ScopedChdir cwd(dir.Path());

    void* hPortelle = dlopen(PORTELLE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(hPortelle, nullptr) << dlerror();
    auto pfnCreate = Bind<decltype(&Nx_ConCreate)>(hPortelle, "Nx_ConCreate");
    auto pfnDestroy = Bind<decltype(&Nx_ConDestroy)>(hPortelle, "Nx_ConDestroy");
    ASSERT_NE(pfnCreate, nullptr);
    ASSERT_NE(pfnDestroy, nullptr);

    NxHandle hController = nullptr;
    EXPECT_EQ(pfnCreate(&hController, nullptr, 0, 0, "settings.xml"), Nx_InvalidFile);
    EXPECT_EQ(pfnDestroy(nullptr), Nx_ERR);
    DbgLog(DBG_ERR, "PortelleLibrary::test", 1, "a line of the program");
    ASSERT_EQ(dlclose(hPortelle), 0);

    const std::string sLog = dir.Read("PortelleDbg.txt");
    EXPECT_TRUE(std::regex_search(sLog, std::regex(R"(^Opening Log File \d\d/\d\d/\d{4} \d\d:\d\d:\d\d\n---\n)"))) << sLog;
    EXPECT_NE(sLog.find("L2:cControllerIFEx::LoadSource (62): received NULL filename\n"), std::string::npos) << sLog;
    EXPECT_NE(sLog.find("L2:Nx_ConCreate (256): LoadSource((null)) return 7\n"), std::string::npos) << sLog;
    EXPECT_EQ(sLog.find("L4:"), std::string::npos) << "INF lines stay below the WRN threshold";
    EXPECT_EQ(sLog.find("a line of the program"), std::string::npos);
    EXPECT_TRUE(std::regex_search(sLog, std::regex(R"(---\nDbgLogClose\(\) \d\d/\d\d/\d{4} \d\d:\d\d:\d\d\n$)"))) << sLog;
    DbgLogClose();
    EXPECT_NE(dir.Read("CorvaneDebugLog.txt").find("a line of the program"), std::string::npos);
}
