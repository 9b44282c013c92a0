#include "TempDir.h"
#include "cCsvLogFile.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>

// The name carries the local date and time; a '/' in the title cannot make a sub-folder.
TEST(CsvLogFile, NameCarriesDateAndTimeAndNoSlash)
{
    std::tm when{};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 6;
    when.tm_hour = 10;
    when.tm_min = 24;
    when.tm_sec = 8;
    EXPECT_EQ(cCsvLogFile::MakeFileName("/home/op/Halvorn/Logs", "Tracker", when),
              "/home/op/Halvorn/Logs/Tracker-2026-12-06_10-24-08.csv");
    EXPECT_EQ(cCsvLogFile::MakeFileName("logs", "EO/IR", when), "logs/EO_IR-2026-12-06_10-24-08.csv");
}

// Open makes the folder and writes the start line; Close appends the finish line.
TEST(CsvLogFile, WritesStartTextAndFinishLines)
{
    TempDir dir;
    const std::string sFolder = dir.File("a/b");
    cCsvLogFile log;
    ASSERT_TRUE(log.Open(sFolder, "EO/IR"));
    EXPECT_EQ(log.Path().rfind(sFolder + "/EO_IR-", 0), 0u);
    log.Write("Timestamp,Mode,\n");
    log.Close();
    EXPECT_FALSE(log.IsOpen());

    std::ifstream in(log.Path());
    const std::string sText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::regex pattern(R"(Log started at: \d\d:\d\d:\d\d\.\d\d\d\nTimestamp,Mode,\n\nLog finished at: \d\d:\d\d:\d\d\.\d\d\d)");
    EXPECT_TRUE(std::regex_match(sText, pattern)) << sText;
}
