// kestrum-dissector: writes a Wireshark dissector made from the page
// definitions, and turns the console's traffic logs into capture files, so
// that a session moves between Kestrum and Wireshark.
#include "DbgLog.h"
#include "KestrumVersion.h"
#include "cDissectorOptions.h"
#include "cKestrumSettings.h"
#include "cLandingItemList.h"
#include "cLuaDissectorWriter.h"
#include "cPageDefinitionsReader.h"
#include "cPageList.h"
#include "cTrafficLogConverter.h"
#include "cUserCommsSettingsFile.h"
#include "cUserSettingsFile.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <unistd.h>

namespace
{
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The settings as the console takes them: the file, then the per-user comms
// settings over it. A file named on the command line must be there; without
// one, the console's own defaults stand in for a missing file.
bool LoadSettings(const cDissectorOptions& options, cKestrumSettings& settings, std::string& sSource)
{
    const bool bNamed = !options.m_sSettingsFile.empty();
    sSource = bNamed ? options.m_sSettingsFile : cUserSettingsFile::WouldChoose();
    std::string sWhy;
    if (!settings.Read(sSource, sWhy))
    {
        if (bNamed)
        {
            std::fprintf(stderr, "kestrum-dissector: cannot read the settings file %s: %s\n", sSource.c_str(), sWhy.c_str());
            return false;
        }
        std::fprintf(stderr, "kestrum-dissector: no settings file (%s: %s); the console's defaults stand in\n",
                     sSource.c_str(), sWhy.c_str());
        settings = cKestrumSettings();
        sSource = "the console's defaults";
    }
    const std::string sUserComms = cUserCommsSettingsFile::DefaultPath();
    if (access(sUserComms.c_str(), F_OK) == 0 && cUserCommsSettingsFile::ReadRegistrySettings(settings.m_CommsSettings, sUserComms))
        sSource += " with " + sUserComms + " over it";
    return true;
}

std::string PortsText(const CommsSettings& comms)
{
    return "page link UDP " + std::to_string(comms.nTxPort) + " (remote) / " + std::to_string(comms.nRxPort) +
           " (console), EO link UDP " + std::to_string(comms.nEoTxPort) + " / " + std::to_string(comms.nEoRxPort);
}

// When this dissector was written: SOURCE_DATE_EPOCH when set, so that a
// package built twice holds the same file.
std::string WrittenAt()
{
    std::time_t now = std::time(nullptr);
    if (const char* szEpoch = std::getenv("SOURCE_DATE_EPOCH"))
    {
        long nEpoch = 0;
        if (cToolOptions::ParseInteger(szEpoch, 0, 0x7fffffffL, 10, nEpoch))
            now = static_cast<std::time_t>(nEpoch);
    }
    std::tm tmNow{};
    gmtime_r(&now, &tmNow);
    char szText[40];
    std::strftime(szText, sizeof(szText), "%Y-%m-%d %H:%M:%S UTC", &tmNow);
    return szText;
}

bool WriteOutput(const std::string& sPath, const std::string& sText)
{
    if (sPath.empty() || sPath == "-")
    {
        std::cout << sText;
        return static_cast<bool>(std::cout.flush());
    }
    std::ofstream out(sPath, std::ios::binary | std::ios::trunc);
    out << sText;
    out.close();
    if (!out)
    {
        std::fprintf(stderr, "kestrum-dissector: cannot write %s\n", sPath.c_str());
        return false;
    }
    return true;
}

int WriteDissector(const cDissectorOptions& options, const cKestrumSettings& settings, const std::string& sSettings)
{
    const std::string sPages = options.m_sPagesFile.empty() ? settings.sPageDefinitionsFile : options.m_sPagesFile;
    cPageList pages;
    if (cPageDefinitionsReader(settings.ControllerType()).Read(sPages, pages) != cPageDefinitionsReader::Result::kRead)
    {
        std::fprintf(stderr, "kestrum-dissector: cannot read the page definitions %s\n", sPages.c_str());
        return kExitFailure;
    }
    cLuaDissectorWriter writer;
    size_t nPageItems = 0;
    for (size_t nPage = 0; nPage < pages.PageCount(); ++nPage)
        nPageItems += writer.AddItems(pages.Items(nPage));
    std::string sItems = std::to_string(nPageItems) + " item addresses";
    if (settings.bDisplayLandingDialog)
    {
        const size_t nLanding = writer.AddItems(cLandingItemList::Items(settings.ControllerType()));
        sItems += nLanding == 0 ? ", the landing dialog's among them"
                                : ", and " + std::to_string(nLanding) + " more of the landing dialog";
    }
    writer.SetPorts(settings.m_CommsSettings);

    const char* szVariant = settings.ControllerType() == RC_Variant::LongFrames ? "long frames" : "short frames";
    writer.AddComment("Kestrum remote-control dissector for Wireshark, written by kestrum-dissector " KESTRUM_VERSION ".");
    writer.AddComment("Page definitions: " + sPages + " (" + sItems + ").");
    writer.AddComment("Settings: " + sSettings + ": nControllerType " + std::to_string(settings.nControllerType) + " (" +
                      szVariant + "), " + PortsText(settings.m_CommsSettings) + ".");
    writer.AddComment("Written " + WrittenAt() + ".");
    writer.AddComment("Enable it with tshark -X lua_script:THIS_FILE, or copy it into ~/.local/lib/wireshark/plugins/.");
    if (!WriteOutput(options.m_sOutput, writer.Text()))
        return kExitFailure;
    std::fprintf(stderr, "kestrum-dissector: %s: %s from %s; %s\n", options.m_sOutput.empty() ? "written" : options.m_sOutput.c_str(),
                 sItems.c_str(), sPages.c_str(), PortsText(settings.m_CommsSettings).c_str());
    return 0;
}

int ConvertLogs(const cDissectorOptions& options, const cKestrumSettings& settings)
{
    cTrafficLogConverter converter(settings.m_CommsSettings);
    for (const std::string& sLog : options.m_PcapLogs)
    {
        if (!converter.Add(sLog))
        {
            std::fprintf(stderr, "kestrum-dissector: %s\n", converter.Error().c_str());
            return kExitFailure;
        }
    }
    for (const std::string& sWarning : converter.Warnings())
        std::fprintf(stderr, "kestrum-dissector: %s\n", sWarning.c_str());
    if (!converter.Write(options.m_sOutput))
    {
        std::fprintf(stderr, "kestrum-dissector: %s\n", converter.Error().c_str());
        return kExitFailure;
    }
    std::fprintf(stderr, "kestrum-dissector: %s: %zu datagrams on the page link, %zu on the EO link; %s\n",
                 options.m_sOutput.c_str(), converter.PageDatagrams(), converter.EoDatagrams(),
                 PortsText(settings.m_CommsSettings).c_str());
    return 0;
}
} // namespace

int main(int argc, char* argv[])
{
    cDissectorOptions options;
    switch (options.Parse(argc, argv))
    {
    case cDissectorOptions::eParse::Help:
    {
        const std::string sSettings =
            options.m_sSettingsFile.empty() ? cUserSettingsFile::WouldChoose() : options.m_sSettingsFile;
        std::fputs(cDissectorOptions::Usage(sSettings).c_str(), stdout);
        return 0;
    }
    case cDissectorOptions::eParse::Version:
        std::fputs(cDissectorOptions::VersionText("kestrum-dissector").c_str(), stdout);
        return 0;
    case cDissectorOptions::eParse::Error:
        std::fprintf(stderr, "kestrum-dissector: %s\nTry 'kestrum-dissector --help'.\n", options.Error().c_str());
        return kExitUsage;
    case cDissectorOptions::eParse::Run:
        break;
    }
    // Our own debug log (the page definitions' reader reports bad items there).
    DbgLogInitLibrary("KestrumDissectorDebugLog.txt");
    cKestrumSettings settings;
    std::string sSettings;
    if (!LoadSettings(options, settings, sSettings))
        return kExitFailure;
    return options.Converting() ? ConvertLogs(options, settings) : WriteDissector(options, settings, sSettings);
}
