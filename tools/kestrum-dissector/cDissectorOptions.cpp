#include "cDissectorOptions.h"

#include <getopt.h>

namespace
{
enum : int
{
    kHelp = 'h',
    kVersion = 'V',
    kOutput = 'o',
    kSettings = 1000,
    kPages,
    kPcap,
};
} // namespace

std::string cDissectorOptions::Usage(const std::string& sSettingsFile)
{
    return "Usage: kestrum-dissector [options]\n"
           "       kestrum-dissector --pcap LOG [--pcap LOG ...] -o FILE.pcap [options]\n"
           "\n"
           "Writes a Wireshark dissector (Lua) for the console's remote-control protocol:\n"
           "frame kind (short, long, EO, heartbeat), subsystem, index, status byte, every item\n"
           "with its label and type from the page definitions and its value decoded as the\n"
           "console decodes it, queries, EO track reports, and the checksum verified. It is\n"
           "registered on the UDP ports of the settings (page link and EO link, both ports\n"
           "each) and finds frames on other ports by their sync byte, length and checksum.\n"
           "Enable it with tshark -X lua_script:FILE, or copy it into\n"
           "~/.local/lib/wireshark/plugins/.\n"
           "\n"
           "With --pcap it writes the console's traffic logs (Kestrum.txt with bLogRx and\n"
           "bLogTx, or a *_CommsLog.DEBUG.txt) as a pcap file of UDP datagrams on loopback\n"
           "between the settings' ports, which Wireshark opens and vms-sim --replay plays.\n"
           "\n"
           "      --settings FILE   the console's settings file (default: the one the console\n"
           "                        would read, now " +
           sSettingsFile +
           "), with the\n"
           "                        per-user comms settings over it, as the console takes them\n"
           "      --pages FILE      the page definitions (default: sPageDefinitionsFile of the\n"
           "                        settings); with bDisplayLandingDialog the landing dialog's\n"
           "                        items are added, as the console adds them\n"
           "  -o, --output FILE     where to write (default: standard output; --pcap needs it)\n"
           "      --pcap LOG        convert this traffic log; given twice or more, the logs are\n"
           "                        merged by time\n"
           "  -h, --help            show this text\n"
           "  -V, --version         show the version\n"
           "\n"
           "Exit status: 0 written; 1 a file could not be read or written; 2 wrong usage.\n";
}

cToolOptions::eParse cDissectorOptions::Parse(int argc, char* argv[])
{
    static const option kOptions[] = {
        {"settings", required_argument, nullptr, kSettings},
        {"pages", required_argument, nullptr, kPages},
        {"output", required_argument, nullptr, kOutput},
        {"pcap", required_argument, nullptr, kPcap},
        {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    optind = 1;
    opterr = 0;
    int nOption = 0;
    while ((nOption = getopt_long(argc, argv, ":hVo:", kOptions, nullptr)) != -1)
    {
        switch (nOption)
        {
        case kSettings:
            m_sSettingsFile = optarg;
            break;
        case kPages:
            m_sPagesFile = optarg;
            break;
        case kOutput:
            m_sOutput = optarg;
            break;
        case kPcap:
            m_PcapLogs.push_back(optarg);
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
        return Fail(std::string("unexpected argument \"") + argv[optind] + "\"");
    if (Converting() && m_sOutput.empty())
        return Fail("--pcap writes a capture file: name it with -o FILE");
    if (Converting() && !m_sPagesFile.empty())
        return Fail("--pages goes with writing the dissector, not with --pcap");
    return eParse::Run;
}
