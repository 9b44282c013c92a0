// The shipped libraries, loaded as the console loads them: Portelle by path,
// Joyvane through Portelle by its bare file name.
#include "PortellePlugin.h"
#include "TempDir.h"
#include "cEvdevEnumerator.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <string>

namespace
{
template <typename Fn>
Fn Bind(void* hModule, const char* szName)
{
    return reinterpret_cast<Fn>(dlsym(hModule, szName));
}
} // namespace

namespace
{
int Occurrences(const std::string& sText, const std::string& sFragment)
{
    int nCount = 0;
    for (size_t n = sText.find(sFragment); n != std::string::npos; n = sText.find(sFragment, n + 1))
        ++nCount;
    return nCount;
}
} // namespace

// Asked again and again, as the console does until a stick is plugged in:
// both logs say why once. Portelle keeps Joyvane loaded between the attempts,
// so Joyvane's log is opened once and remembers the failure.
TEST(JoyvaneLibrary, WithoutAJoystickCreateFailsAndBothLogsSayWhyOnce)
{
    if (!cEvdevEnumerator().Joysticks().empty())
        GTEST_SKIP() << "a joystick is attached to this machine";
    TempDir dir;
    ScopedChdir cwd(dir.Path());
    dir.Write("Kestrum.xml", "<VMS_Cfg><ConDirectXCfg0 nLogLevelFilter=\"4\"/></VMS_Cfg>");

    void* hPortelle = dlopen(PORTELLE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(hPortelle, nullptr) << dlerror();
    auto pfnCreate = Bind<decltype(&Nx_ConCreate)>(hPortelle, "Nx_ConCreate");
    ASSERT_NE(pfnCreate, nullptr);
    for (int n = 0; n < 3; ++n)
    {
        NxHandle hController = nullptr;
        // Found beside Portelle, not beside this program.
        EXPECT_EQ(pfnCreate(&hController, "libJoyvane.so", 0, 0, dir.File("Kestrum.xml").c_str()), Nx_ERR);
        EXPECT_EQ(hController, nullptr);
    }
    ASSERT_EQ(dlclose(hPortelle), 0);

    const std::string sPortelle = dir.Read("PortelleDbg.txt");
    EXPECT_EQ(Occurrences(sPortelle, "L2:cControllerIFEx::Init (168): m_pfnInit returned 1\n"), 1) << sPortelle;
    EXPECT_EQ(Occurrences(sPortelle, "L2:Nx_ConCreate (264): ConInit(0) return 1\n"), 1) << sPortelle;
    EXPECT_EQ(Occurrences(sPortelle, "L2:"), 2) << sPortelle;

    // Joyvane's own file, closed as Portelle unloaded it; its section raised the level.
    const std::string sJoyvane = dir.Read("JoyvaneDbg.txt");
    EXPECT_EQ(Occurrences(sJoyvane, "Opening Log File"), 1) << sJoyvane;
    EXPECT_NE(sJoyvane.find("L4:cConDirectX::readConfigFile (94): DbgLogSetLevel(4)\n"), std::string::npos) << sJoyvane;
    EXPECT_EQ(Occurrences(sJoyvane, "L2:cConDirectX::init (47): Initialise failed to allocate m_pJoystick\n"), 1)
        << sJoyvane;
    EXPECT_EQ(Occurrences(sJoyvane, "L2:"), 1) << sJoyvane;
    EXPECT_NE(sJoyvane.find("---\nDbgLogClose()"), std::string::npos) << sJoyvane;
    EXPECT_EQ(sJoyvane.find("Portelle"), std::string::npos);
}

TEST(JoyvaneLibrary, EntryPointsRefuseAWrongVersionAndForeignHandles)
{
    TempDir dir;
    ScopedChdir cwd(dir.Path());
    void* hJoyvane = dlopen(JOYVANE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(hJoyvane, nullptr) << dlerror();
    auto pfnInit = Bind<PFN_CI_LibInit>(hJoyvane, "CI_LibInit");
    auto pfnDestroy = Bind<PFN_CI_LibDestroy>(hJoyvane, "CI_LibDestroy");
    auto pfnSetCallback = Bind<PFN_CI_LibSetCallback>(hJoyvane, "CI_LibSetCallback");
    ASSERT_TRUE(pfnInit && pfnDestroy && pfnSetCallback);
    EXPECT_EQ(Bind<void*>(hJoyvane, "CI_LibStopCallback"), nullptr);

    void* hLib = nullptr;
    EXPECT_EQ(pfnInit(&hLib, 0, 0, "Kestrum.xml", 0x1011), Nx_BADVERSION);
    EXPECT_EQ(hLib, nullptr);
    int nNotAnInstance = 0;
    EXPECT_EQ(pfnDestroy(&nNotAnInstance), Nx_INVALIDHANDLE);
    EXPECT_EQ(pfnSetCallback(&nNotAnInstance, nullptr, nullptr), Nx_INVALIDHANDLE);
    EXPECT_EQ(dlclose(hJoyvane), 0);
}
