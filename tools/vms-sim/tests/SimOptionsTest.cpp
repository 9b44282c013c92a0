#include "cSimOptions.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
cSimOptions::eParse Parse(cSimOptions& options, std::vector<std::string> args)
{
    args.insert(args.begin(), "vms-sim");
    std::vector<char*> argv;
    for (std::string& sArg : args)
        argv.push_back(sArg.data());
    return options.Parse(static_cast<int>(argv.size()), argv.data());
}
} // namespace

// With no options the simulator sits where the console looks for the remote system.
TEST(SimOptions, DefaultsMirrorTheConsoleDefaults)
{
    cSimOptions options;
    ASSERT_EQ(Parse(options, {}), cSimOptions::eParse::Run);
    EXPECT_EQ(options.m_nVariant, 0);
    EXPECT_EQ(options.m_sPagesFile, "config/PageDefinitions.xml");
    EXPECT_EQ(options.m_sAddress, "127.0.0.1");
    EXPECT_EQ(options.m_nPort, 9876);
    EXPECT_EQ(options.m_nReplyPort, 9879);
    EXPECT_EQ(options.m_nEoPort, 9186);
    EXPECT_EQ(options.m_nEoListenPort, 9886);
}

TEST(SimOptions, WrongUsageIsExplained)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--variant", "2"}, "invalid value \"2\" for --variant"},
        {{"--port=70000"}, "for --port"},
        {{"--silence-for", "-1"}, "for --silence-for"},
        {{"--eo-format", "2"}, "--eo-format must be"},
        {{"--eo-format", "33", "--eo-targets", "21"}, "at most 20 records of format 33"},
        {{"--eo-targets", "2", "--eo-tags", "3"}, "--eo-tags"},
        {{"--eo-targets", "24", "--eo-cycle-formats", "5"}, "at most 20 records of every format"},
        {{"--eo-cycle-formats", "0"}, "for --eo-cycle-formats"},
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"--pages"}, "--pages wants a value"},
        {{"extra"}, "unexpected argument \"extra\""},
    };
    for (const auto& [args, sFragment] : cases)
    {
        cSimOptions options;
        EXPECT_EQ(Parse(options, args), cSimOptions::eParse::Error) << sFragment;
        EXPECT_NE(options.Error().find(sFragment), std::string::npos) << options.Error();
    }
    cSimOptions options;
    EXPECT_EQ(Parse(options, {"--variant", "1", "--help"}), cSimOptions::eParse::Help);
}
