#include "cProbeOptions.h"

#include <cstdint>
#include <getopt.h>

const char* cProbeOptions::Usage()
{
    return "Usage: joyvane-probe [options] [N]\n"
           "\n"
           "Shows what joystick N reports, read exactly as the console reads it: the\n"
           "Joyvane plug-in loaded through Portelle, one record every 100 ms, until Ctrl-C.\n"
           "Use it to check a stick before a mission: move every axis, hat and button and\n"
           "watch the values follow.\n"
           "\n"
           "  N                     index among the attached joysticks and gamepads, 0 first\n"
           "                        (default 0)\n"
           "  -s, --settings PATH   settings file; Joyvane reads its section ConDirectXCfgN\n"
           "                        (default config/Kestrum.xml; a missing file only warns)\n"
           "  -p, --plugin PATH     controller plug-in (default libJoyvane.so, looked for\n"
           "                        beside this program first)\n"
           "  -n, --count K         stop after K records\n"
           "  -c, --changes         print a record only when something changed\n"
           "  -h, --help            show this text\n"
           "  -V, --version         show the version\n"
           "\n"
           "Each record shows the six axes and two sliders (-1.000 to +1.000; \"--\" for an axis\n"
           "the device lacks), the hat in degrees (-1 centred), the pressed buttons (0 first)\n"
           "and \"stale\" when the device stopped answering (the last values read).\n"
           "\n"
           "Exit status: 0 stopped by Ctrl-C or after K records; 2 no joystick at index N;\n"
           "1 the plug-in could not be loaded or started; 64 wrong usage.\n"
           "Portelle and Joyvane write their diagnostics to standard error and to\n"
           "PortelleDbg.txt and JoyvaneDbg.txt in the working folder. A joystick the user\n"
           "may not read is named there; the fix is membership of the 'input' group.\n";
}

cProbeOptions::eParse cProbeOptions::Parse(int argc, char* argv[])
{
    static const option kOptions[] = {
        {"settings", required_argument, nullptr, 's'}, {"plugin", required_argument, nullptr, 'p'},
        {"count", required_argument, nullptr, 'n'},    {"changes", no_argument, nullptr, 'c'},
        {"help", no_argument, nullptr, 'h'},           {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    optind = 1;
    opterr = 0;
    int nOption;
    while ((nOption = getopt_long(argc, argv, ":s:p:n:chV", kOptions, nullptr)) != -1)
    {
        switch (nOption)
        {
        case 's':
            m_sSettings = optarg;
            break;
        case 'p':
            m_sPlugin = optarg;
            break;
        case 'n':
            if (!ParseInteger(optarg, 1, INT32_MAX, 10, m_nCount))
                return Fail(std::string("--count wants a number of records, not \"") + optarg + "\"");
            break;
        case 'c':
            m_bChangesOnly = true;
            break;
        case 'h':
            return eParse::Help;
        case 'V':
            return eParse::Version;
        default:
            return FailOption(nOption, argv);
        }
    }
    if (optind < argc)
    {
        long nDevice = 0;
        if (!ParseInteger(argv[optind], 0, INT32_MAX, 10, nDevice))
            return Fail(std::string("the device index is a number from 0, not \"") + argv[optind] + "\"");
        m_nDevice = static_cast<int32_t>(nDevice);
        ++optind;
    }
    if (optind < argc)
        return Fail(std::string("unexpected argument \"") + argv[optind] + "\"");
    if (m_sSettings.empty() || m_sPlugin.empty())
        return Fail("the settings and plug-in paths may not be empty");
    return eParse::Run;
}
