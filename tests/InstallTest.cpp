// The installed programs: cmake --install into a fresh prefix, then the
// programs from there, started from a folder that holds no configuration,
// with a home folder of their own.
#include "TempDir.h"
#include "WaitFor.h"

#include "KestrumVersion.h"

#include <boost/process.hpp>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <regex>
#include <thread>

namespace bp = boost::process;
using namespace std::chrono_literals;

namespace
{
// Boost 1.74's wait_for can sit out its whole limit on a child that has
// already ended; running() reaps it and keeps the status.
bool Ended(bp::child& child, std::chrono::seconds limit)
{
    return WaitFor([&] { return !child.running(); }, limit);
}

// One prefix for the whole program: installing takes a few seconds.
class Installed : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pPrefix = new TempDir;
        const int nStatus = bp::system(KESTRUM_CMAKE, "--install", KESTRUM_BUILD_DIR, "--prefix", s_pPrefix->Path(),
                                       bp::std_out > bp::null);
        ASSERT_EQ(nStatus, 0) << "cmake --install failed";
    }
    static void TearDownTestSuite()
    {
        delete s_pPrefix;
        s_pPrefix = nullptr;
    }
    static std::string Program(const std::string& sName) { return s_pPrefix->Path() + "/bin/" + sName; }
    static std::string Prefix() { return s_pPrefix->Path(); }

    // What a user's session has: a home and configuration folder of its own,
    // no display (the console gets the offscreen platform where it needs one).
    bp::environment Environment() const
    {
        bp::environment env = boost::this_process::environment();
        env["HOME"] = m_Home.Path();
        env["XDG_CONFIG_HOME"] = m_Home.File("config");
        env.erase("QT_QPA_PLATFORM");
        env.erase("DISPLAY");
        env.erase("WAYLAND_DISPLAY");
        return env;
    }

    // Runs a program to its end; its status and what it printed.
    int Run(const std::string& sProgram, const std::vector<std::string>& args, std::string& sOutput)
    {
        bp::ipstream out;
        bp::child child(sProgram, bp::args(args), bp::std_out > out, bp::std_err > bp::null, Environment(),
                        bp::start_dir(m_Work.Path()));
        std::string sLine;
        while (std::getline(out, sLine))
            sOutput += sLine + "\n";
        if (!Ended(child, 30s))
        {
            child.terminate();
            return -1;
        }
        return child.exit_code();
    }

    static TempDir* s_pPrefix;
    TempDir m_Home;
    TempDir m_Work;  // the working folder: no config/ in it
};
TempDir* Installed::s_pPrefix = nullptr;

// A program running in the background, its output lines collected as they come.
class Background
{
public:
    Background(const std::string& sProgram, const std::vector<std::string>& args, bp::environment env,
               const std::string& sFolder)
        : m_Child(sProgram, bp::args(args), bp::std_out > m_Out, bp::std_err > sFolder + "/stderr.txt", env,
                  bp::start_dir(sFolder))
    {
        m_Reader = std::thread([this] {
            std::string sLine;
            while (std::getline(m_Out, sLine))
            {
                std::lock_guard<std::mutex> lock(m_Mutex);
                m_Lines.push_back(sLine);
            }
        });
    }
    ~Background()
    {
        if (m_Child.running())
            m_Child.terminate();
        m_Child.wait();
        m_Reader.join();
    }

    // The first line matching, with its groups; empty when none came in time.
    std::smatch WaitForLine(const std::string& sPattern)
    {
        const std::regex pattern(sPattern);
        std::smatch match;
        WaitFor([&] {
            std::lock_guard<std::mutex> lock(m_Mutex);
            for (const std::string& sLine : m_Lines)
            {
                m_sMatched = sLine;
                if (std::regex_search(m_sMatched, match, pattern))
                    return true;
            }
            return false;
        }, 20s);
        return match;
    }
    // Stops it with SIGTERM; its exit status, or -1 when it did not end.
    int Stop()
    {
        ::kill(m_Child.id(), SIGTERM);
        if (!Ended(m_Child, 20s))
            return -1;
        return m_Child.exit_code();
    }

private:
    bp::ipstream m_Out;
    bp::child m_Child;
    std::mutex m_Mutex;
    std::vector<std::string> m_Lines;
    std::string m_sMatched;  // keeps the matched text alive for the groups
    std::thread m_Reader;
};

std::string ReadAll(const std::string& sPath)
{
    std::ifstream in(sPath);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
} // namespace

// Every installed program answers --help and --version alike, without a
// display: a usage line that names it, -h and -V as short forms, and
// "NAME (Kestrum) VERSION" (what the manual pages are made from).
TEST_F(Installed, ProgramsAnswerHelpAndVersionAlike)
{
    for (const std::string sProgram : {"kestrum", "vms-sim", "kestrum-scenario", "joyvane-probe", "kestrum-dissector"})
    {
        for (const char* szVersion : {"--version", "-V"})
        {
            std::string sOut;
            EXPECT_EQ(Run(Program(sProgram), {szVersion}, sOut), 0) << sProgram << " " << szVersion;
            EXPECT_EQ(sOut, sProgram + " (Kestrum) " KESTRUM_VERSION "\n");
        }
        for (const char* szHelp : {"--help", "-h"})
        {
            std::string sOut;
            EXPECT_EQ(Run(Program(sProgram), {szHelp}, sOut), 0) << sProgram << " " << szHelp;
            EXPECT_EQ(sOut.rfind("Usage: " + sProgram + " [options]", 0), 0u) << sOut;
            EXPECT_NE(sOut.find("\n  -h, --help "), std::string::npos) << sOut;
            EXPECT_NE(sOut.find("\n  -V, --version "), std::string::npos) << sOut;
        }
    }
}

// Each program's manual page is installed compressed and was made from that
// program's own answers; the Debian copyright file and changelog beside the
// READMEs.
TEST_F(Installed, ManualPagesCopyrightAndChangelog)
{
    const std::string sGzip = bp::search_path("gzip").string();
    ASSERT_FALSE(sGzip.empty());
    for (const std::string sProgram : {"kestrum", "vms-sim", "kestrum-scenario", "joyvane-probe", "kestrum-dissector"})
    {
        std::string sPage;
        EXPECT_EQ(Run(sGzip, {"-dc", Prefix() + "/share/man/man1/" + sProgram + ".1.gz"}, sPage), 0) << sProgram;
        EXPECT_NE(sPage.find("\n.SH NAME\n" + sProgram + " \\- "), std::string::npos) << sPage;
        EXPECT_NE(sPage.find("\"Kestrum " KESTRUM_VERSION "\""), std::string::npos) << sPage;
        EXPECT_NE(sPage.find("\\-\\-version"), std::string::npos) << sPage;
    }
    const std::string sDoc = Prefix() + "/share/doc/kestrum";
    EXPECT_EQ(ReadAll(sDoc + "/copyright").rfind("Format: ", 0), 0u);
    std::string sChangelog;
    EXPECT_EQ(Run(sGzip, {"-dc", sDoc + "/changelog.Debian.gz"}, sChangelog), 0);
    EXPECT_EQ(sChangelog.rfind("kestrum (" KESTRUM_VERSION "-", 0), 0u) << sChangelog;
}

// The programs find Portelle through their RPATH and Portelle finds the
// plug-in beside itself: the probe gets as far as looking for a joystick.
TEST_F(Installed, DeviceLibrariesAreFoundWhereTheyAreInstalled)
{
    std::string sOut;
    EXPECT_EQ(Run(Program("joyvane-probe"), {"--count", "1"}, sOut), 2) << "2: no joystick; 1: plug-in not loaded";
    EXPECT_TRUE(std::ifstream(Prefix() + "/lib/kestrum/libJoyvane.so").good());
    EXPECT_TRUE(std::ifstream(Prefix() + "/share/applications/kestrum.desktop").good());
    EXPECT_TRUE(std::ifstream(Prefix() + "/share/icons/hicolor/64x64/apps/kestrum.png").good());
    // The dissector for the samples names them as installed.
    EXPECT_NE(ReadAll(Prefix() + "/share/kestrum/wireshark/kestrum.lua").find("-- Page definitions: config/PageDefinitions.xml"),
              std::string::npos);
    EXPECT_TRUE(std::ifstream(Prefix() + "/share/kestrum/wireshark/README.md").good());
}

// From a folder without config/Kestrum.xml, the installed simulator makes the
// user's own settings file from the samples and takes the variant and page
// definitions from it; the installed console finds that file and talks to it.
TEST_F(Installed, ConsoleRunsAgainstTheSimulatorFromAnyFolder)
{
    const std::string sSamples = Prefix() + "/share/kestrum/config";
    const std::string sUserFolder = m_Home.File("config/kestrum");
    Background simulator(Program("vms-sim"), {"--port", "0", "--eo-listen-port", "0"}, Environment(), m_Work.Path());
    const std::smatch ready = simulator.WaitForLine(R"(vms-sim ready: variant 1, .* from (\S+), pages [0-9.]+:(\d+) )");
    ASSERT_FALSE(ready.empty()) << "the simulator did not start";
    EXPECT_EQ(ready[1].str(), sUserFolder + "/PageDefinitions.xml");

    // The port the simulator took, as a user's stored comms settings would say.
    {
        boost::filesystem::create_directories(m_Home.File("config/Halvorn Ltd"));
        std::ofstream conf(m_Home.File("config/Halvorn Ltd/Kestrum.conf"));
        conf << "[Comms%20Settings]\nRC%20Target%20Port=" << ready[2].str() << "\nRC%20Host%20Port=0\n";
    }
    bp::environment env = Environment();
    env["QT_QPA_PLATFORM"] = "offscreen";
    {
        Background console(Program("kestrum"), {}, env, m_Work.Path());
        EXPECT_FALSE(simulator.WaitForLine("periodic .* every 100 ms").empty()) << "no periodic request from the console";
        EXPECT_FALSE(simulator.WaitForLine("interface active").empty()) << "no heartbeat from the console";
        EXPECT_EQ(console.Stop(), 0);
    }
    EXPECT_FALSE(simulator.WaitForLine("periodic .* stopped").empty());
    EXPECT_EQ(simulator.Stop(), 0);

    const std::string sSettings = ReadAll(sUserFolder + "/Kestrum.xml");
    EXPECT_NE(sSettings.find("sPageDefinitionsFile=\"" + sUserFolder + "/PageDefinitions.xml\""), std::string::npos)
        << sSettings;
    EXPECT_EQ(ReadAll(sUserFolder + "/PageDefinitions.xml"), ReadAll(sSamples + "/PageDefinitions.xml"));
    // The logs stay in the working folder, as ever.
    EXPECT_TRUE(std::ifstream(m_Work.File("CorvaneDebugLog.txt")).good());
}
