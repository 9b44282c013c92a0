#include "cSimOptions.h"

#include "SerialPortCfg.h"
#include "cInstallLayout.h"
#include "cKestrumSettings.h"
#include "cSimEoStream.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <getopt.h>
#include <optional>

namespace
{
// Decimal, 0x.. or 0..; nMaximum fits an int32_t.
bool ParseInt(const char* szText, long nMinimum, long nMaximum, int32_t& nValue)
{
    long nParsed = 0;
    if (!cToolOptions::ParseInteger(szText, nMinimum, nMaximum, 0, nParsed))
        return false;
    nValue = static_cast<int32_t>(nParsed);
    return true;
}

bool ParseSeconds(const char* szText, double& dValue)
{
    char* pEnd = nullptr;
    errno = 0;
    const double dParsed = std::strtod(szText, &pEnd);
    if (errno != 0 || pEnd == szText || *pEnd != '\0' || !std::isfinite(dParsed) || dParsed < 0.0)
        return false;
    dValue = dParsed;
    return true;
}

const char* OptionName(const option* pOptions, int nCode)
{
    for (; pOptions->name; ++pOptions)
        if (pOptions->val == nCode)
            return pOptions->name;
    return "?";
}

enum : int
{
    kVariant = 'v',
    kPages = 'p',
    kSerial = 's',
    kQuiet = 'q',
    kHelp = 'h',
    kVersion = 'V',
    kBaud = 1000,
    kAddress,
    kBind,
    kPort,
    kReplyPort,
    kEoPort,
    kEoListenPort,
    kEoFormat,
    kEoTargets,
    kEoTags,
    kEoPeriod,
    kEoOn,
    kEoLifecycle,
    kEoCycleFormats,
    kBadChecksumEvery,
    kBadStatus,
    kBadStatusEvery,
    kUnknownItemEvery,
    kSilenceAfter,
    kSilenceFor,
    kNoHeartbeatAfter,
    kNoHeartbeatFor,
    kShortFrames,
    kFlood,
    kFloodRate,
    kReplay,
    kSpeed,
    kLoop,
    kReplayNow,
    kSettings,
    kHeartbeat,
    kSeed,
    kVideo,
    kVideoRtp,
    kVideoSize,
    kVideoFps,
    kVideoLoss,
    // Then three codes for each impairment: both directions, tx, rx.
    kImpairmentFirst = 2000,
};

// The impairments, each with three options: --loss, --loss-tx, --loss-rx.
enum eImpairment : int
{
    kLoss,
    kBurstLoss,
    kDelay,
    kJitter,
    kReorder,
    kDuplicate,
    kCorrupt,
    kImpairments
};
constexpr const char* kImpairmentNames[kImpairments] = {"loss",    "burst-loss", "delay",  "jitter",
                                                        "reorder", "duplicate",  "corrupt"};
constexpr const char* kDirectionSuffixes[3] = {"", "-tx", "-rx"};

bool ParseShare(const char* szText, double& dValue)
{
    return ParseSeconds(szText, dValue) && dValue <= 1.0;
}

// The value, in the unit of its setting, of one impairment.
bool ParseImpairment(int nWhich, const char* szText, double& dValue)
{
    int32_t nValue = 0;
    switch (nWhich)
    {
    case kBurstLoss:
        if (!ParseInt(szText, 1, 1000, nValue))
            return false;
        dValue = nValue;
        return true;
    case kDelay:
    case kJitter:
        if (!ParseInt(szText, 0, 60000, nValue))
            return false;
        dValue = nValue;
        return true;
    default: return ParseShare(szText, dValue);
    }
}

void SetImpairment(cSimImpairment::Settings& settings, int nWhich, double dValue)
{
    switch (nWhich)
    {
    case kLoss: settings.dLoss = dValue; break;
    case kBurstLoss: settings.nBurst = static_cast<int32_t>(dValue); break;
    case kDelay: settings.nDelayMs = static_cast<int32_t>(dValue); break;
    case kJitter: settings.nJitterMs = static_cast<int32_t>(dValue); break;
    case kReorder: settings.dReorder = dValue; break;
    case kDuplicate: settings.dDuplicate = dValue; break;
    case kCorrupt: settings.dCorrupt = dValue; break;
    default: break;
    }
}

// The fixed options and the generated ones of the impairments, ended as getopt_long wants.
std::vector<option> WithImpairmentOptions(const option* pFixed)
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const char* szName : kImpairmentNames)
            for (const char* szSuffix : kDirectionSuffixes)
                all.push_back(std::string(szName) + szSuffix);
        return all;
    }();
    std::vector<option> options;
    for (; pFixed->name; ++pFixed)
        options.push_back(*pFixed);
    for (size_t i = 0; i < names.size(); ++i)
        options.push_back({names[i].c_str(), required_argument, nullptr, kImpairmentFirst + static_cast<int>(i)});
    options.push_back({nullptr, 0, nullptr, 0});
    return options;
}

// "udp://HOST:PORT" (a transport stream) or "rtp://HOST:PORT" (RTP/H.264).
bool ParseVideoDestination(const char* szText, std::string& sHost, int32_t& nPort, bool& bRtp)
{
    const std::string sText = szText;
    const bool bUdp = sText.rfind("udp://", 0) == 0;
    if (!bUdp && sText.rfind("rtp://", 0) != 0)
        return false;
    const size_t nColon = sText.rfind(':');
    if (nColon <= 6 || !ParseInt(sText.c_str() + nColon + 1, 1, 65535, nPort))
        return false;
    sHost = sText.substr(6, nColon - 6);
    bRtp = bRtp || !bUdp;
    return true;
}

// "WxH", both even (the picture's colour is kept at half size each way), 16 to 4096.
bool ParseVideoSize(const char* szText, int32_t& nWidth, int32_t& nHeight)
{
    const std::string sText = szText;
    const size_t nX = sText.find('x');
    int32_t nW = 0;
    int32_t nH = 0;
    if (nX == std::string::npos || !ParseInt(sText.substr(0, nX).c_str(), 16, 4096, nW) ||
        !ParseInt(sText.substr(nX + 1).c_str(), 16, 4096, nH) || nW % 2 != 0 || nH % 2 != 0)
        return false;
    nWidth = nW;
    nHeight = nH;
    return true;
}

bool ParseOnOff(const char* szText, bool& bValue)
{
    const std::string sText = szText;
    if (sText == "on" || sText == "1")
        bValue = true;
    else if (sText == "off" || sText == "0")
        bValue = false;
    else
        return false;
    return true;
}
} // namespace

std::string cSimOptions::Usage(const std::string& sSettingsFile)
{
    return "Usage: vms-sim [options]\n"
           "\n"
           "Plays the remote system (the VMS) for the console: answers commands and queries\n"
           "for the items of the page definitions file, sends requested items periodically,\n"
           "exchanges heartbeats (variant 1) and streams EO track reports when asked to.\n"
           "Stops cleanly on Ctrl-C (SIGINT) or SIGTERM.\n"
           "\n"
           "The link's defaults come from the console's settings file, so that the two\n"
           "agree: the file named by --settings, else config/Kestrum.xml in the working\n"
           "folder, else the user's own $XDG_CONFIG_HOME/kestrum/Kestrum.xml\n"
           "(~/.config/kestrum/Kestrum.xml), made from the installed samples on first\n"
           "start, as the console chooses. Here that is:\n"
           "    " + sSettingsFile + "\n"
           "The per-user comms settings (~/.config/Halvorn Ltd/Kestrum.conf, under\n"
           "$XDG_CONFIG_HOME when set) override its comms keys, as in the console, and every\n"
           "option overrides both. When the file cannot be read, the built-in defaults\n"
           "(after \"else\") apply.\n"
           "\n"
           "Link:\n"
           "      --settings FILE      the console's settings file to take the defaults from\n"
           "  -v, --variant N          0: short frames, 1: long frames (default: nControllerType\n"
           "                           of the settings file, else 0)\n"
           "      --heartbeat on|off   heartbeats in variant 1 (default: bUseVMS_HeartBeat of the\n"
           "                           settings file, else on)\n"
           "  -p, --pages PATH         page definitions file (default: sPageDefinitionsFile of\n"
           "                           the settings file, else config/PageDefinitions.xml; the\n"
           "                           installed sample of that name when the file is not\n"
           "                           there); Index is read in variant 1 only, as the console does\n"
           "  -s, --serial DEVICE      page protocol over this serial device (/dev/ttyUSB0,\n"
           "                           /dev/pts/N) instead of UDP (default: UDP, or serial when\n"
           "                           nCommsMethod of the settings file is 0, on its\n"
           "                           sSerialDevice, else /dev/ttyS<nComPort - 1>; --port or\n"
           "                           --reply-port keep UDP)\n"
           "      --baud N             serial bit rate (default: nBaudRate of the settings file,\n"
           "                           else 115200)\n"
           "      --address ADDR       the console's address (default 127.0.0.1)\n"
           "      --bind ADDR          local address to listen on (default 0.0.0.0)\n"
           "      --port N             UDP port for commands (default: nTxPort of the settings\n"
           "                           file, else 9876; 0: any free port)\n"
           "      --reply-port N       the console's UDP port for answers (default: nRxPort of\n"
           "                           the settings file, else 9879)\n"
           "      --eo-port N          the console's EO track port (default: nRxPort of the\n"
           "                           settings file's EoTrackData, else 9186)\n"
           "      --eo-listen-port N   our EO port, where the console's first empty datagram\n"
           "                           arrives (default: nTxPort of the settings file's\n"
           "                           EoTrackData, else 9886; 0: any free port)\n"
           "  Answers go to where the first datagram came from once one has arrived.\n"
           "\n"
           "Periodic requests (item 0x70 rate, item 0x71 mask, per SubSystem/Index):\n"
           "  rate R sends the masked items of that group every R x 100 ms: rate 1 every\n"
           "  100 ms (what the console asks for over UDP), rate 4 every 400 ms (over serial),\n"
           "  up to rate 255 every 25.5 s; rate 0 stops the group. Periodic frames carry\n"
           "  transmission trigger 1 (status byte 0x40); answers to commands trigger 0.\n"
           "\n"
           "EO track stream (item 0x28: variant 0 SubSystem 0, variant 1 SubSystem 6 Index 0;\n"
           "non-zero starts it, 0 stops it). Track reports (identifier 7) and tag reports\n"
           "(identifier 8) of targets circling in a 640 x 480 picture:\n"
           "      --eo-format F        record layout 0, 1 (with range), 30 (plain integers) or\n"
           "                           33 (extra values); 8, 9, 31 and 32 are accepted as aliases\n"
           "                           of their layouts (default 0)\n"
           "      --eo-targets N       tracks per report, 0 to 32 and as many as fit a frame\n"
           "                           (default 4)\n"
           "      --eo-tags N          tags per report, the first N targets (default 1)\n"
           "      --eo-period MS       one track and one tag report every MS ms (default 100)\n"
           "      --eo-on              stream from the start\n"
           "      --eo-lifecycle       tracks come and go: each target appears once a minute,\n"
           "                           is acquired, tracked, coasts a while, and disappears;\n"
           "                           every appearance is a new track ID\n"
           "      --eo-cycle-formats S every S seconds the next format of 0, 1, 8, 9, 30, 31,\n"
           "                           32, 33, starting from --eo-format (targets: at most 20)\n"
           "\n"
           "Faults, for tests:\n"
           "      --bad-checksum-every N   every Nth frame sent carries a wrong checksum\n"
           "      --bad-status CODE        status frames carry error code CODE (1 to 15)...\n"
           "      --bad-status-every N     ...every Nth of them (default 1: all)\n"
           "      --unknown-item-every N   every Nth status frame starts with an item that is\n"
           "                               not in the page definitions\n"
           "      --silence-after S        from S seconds after start (default 0)...\n"
           "      --silence-for T          ...send nothing at all for T seconds\n"
           "      --no-heartbeat-after S   from S seconds after start (default 0)...\n"
           "      --no-heartbeat-for T     ...send no heartbeat for T seconds\n"
           "      --short-frames           every frame loses the last byte of its payload (length\n"
           "                               field and checksum still agree with what is sent)\n"
           "  Frames are counted per link (page protocol, EO stream).\n"
           "\n"
           "Network impairment, a bad radio or cellular link (UDP links only: a serial link\n"
           "is not impaired). Each applies both ways by default, each way on its own\n"
           "decisions; -tx after a name narrows it to what vms-sim sends to the console,\n"
           "-rx to what the console sends to vms-sim, spoilt before vms-sim handles it\n"
           "(--loss 1 --loss-rx 0: nothing arrives at the console, commands still work).\n"
           "P is a share of datagrams, 0 to 1 (off: 0):\n"
           "      --loss P             lose datagrams (--loss-tx P, --loss-rx P)\n"
           "      --burst-loss N       each loss takes N datagrams in a row; --loss stays the\n"
           "                           share lost (default 1)\n"
           "      --delay MS           hold every datagram MS ms, 0 to 60000\n"
           "      --jitter MS          hold each up to MS ms more, at random (uniform); datagrams\n"
           "                           leave by their due times, so jitter reorders them too\n"
           "                           (not the video's: a stream keeps its order)\n"
           "      --reorder P          hold a datagram back until the next one has gone (at most\n"
           "                           200 ms past its time when none follows)\n"
           "      --duplicate P        send a datagram twice\n"
           "      --corrupt P          flip one bit of one byte: same length, checksum fails\n"
           "                           (sync and length bytes are spared)\n"
           "      --seed S             the random decisions, 0 to 4294967295 (default: from the\n"
           "                           clock); the same seed repeats them, link by link and way\n"
           "                           by way. The start line names the impairments and the seed\n"
           "  The console sends only on the page link, so -rx affects the page link alone.\n"
           "\n"
           "Sensor video (H.264 from x264enc, low latency, an I-frame every second), drawn\n"
           "from the simulator's own state: ground that pans with the Az/El deck positions\n"
           "and zooms with the first camera's zoom position (40 to 2 degrees across), and\n"
           "the EO targets where their tracks report them:\n"
           "      --video udp://HOST:PORT  send an MPEG transport stream (1316-byte datagrams)\n"
           "                           with a KLV metadata packet per frame (time stamp, field\n"
           "                           of view, sensor azimuth and elevation); rtp://HOST:PORT\n"
           "                           sends RTP/H.264 instead. The console's default source is\n"
           "                           udp://127.0.0.1:5600\n"
           "      --video-rtp          RTP/H.264 (payload type 96, no KLV) to the --video address\n"
           "      --video-size WxH     picture size, even numbers (default 640x480)\n"
           "      --video-fps N        frames per second, 1 to 120 (default 30)\n"
           "      --video-loss P       lose this share of the video's datagrams, on top of what\n"
           "                           the network options (which spoil the video too) lose\n"
           "\n"
           "Load:\n"
           "      --flood N            on the first periodic request, send that group N times\n"
           "                           back to back before its periodic sending starts\n"
           "      --flood-rate FPS     frames per second of the flood (default 0: as fast as\n"
           "                           the link takes them)\n"
           "\n"
           "Replay of a recorded session (instead of the simulation):\n"
           "      --replay FILE        send the frames that a console's traffic log recorded as\n"
           "                           received (\"Rx\" lines of Kestrum.txt with bLogRx, or of a\n"
           "                           *_CommsLog.DEBUG.txt) to the console, with their original\n"
           "                           timing; given twice or more, the logs are merged by time.\n"
           "                           Frames recorded in part or with a bad checksum are sent as\n"
           "                           recorded; EO track frames go to the EO port. A pcap file\n"
           "                           (Ethernet, raw IPv4 or Linux cooked) plays the UDP\n"
           "                           datagrams it holds to the console's page and EO ports.\n"
           "                           Playback starts with the console's first frame and ends\n"
           "                           the program\n"
           "      --speed X            play X times as fast (0.5: half speed; default 1)\n"
           "      --loop               start again after the last frame, until stopped\n"
           "      --replay-now         start at once instead of waiting for the console\n"
           "\n"
           "  -q, --quiet              print nothing but errors\n"
           "  -h, --help               show this text\n"
           "  -V, --version            show the version\n"
           "\n"
           "Every significant event is one line on standard output: start, sets, queries,\n"
           "unknown items, periodic groups, heartbeat state, EO stream, faults, stop.\n"
           "Unknown items are answered with error code 2, sets of read-only items with 5,\n"
           "a value cut short with 6, a command with a wrong checksum with 1.\n"
           "Diagnostics of the transports go to standard error and VmsSimDebugLog.txt.\n"
           "\n"
           "Exit status: 0 stopped by a signal or replay finished; 1 could not start (or a\n"
           "replayed log could not be read); 64 wrong usage.\n";
}

cSimOptions::eParse cSimOptions::Parse(int argc, char* argv[])
{
    static const option kOptions[] = {
        {"settings", required_argument, nullptr, kSettings},
        {"variant", required_argument, nullptr, kVariant},
        {"heartbeat", required_argument, nullptr, kHeartbeat},
        {"pages", required_argument, nullptr, kPages},
        {"serial", required_argument, nullptr, kSerial},
        {"baud", required_argument, nullptr, kBaud},
        {"address", required_argument, nullptr, kAddress},
        {"bind", required_argument, nullptr, kBind},
        {"port", required_argument, nullptr, kPort},
        {"reply-port", required_argument, nullptr, kReplyPort},
        {"eo-port", required_argument, nullptr, kEoPort},
        {"eo-listen-port", required_argument, nullptr, kEoListenPort},
        {"eo-format", required_argument, nullptr, kEoFormat},
        {"eo-targets", required_argument, nullptr, kEoTargets},
        {"eo-tags", required_argument, nullptr, kEoTags},
        {"eo-period", required_argument, nullptr, kEoPeriod},
        {"eo-on", no_argument, nullptr, kEoOn},
        {"eo-lifecycle", no_argument, nullptr, kEoLifecycle},
        {"eo-cycle-formats", required_argument, nullptr, kEoCycleFormats},
        {"bad-checksum-every", required_argument, nullptr, kBadChecksumEvery},
        {"bad-status", required_argument, nullptr, kBadStatus},
        {"bad-status-every", required_argument, nullptr, kBadStatusEvery},
        {"unknown-item-every", required_argument, nullptr, kUnknownItemEvery},
        {"silence-after", required_argument, nullptr, kSilenceAfter},
        {"silence-for", required_argument, nullptr, kSilenceFor},
        {"no-heartbeat-after", required_argument, nullptr, kNoHeartbeatAfter},
        {"no-heartbeat-for", required_argument, nullptr, kNoHeartbeatFor},
        {"short-frames", no_argument, nullptr, kShortFrames},
        {"flood", required_argument, nullptr, kFlood},
        {"flood-rate", required_argument, nullptr, kFloodRate},
        {"quiet", no_argument, nullptr, kQuiet},
        {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},
        {"replay", required_argument, nullptr, kReplay},
        {"speed", required_argument, nullptr, kSpeed},
        {"loop", no_argument, nullptr, kLoop},
        {"replay-now", no_argument, nullptr, kReplayNow},
        {"seed", required_argument, nullptr, kSeed},
        {"video", required_argument, nullptr, kVideo},
        {"video-rtp", no_argument, nullptr, kVideoRtp},
        {"video-size", required_argument, nullptr, kVideoSize},
        {"video-fps", required_argument, nullptr, kVideoFps},
        {"video-loss", required_argument, nullptr, kVideoLoss},
        {nullptr, 0, nullptr, 0},
    };
    static const std::vector<option> kAllOptions = WithImpairmentOptions(kOptions);
    // Given values by impairment and form (both, tx, rx); a one-way form
    // outranks the two-way one wherever it stands on the line.
    std::array<std::array<std::optional<double>, 3>, kImpairments> impairments{};
    optind = 1;
    opterr = 0;
    int nOption;
    bool bHelp = false;
    bool bVersion = false;
    bool bTagsGiven = false;
    bool bReplayOptions = false;
    while ((nOption = getopt_long(argc, argv, ":v:p:s:qhV", kAllOptions.data(), nullptr)) != -1)
    {
        bool bOk = true;
        if (nOption >= kImpairmentFirst && nOption < kImpairmentFirst + 3 * kImpairments)
        {
            const int nWhich = (nOption - kImpairmentFirst) / 3;
            double dValue = 0.0;
            if (!ParseImpairment(nWhich, optarg, dValue))
                return Fail(std::string("invalid value \"") + optarg + "\" for --" +
                            OptionName(kAllOptions.data(), nOption));
            impairments[static_cast<size_t>(nWhich)][static_cast<size_t>((nOption - kImpairmentFirst) % 3)] = dValue;
            continue;
        }
        switch (nOption)
        {
        case kSettings: m_sSettingsFile = optarg; break;
        case kVariant: bOk = ParseInt(optarg, 0, 1, m_nVariant); break;
        case kHeartbeat: bOk = ParseOnOff(optarg, m_bHeartbeat); break;
        case kPages: m_sPagesFile = optarg; break;
        case kSerial: m_sSerialDevice = optarg; break;
        case kBaud: bOk = ParseInt(optarg, 1, INT32_MAX, m_nBaudRate); break;
        case kAddress: m_sAddress = optarg; break;
        case kBind: m_sBindAddress = optarg; break;
        case kPort: bOk = ParseInt(optarg, 0, 65535, m_nPort); break;
        case kReplyPort: bOk = ParseInt(optarg, 1, 65535, m_nReplyPort); break;
        case kEoPort: bOk = ParseInt(optarg, 1, 65535, m_nEoPort); break;
        case kEoListenPort: bOk = ParseInt(optarg, 0, 65535, m_nEoListenPort); break;
        case kEoFormat: bOk = ParseInt(optarg, 0, 255, m_nEoFormat); break;
        case kEoTargets: bOk = ParseInt(optarg, 0, 32, m_nEoTargets); break;
        case kEoTags:
            bOk = ParseInt(optarg, 0, 32, m_nEoTags);
            bTagsGiven = true;
            break;
        case kEoPeriod: bOk = ParseInt(optarg, 10, 60000, m_nEoPeriodMs); break;
        case kEoOn: m_bEoOn = true; break;
        case kEoLifecycle: m_bEoLifecycle = true; break;
        case kEoCycleFormats: bOk = ParseSeconds(optarg, m_dEoCycleFormats) && m_dEoCycleFormats >= 0.1; break;
        case kBadChecksumEvery: bOk = ParseInt(optarg, 1, INT32_MAX, m_nBadChecksumEvery); break;
        case kBadStatus: bOk = ParseInt(optarg, 1, 15, m_nBadStatus); break;
        case kBadStatusEvery: bOk = ParseInt(optarg, 1, INT32_MAX, m_nBadStatusEvery); break;
        case kUnknownItemEvery: bOk = ParseInt(optarg, 1, INT32_MAX, m_nUnknownItemEvery); break;
        case kSilenceAfter: bOk = ParseSeconds(optarg, m_dSilenceAfter); break;
        case kSilenceFor: bOk = ParseSeconds(optarg, m_dSilenceFor); break;
        case kNoHeartbeatAfter: bOk = ParseSeconds(optarg, m_dNoHeartbeatAfter); break;
        case kNoHeartbeatFor: bOk = ParseSeconds(optarg, m_dNoHeartbeatFor); break;
        case kShortFrames: m_bShortFrames = true; break;
        case kFlood: bOk = ParseInt(optarg, 1, INT32_MAX, m_nFlood); break;
        case kFloodRate: bOk = ParseSeconds(optarg, m_dFloodRate); break;
        case kQuiet: m_bQuiet = true; break;
        case kHelp: bHelp = true; break;
        case kVersion: bVersion = true; break;
        case kReplay: m_ReplayFiles.push_back(optarg); break;
        case kSpeed:
            bOk = ParseSeconds(optarg, m_dReplaySpeed) && m_dReplaySpeed >= 0.01 && m_dReplaySpeed <= 1000.0;
            bReplayOptions = true;
            break;
        case kLoop:
            m_bReplayLoop = true;
            bReplayOptions = true;
            break;
        case kSeed:
        {
            long nSeed = 0;
            bOk = cToolOptions::ParseInteger(optarg, 0, UINT32_MAX, 0, nSeed);
            m_nSeed = static_cast<uint32_t>(nSeed);
            break;
        }
        case kReplayNow:
            m_bReplayNow = true;
            bReplayOptions = true;
            break;
        case kVideo: bOk = ParseVideoDestination(optarg, m_sVideoHost, m_nVideoPort, m_bVideoRtp); break;
        case kVideoRtp: m_bVideoRtp = true; break;
        case kVideoSize: bOk = ParseVideoSize(optarg, m_nVideoWidth, m_nVideoHeight); break;
        case kVideoFps: bOk = ParseInt(optarg, 1, 120, m_nVideoFps); break;
        case kVideoLoss: bOk = ParseShare(optarg, m_dVideoLoss); break;
        default:
            return FailOption(nOption, argv);
        }
        if (!bOk)
            return Fail(std::string("invalid value \"") + optarg + "\" for --" + OptionName(kAllOptions.data(), nOption));
        m_Given.insert(nOption);
    }
    if (optind < argc)
        return Fail(std::string("unexpected argument \"") + argv[optind] + "\"");
    if (bHelp)
        return eParse::Help;
    if (bVersion)
        return eParse::Version;
    if (bReplayOptions && m_ReplayFiles.empty())
        return Fail("--speed, --loop and --replay-now go with --replay FILE");
    if (!VideoOn() && (Given(kVideoRtp) || Given(kVideoSize) || Given(kVideoFps) || Given(kVideoLoss)))
        return Fail("--video-rtp, --video-size, --video-fps and --video-loss go with --video udp://HOST:PORT");
    for (int nWhich = 0; nWhich < kImpairments; ++nWhich)
    {
        const auto& given = impairments[static_cast<size_t>(nWhich)];
        if (const std::optional<double>& tx = given[1] ? given[1] : given[0])
            SetImpairment(m_ImpairTx, nWhich, *tx);
        if (const std::optional<double>& rx = given[2] ? given[2] : given[0])
            SetImpairment(m_ImpairRx, nWhich, *rx);
    }
    if (!Given(kSeed))
        m_nSeed = static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
    if (!bTagsGiven && m_nEoTags > m_nEoTargets)
        m_nEoTags = m_nEoTargets;  // the default follows fewer targets
    return Check() ? eParse::Run : eParse::Error;
}

void cSimOptions::ResolvePagesFile()
{
    if (!Given(kPages))
        m_sPagesFile = cInstallLayout::ExistingOrSample(m_sPagesFile);
}

void cSimOptions::TakeDefaults(const cKestrumSettings& settings, std::vector<std::string>& problems)
{
    const CommsSettings& comms = settings.m_CommsSettings;
    // A number from the file passes the range its option would.
    auto take = [&](int nOption, const char* szKey, int32_t nValue, int32_t nMost, int32_t& nTarget) {
        if (Given(nOption))
            return;
        if (nValue < 1 || nValue > nMost)
            problems.push_back(std::string(szKey) + " " + std::to_string(nValue) + " is not 1 to " +
                               std::to_string(nMost));
        else
            nTarget = nValue;
    };
    if (!Given(kVariant))
    {
        if (settings.nControllerType == 0 || settings.nControllerType == 1)
            m_nVariant = settings.nControllerType;
        else
            problems.push_back("nControllerType " + std::to_string(settings.nControllerType) +
                               " names no frame variant (0 short, 1 long)");
    }
    if (!Given(kHeartbeat))
        m_bHeartbeat = settings.bUseVMS_HeartBeat;
    if (!Given(kPages) && !settings.sPageDefinitionsFile.empty())
        m_sPagesFile = settings.sPageDefinitionsFile;
    take(kPort, "nTxPort", comms.nTxPort, 65535, m_nPort);
    take(kReplyPort, "nRxPort", comms.nRxPort, 65535, m_nReplyPort);
    take(kEoListenPort, "EoTrackData nTxPort", comms.nEoTxPort, 65535, m_nEoListenPort);
    take(kEoPort, "EoTrackData nRxPort", comms.nEoRxPort, 65535, m_nEoPort);
    take(kBaud, "nBaudRate", comms.nBaudRate, INT32_MAX, m_nBaudRate);
    // The EO picture's size has no option: the file alone gives it (-1).
    take(-1, "EoTrackData nPictureWidth", settings.nPictureWidth, 100000, m_nPictureWidth);
    take(-1, "EoTrackData nPictureHeight", settings.nPictureHeight, 100000, m_nPictureHeight);
    // The console has checked its designation address already; the file alone gives it.
    const cVideoSettings& video = settings.m_VideoSettings;
    m_nDesignateSubSystem = video.nDesignateSubSystem;
    m_nDesignateIndex = video.nDesignateIndex;
    m_nDesignateItemX = video.nDesignateItemX;
    m_nDesignateItemY = video.nDesignateItemY;

    // A UDP port on the command line says UDP, whatever the file's transport.
    if (Given(kSerial) || Given(kPort) || Given(kReplyPort))
        return;
    if (comms.nCommsMethod == CommsSettings::kSerial)
    {
        SerialPortCfg serial;
        serial.nPortNumber = comms.nComPort;
        serial.sDevice = comms.sSerialDevice;
        m_sSerialDevice = serial.DevicePath();
    }
    else if (comms.nCommsMethod != CommsSettings::kUdp)
    {
        problems.push_back("nCommsMethod " + std::to_string(comms.nCommsMethod) +
                           " names no transport (0 serial, 2 UDP)");
    }
}

std::string cSimOptions::VideoDestination() const
{
    return (m_bVideoRtp ? "rtp://" : "udp://") + m_sVideoHost + ":" + std::to_string(m_nVideoPort);
}

bool cSimOptions::SerialFromSettings() const
{
    return !m_sSerialDevice.empty() && !Given(kSerial);
}

std::string cSimOptions::LinkSummary() const
{
    std::string sSummary = "variant " + std::to_string(m_nVariant);
    if (Variant() == RC_Variant::LongFrames)
        sSummary += m_bHeartbeat ? " with heartbeat" : " without heartbeat";
    if (!m_sSerialDevice.empty())
        sSummary += ", serial " + m_sSerialDevice + " at " + std::to_string(m_nBaudRate) + " bit/s";
    else
        sSummary += ", UDP " + std::to_string(m_nPort) + " -> " + m_sAddress + ":" + std::to_string(m_nReplyPort);
    sSummary += ", EO " + std::to_string(m_nEoListenPort) + " -> " + std::to_string(m_nEoPort);

    std::string sGiven;
    for (const auto& [nOption, szName] : {std::pair<int, const char*>{kVariant, "--variant"},
                                          {kHeartbeat, "--heartbeat"},
                                          {kSerial, "--serial"},
                                          {kBaud, "--baud"},
                                          {kPort, "--port"},
                                          {kReplyPort, "--reply-port"},
                                          {kEoListenPort, "--eo-listen-port"},
                                          {kEoPort, "--eo-port"}})
    {
        if (Given(nOption))
            sGiven += (sGiven.empty() ? "" : ", ") + std::string(szName);
    }
    if (!sGiven.empty())
        sSummary += " (" + sGiven + " from the command line)";
    return sSummary;
}

std::string cSimOptions::ImpairmentSummary() const
{
    const std::string sTx = m_ImpairTx.Describe();
    const std::string sRx = m_ImpairRx.Describe();
    std::string sSummary = sTx == sRx ? "network, both ways: " + sTx
                                      : "network: to the console " + sTx + "; from the console " + sRx;
    sSummary += "; seed " + std::to_string(m_nSeed) + (Given(kSeed) ? "" : " (from the clock)");
    if (!m_sSerialDevice.empty())
        sSummary += "; the serial page link is not impaired";
    return sSummary;
}

bool cSimOptions::Check()
{
    const size_t nRecord = cSimEoStream::RecordSize(m_nEoFormat);
    if (nRecord == 0)
    {
        m_sError = "--eo-format must be 0, 1, 8, 9, 30, 31, 32 or 33";
        return false;
    }
    const int32_t nMostTargets = cSimEoStream::MostTracks(m_nEoFormat);
    if (m_nEoTargets > nMostTargets)
    {
        m_sError = "--eo-targets: at most " + std::to_string(nMostTargets) + " records of format " +
                   std::to_string(m_nEoFormat) + " fit one frame";
        return false;
    }
    if (m_dEoCycleFormats > 0.0 && m_nEoTargets > cSimEoStream::MostTracksOfAnyFormat())
    {
        m_sError = "--eo-targets: at most " + std::to_string(cSimEoStream::MostTracksOfAnyFormat()) +
                   " records of every format fit one frame";
        return false;
    }
    if (m_nEoTags > m_nEoTargets)
    {
        m_sError = "--eo-tags cannot be more than --eo-targets";
        return false;
    }
    return true;
}
