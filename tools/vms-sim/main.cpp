// vms-sim: plays the remote system for the console, its tests and benchmarks.
#include "DbgLog.h"
#include "cSimEventLog.h"
#include "cSimOptions.h"
#include "cSimReplay.h"
#include "cSimulator.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <csignal>
#include <cstdio>

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
        std::fputs(cSimOptions::Usage(), stdout);
        return 0;
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

    // The signals are caught before any thread starts; the handler only ends run().
    boost::asio::io_context io;
    boost::asio::signal_set signals(io, SIGINT, SIGTERM);
    cSimEventLog log(options.m_bQuiet);
    int nSignal = 0;
    signals.async_wait([&nSignal](const boost::system::error_code& ec, int nNumber) {
        if (!ec)
            nSignal = nNumber;
    });

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
        std::fprintf(stderr, "vms-sim: %s\n", sError.c_str());
        return kExitFailure;
    }
    io.run();
    log.Event("%s: stopping", nSignal == SIGINT ? "SIGINT" : "SIGTERM");
    simulator.Stop();
    return 0;
}
