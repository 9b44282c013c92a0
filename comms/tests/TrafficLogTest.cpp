#include "TempDir.h"
#include "cBufferLog.h"
#include "cCommsLogger.h"

#include <gtest/gtest.h>
#include <regex>
#include <thread>
#include <vector>

namespace
{
// A protocol message log whose clock the test moves by hand.
class ManualClockLog : public cBufferLog
{
public:
    using cBufferLog::cBufferLog;
    int64_t m_nNowUs = 5000000;

protected:
    int64_t NowMicroseconds() const override { return m_nNowUs; }
};
} // namespace

// The transport log: header, start line, "Tx" lines with an empty comment
// column, three-digit counts, lower-case bytes, and the closing line.
TEST(CommsLogger, FileFormat)
{
    TempDir dir;
    const std::string sFile = dir.File("RC_CommsLog.DEBUG.txt");
    {
        cCommsLogger logger(sFile);
        logger.LogStart();
        const uint8_t bytes[] = {0x01, 0x0A, 0xFF};
        logger.LogData(bytes, 3, 0, "Tx,");
        logger.LogData(nullptr, 0, 0, "Tx,");
        logger.LogData(bytes, 2, 0, "Rx Msg");
        logger.LogComment("link up");
        logger.LogStop();
        logger.LogData(bytes, 3, 0, "Tx,");  // after stop: nothing
    }
    const std::string sLog = dir.Read("RC_CommsLog.DEBUG.txt");
    const std::regex format(R"(^Time, \[Tx/Rx\], \[Comment\], Count, Data\n)"
                            R"(Log started \n)"
                            R"(\d+\.\d{6},Tx,,003,0x01,0x0a,0xff\n)"
                            R"(\d+\.\d{6},Tx,,000\n)"
                            R"(\d+\.\d{6},Rx Msg,002,0x01,0x0a\n)"
                            R"(\d+ nanoseconds since Jan 1, 1970 link up\n)"
                            R"(\d+, Log stopped \n$)");
    EXPECT_TRUE(std::regex_match(sLog, format)) << sLog;
}

// Every transport log of the process counts from one zero, so two files
// written side by side can be merged by their time columns.
TEST(CommsLogger, LogsShareOneZeroPoint)
{
    TempDir dir;
    cCommsLogger first(dir.File("a_CommsLog.DEBUG.txt"));
    first.LogStart();
    cCommsLogger second(dir.File("b_CommsLog.DEBUG.txt"));
    second.LogStart();
    const uint8_t byte = 0x42;
    first.LogData(&byte, 1, 0, "Tx,");
    second.LogData(&byte, 1, 0, "Tx,");
    first.LogStop();
    second.LogStop();
    auto timeOf = [&](const char* szName) {
        const std::string sLog = dir.Read(szName);
        const size_t nLine = sLog.find(",Tx,");
        const size_t nStart = sLog.rfind('\n', nLine) + 1;
        return std::stod(sLog.substr(nStart, nLine - nStart));
    };
    const double dFirst = timeOf("a_CommsLog.DEBUG.txt");
    const double dSecond = timeOf("b_CommsLog.DEBUG.txt");
    EXPECT_GE(dSecond, dFirst);
    EXPECT_LT(dSecond - dFirst, 5.0);
    EXPECT_GE(dFirst, 0.0);
}

// The protocol log: elapsed milliseconds, "**" from a 200 ms gap on, the gap
// padded with blanks on the first line and zeros after it.
TEST(BufferLog, GapColumn)
{
    TempDir dir;
    ManualClockLog log(dir.File("Kestrum.txt"));
    log.LogStart();
    const uint8_t bytes[] = {0x10, 0x05};
    log.m_nNowUs += 5000;
    log.LogData(bytes, 2, "Tx Msg");
    log.m_nNowUs += 250000;
    log.LogData(bytes, 2, "Rx Msg");
    log.m_nNowUs += 20000;
    log.LogData(bytes, 1, nullptr);
    log.LogStop();
    EXPECT_EQ(dir.Read("Kestrum.txt"), "Time, [Comment], Count, Data\n"
                                       "5000, Log started \n"
                                       "5:  5,Tx Msg,002,0x10,0x05\n"
                                       "255**250,Rx Msg,002,0x10,0x05\n"
                                       "275:020,001,0x10\n"
                                       "275, Log stopped \n");
}

// Lines from several threads never interleave.
TEST(CommsLogger, ConcurrentWritersKeepLinesWhole)
{
    TempDir dir;
    {
        cCommsLogger logger(dir.File("mt_CommsLog.DEBUG.txt"));
        logger.LogStart();
        std::vector<std::thread> writers;
        for (int t = 0; t < 3; ++t)
            writers.emplace_back([&logger, t] {
                std::vector<uint8_t> bytes(40, static_cast<uint8_t>(t));
                for (int i = 0; i < 300; ++i)
                    logger.LogData(bytes.data(), 40, 0, "Tx,");
            });
        for (std::thread& writer : writers)
            writer.join();
        logger.LogStop();
    }
    const std::string sLog = dir.Read("mt_CommsLog.DEBUG.txt");
    const std::regex line(R"(^\d+\.\d{6},Tx,,040(,0x0([0-2])){40}$)");
    size_t nLines = 0;
    size_t nPos = sLog.find("Log started \n") + 13;
    while (nPos < sLog.size())
    {
        const size_t nEnd = sLog.find('\n', nPos);
        const std::string sLine = sLog.substr(nPos, nEnd - nPos);
        if (sLine.find("Log stopped") == std::string::npos)
        {
            ASSERT_TRUE(std::regex_match(sLine, line)) << sLine;
            ++nLines;
        }
        nPos = nEnd + 1;
    }
    EXPECT_EQ(nLines, 900u);
}
