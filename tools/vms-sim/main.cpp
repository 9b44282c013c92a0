// vms-sim: plays the remote system for the console, its tests and benchmarks.
#include "DbgLog.h"
#include "cSimConsoleSettings.h"
#include "cSimEventLog.h"
#include "cSimOptions.h"
#include "cSimReplay.h"
#include "cSimulator.h"
#include "cStopSignalMask.h"
#include "cUserSettingsFile.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 64;
} // namespace

int main(int argc, char* argv[])
{
    cSimOptions options;
    switch (options.Parse(argc, argv))
    {
    case cSimOptions::eParse::Help:
    {
        // Names the file without making the user's copy: asking for help changes nothing.
        const std::string sSettings =
            options.m_sSettingsFile.empty() ? cUserSettingsFile::WouldChoose() : options.m_sSettingsFile;
        std::fputs(cSimOptions::Usage(sSettings).c_str(), stdout);
        return 0;
    }
    case cSimOptions::eParse::Version:
        std::fputs(cSimOptions::VersionText("vms-sim").c_str(), stdout);
        return 0;
    case cSimOptions::eParse::Error:
        std::fprintf(stderr, "vms-sim: %s\nTry 'vms-sim --help'.\n", options.Error().c_str());
        return kExitUsage;
    case cSimOptions::eParse::Run:
        break;
    }
    // Our own debug log, so that a console started in the same folder keeps its file.
    DbgLogInitLibrary("VmsSimDebugLog.txt");

    // The signals are caught before any thread starts, and taken by this
    // thread alone; the handler only ends run().
    boost::asio::io_context io;
    boost::asio::signal_set signals(io, SIGINT, SIGTERM);
    cStopSignalMask workersIgnoreStops;
    cSimEventLog log(options.m_bQuiet);
    int nSignal = 0;
    signals.async_wait([&nSignal](const boost::system::error_code& ec, int nNumber) {
        if (!ec)
            nSignal = nNumber;
    });

    // The console's settings give what the command line left open, so that
    // the two agree without being told twice.
    cSimConsoleSettings settings;
    settings.Load(options.m_sSettingsFile);
    if (!settings.Problem().empty())
        std::fprintf(stderr, "vms-sim: %s; running on the built-in defaults\n", settings.Problem().c_str());
    std::vector<std::string> problems;
    options.TakeDefaults(settings.Settings(), problems);
    for (const std::string& sProblem : problems)
        std::fprintf(stderr, "vms-sim: %s, in %s; the built-in default stays\n", sProblem.c_str(),
                     settings.Source().c_str());
    log.Event("settings: %s: %s", settings.Source().c_str(), options.LinkSummary().c_str());
    if (options.Impaired())
        log.Event("%s", options.ImpairmentSummary().c_str());

    if (options.Replaying())
    {
        cSimReplay replay(options, log);
        // Ends run() even if the last frame goes out before it starts.
        replay.SetOnFinished([&io] { io.stop(); });
        std::string sError;
        if (!replay.Load(sError) || !replay.Start(sError))
        {
            std::fprintf(stderr, "vms-sim: %s\n", sError.c_str());
            return kExitFailure;
        }
        workersIgnoreStops.Release();
        io.run();
        if (nSignal != 0)
            log.Event("%s: stopping", nSignal == SIGINT ? "SIGINT" : "SIGTERM");
        replay.Stop();
        return 0;
    }

    options.ResolvePagesFile();
    cSimulator simulator(options, log);
    std::string sError;
    if (!simulator.Start(sError))
    {
        if (options.SerialFromSettings())
            sError += " (the settings file's serial line, nCommsMethod 0: --serial DEVICE names this end of it, "
                      "--port N keeps UDP)";
        std::fprintf(stderr, "vms-sim: %s\n", sError.c_str());
        return kExitFailure;
    }
    workersIgnoreStops.Release();
    io.run();
    log.Event("%s: stopping", nSignal == SIGINT ? "SIGINT" : "SIGTERM");
    simulator.Stop();
    return 0;
}
