#include "cScenarioOptions.h"

#include <getopt.h>

namespace
{
enum : int
{
    kHelp = 'h',
    kVersion = 'V',
    kSettings = 1000,
    kScenario,
    kList,
    kLog,
    kTickMs,
    kCycles,
};
} // namespace

const char* cScenarioOptions::Usage()
{
    return "Usage: kestrum-scenario [options] [TEST]\n"
           "\n"
           "Runs one system test of a test scenario file against the remote system, as the\n"
           "console's test dialog does, without a display: one step every 25 ticks, WAIT steps\n"
           "in real seconds, and FINISH ends the run.\n"
           "\n"
           "  TEST                  the test to run (default: the first of the file)\n"
           "      --settings PATH   the console's settings file (default config/Kestrum.xml);\n"
           "                        the per-user comms settings override it as they do in\n"
           "                        the console\n"
           "      --scenario PATH   the test scenario file (default: sTestScenarioFile of the\n"
           "                        settings, else config/TestScenario.xml)\n"
           "      --list            print the names of the tests, one a line, and exit\n"
           "      --log             write the test log TestLogs/Test-YYYY-MM-DD_HH-MM-SS.csv\n"
           "      --tick-ms N       the tick, 1 to 60000 ms (default 100: a step every 2.5 s)\n"
           "      --cycles N        end after N passes through a test without FINISH\n"
           "  -h, --help            show this text\n"
           "  -V, --version         show the version\n"
           "\n"
           "Prints each status as the dialog shows it (\"COMMAND : label\", \"QUERY : label\",\n"
           "\"WAIT : n\", \"FINISHED\"), \"  label = value\" when a queried item that the page\n"
           "definitions define answers, and \"LINK : Active\" or \"LINK : Inactive\" when the\n"
           "link changes.\n"
           "\n"
           "Exit status: 0 when FINISH ran or the --cycles passes are done; 1 when the scenario\n"
           "file cannot be read, has no such test, or the link or the log cannot be opened;\n"
           "2 for wrong usage; 130 after SIGINT or SIGTERM. Every exit first tells the remote\n"
           "system to stop its periodic transmissions.\n";
}

cToolOptions::eParse cScenarioOptions::Parse(int argc, char* argv[])
{
    static const option kOptions[] = {
        {"settings", required_argument, nullptr, kSettings},
        {"scenario", required_argument, nullptr, kScenario},
        {"list", no_argument, nullptr, kList},
        {"log", no_argument, nullptr, kLog},
        {"tick-ms", required_argument, nullptr, kTickMs},
        {"cycles", required_argument, nullptr, kCycles},
        {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    optind = 1;
    opterr = 0;
    int nOption = 0;
    long nNumber = 0;
    while ((nOption = getopt_long(argc, argv, ":hV", kOptions, nullptr)) != -1)
    {
        switch (nOption)
        {
        case kSettings:
            m_sSettingsPath = optarg;
            break;
        case kScenario:
            m_sScenarioPath = optarg;
            break;
        case kList:
            m_bList = true;
            break;
        case kLog:
            m_bLog = true;
            break;
        case kTickMs:
            if (!ParseInteger(optarg, 1, 60000, 10, nNumber))
                return Fail(std::string("--tick-ms wants a number of milliseconds from 1 to 60000, not \"") + optarg +
                            "\"");
            m_nTickMs = static_cast<int32_t>(nNumber);
            break;
        case kCycles:
            if (!ParseInteger(optarg, 1, 1000000, 10, nNumber))
                return Fail(std::string("--cycles wants a number from 1 to 1000000, not \"") + optarg + "\"");
            m_nCycles = static_cast<int32_t>(nNumber);
            break;
        case kHelp:
            return eParse::Help;
        case kVersion:
            return eParse::Version;
        default:
            return FailOption(nOption, argv);
        }
    }
    if (optind < argc)
        m_sTest = argv[optind++];
    if (optind < argc)
        return Fail(std::string("unexpected argument \"") + argv[optind] + "\"");
    return eParse::Run;
}
