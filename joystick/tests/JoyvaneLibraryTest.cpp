// The shipped libraries, loaded as the console loads them: Portelle by path,
// Joyvane through Portelle by its bare file name.
#include "PortellePlugin.h"
#include "TempDir.h"
#include "cEvdevEnumerator.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace
{
template <typename Fn>
Fn Bind(void* hModule, const char* szName)
{
    return reinterpret_cast<Fn>(dlsym(hModule, szName));
}
} // namespace

TEST(JoyvaneLibrary, WithoutAJoystickCreateFailsAndBothLogsSayWhy)
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
    NxHandle hController = nullptr;
    // Found beside Portelle, not beside this program.
    EXPECT_EQ(pfnCreate(&hController, "libJoyvane.so", 0, 0, dir.File("Kestrum.xml").c_str()), Nx_ERR);
    EXPECT_EQ(hController, nullptr);
    ASSERT_EQ(dlclose(hPortelle), 0);

    const std::string sPortelle = dir.Read("PortelleDbg.txt");
    EXPECT_NE(sPortelle.find("L2:cControllerIFEx::Init (168): m_pfnInit returned 1\n"), std::string::npos) << sPortelle;
    EXPECT_NE(sPortelle.find("L2:Nx_ConCreate (264): ConInit(0) return 1\n"), std::string::npos) << sPortelle;

    // Joyvane's own file, closed as Portelle unloaded it; its section raised the level.
    const std::string sJoyvane = dir.Read("JoyvaneDbg.txt");
    EXPECT_NE(sJoyvane.find("L4:cConDirectX::readConfigFile (94): DbgLogSetLevel(4)\n"), std::string::npos) << sJoyvane;
    EXPECT_NE(sJoyvane.find("L2:cConDirectX::init (47): Initialise failed to allocate m_pJoystick\n"), std::string::npos)
        << sJoyvane;
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
