#include "DbgLog.h"
#include "TempDir.h"
#include "cDebugLog.h"

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace
{
// Each case runs in a fresh folder, since the log reads its level file from and
// writes its file into the working directory.
class DebugLog : public ::testing::Test
{
protected:
    TempDir m_Dir;
    ScopedChdir m_Cwd{m_Dir.Path()};

    std::string LogFile(const char* szName = "CorvaneDebugLog.txt") { return m_Dir.Read(szName); }
};
} // namespace

// Without a level file the threshold is WRN: INF and DBG vanish, the rest is
// written behind the "Opening Log File" header, in the file and line formats.
TEST_F(DebugLog, DefaultThresholdWritesWarningsAndWorse)
{
    m_Dir.Write("CorvaneDebugLog.txt", "an earlier run\n");
    cDebugLog log;
    ::testing::internal::CaptureStderr();
    log.Log(DBG_INF, "Fn::inf", 1, "dropped", CAT_GENERAL);
    log.Log(DBG_DBG, "Fn::dbg", 2, "dropped", CAT_GENERAL);
    log.Log(DBG_WRN, "XThread::Begin", 55, "(worker) Thread Already Running", CAT_THREAD);
    log.Log(DBG_ERR, "Fn::err", 7, "", CAT_GENERAL);
    log.Log(DBG_FAT, "Fn::fat", 8, "fatal", CAT_GENERAL);
    const std::string sStderr = ::testing::internal::GetCapturedStderr();
    // Warnings and worse are on disk before the log closes: a crash keeps them.
    EXPECT_NE(LogFile().find("L1:Fn::fat (8): fatal\n"), std::string::npos);
    log.Close();

    EXPECT_EQ(sStderr, "WRN::XThread::Begin (55): (worker) Thread Already Running\n"
                       "ERR::Fn::err (7): \n"
                       "FAT::Fn::fat (8): fatal\n");
    const std::string sFile = LogFile();
    EXPECT_TRUE(std::regex_search(sFile, std::regex(R"(^Opening Log File \d\d/\d\d/\d{4} \d\d:\d\d:\d\d\n---\n)")))
        << sFile;
    EXPECT_NE(sFile.find("L3:XThread::Begin (55): (worker) Thread Already Running\nL2:Fn::err (7): \nL1:Fn::fat (8): fatal\n"),
              std::string::npos)
        << sFile;
    EXPECT_EQ(sFile.find("dropped"), std::string::npos);
    EXPECT_EQ(sFile.find("an earlier run"), std::string::npos);
    EXPECT_TRUE(std::regex_search(sFile, std::regex(R"(---\nDbgLogClose\(\) \d\d/\d\d/\d{4} \d\d:\d\d:\d\d\n$)"))) << sFile;
}

// The level file can only raise the threshold, and only to 1..5.
TEST_F(DebugLog, LevelFileRaisesThresholdOnlyToAcceptedValues)
{
    const struct
    {
        const char* szContent;
        int32_t nExpected;
    } cases[] = {{"5", 5}, {"4\n", 4}, {"2", 3}, {"0", 3}, {"9", 3}, {"junk", 3}, {"", 3}, {"-1", 3}};
    for (const auto& c : cases)
    {
        m_Dir.Write("CorvaneConfig.txt", c.szContent);
        cDebugLog log;
        log.Log(DBG_DBG, "Fn", 1, "probe", CAT_GENERAL);
        EXPECT_EQ(log.Level(), c.nExpected) << "level file holding '" << c.szContent << "'";
    }
}

TEST_F(DebugLog, LevelFileAtFiveLetsDebugLinesThrough)
{
    m_Dir.Write("CorvaneConfig.txt", "5");
    cDebugLog log;
    ::testing::internal::CaptureStderr();
    log.Log(DBG_DBG, "Fn::detail", 3, "detail", CAT_GENERAL);
    ::testing::internal::GetCapturedStderr();
    log.Close();
    EXPECT_NE(LogFile().find("L5:Fn::detail (3): detail\n"), std::string::npos);
}

// An over-long message is cut to 511 characters of line text, never overrun.
TEST_F(DebugLog, OverlongLineIsCut)
{
    cDebugLog log;
    const std::string sText(2000, 'x');
    ::testing::internal::CaptureStderr();
    log.Log(DBG_ERR, "Fn", 1, sText.c_str(), CAT_GENERAL);
    const std::string sStderr = ::testing::internal::GetCapturedStderr();
    log.Close();

    EXPECT_EQ(sStderr.size(), 4 + 1 + 511 + 1u);  // tag, colon, line, newline
    const std::string sFile = LogFile();
    const size_t nStart = sFile.find("L2:");
    ASSERT_NE(nStart, std::string::npos);
    const size_t nEnd = sFile.find('\n', nStart);
    EXPECT_EQ(nEnd - nStart, 3 + 511u);
}

TEST_F(DebugLog, SetLevelIgnoresSixAndNegativeSilences)
{
    cDebugLog log;
    ::testing::internal::CaptureStderr();
    log.Log(DBG_WRN, "Fn", 1, "opens the file", CAT_GENERAL);
    log.SetLevel(6);
    EXPECT_EQ(log.Level(), 3);
    log.SetLevel(4);
    log.Log(DBG_INF, "Fn", 2, "now visible", CAT_GENERAL);
    log.SetLevel(-1);
    log.Log(DBG_NUL, "Fn", 3, "silenced", CAT_GENERAL);
    log.Log(DBG_FAT, "Fn", 4, "silenced", CAT_GENERAL);
    const std::string sStderr = ::testing::internal::GetCapturedStderr();
    log.Close();

    EXPECT_EQ(sStderr.find("silenced"), std::string::npos);
    const std::string sFile = LogFile();
    EXPECT_NE(sFile.find("DbgLogSetLevel( 4 )\nL4:Fn (2): now visible\nDbgLogSetLevel( -1 )\n"), std::string::npos)
        << sFile;
    EXPECT_EQ(sFile.find("silenced"), std::string::npos);
}

// After Close the next message starts a new file, replacing the old one.
TEST_F(DebugLog, MessageAfterCloseReopensAndTruncates)
{
    cDebugLog log;
    ::testing::internal::CaptureStderr();
    log.Log(DBG_WRN, "Fn", 1, "first file", CAT_GENERAL);
    log.Close();
    log.Log(DBG_WRN, "Fn", 2, "second file", CAT_GENERAL);
    log.Close();
    ::testing::internal::GetCapturedStderr();

    const std::string sFile = LogFile();
    EXPECT_EQ(sFile.find("first file"), std::string::npos);
    EXPECT_NE(sFile.find("L3:Fn (2): second file"), std::string::npos);
    EXPECT_EQ(sFile.rfind("Opening Log File", 0), 0u);
}

// A library takes its own file name before any line reaches a file, and resets
// the threshold to WRN whatever the level file said.
TEST_F(DebugLog, LibraryUsesItsOwnFileAndResetsThreshold)
{
    m_Dir.Write("CorvaneConfig.txt", "5");
    cDebugLog log;
    log.InitLibrary("PortelleDbg.txt");
    EXPECT_EQ(log.Level(), 3);
    ::testing::internal::CaptureStderr();
    log.Log(DBG_INF, "OnDLLLoad", 29, "Portelle", CAT_IOLIB);
    log.Log(DBG_WRN, "Fn", 5, "kept", CAT_IOLIB);
    ::testing::internal::GetCapturedStderr();
    log.Close();

    EXPECT_NE(LogFile("PortelleDbg.txt").find("L3:Fn (5): kept"), std::string::npos);
    EXPECT_FALSE(boost::filesystem::exists(m_Dir.File("CorvaneDebugLog.txt")));
}

// A file that cannot be created leaves the debugger sink working; the next
// message tries the file again.
TEST_F(DebugLog, UncreatableFileIsRetriedLater)
{
    boost::filesystem::create_directory(m_Dir.File("CorvaneDebugLog.txt"));
    cDebugLog log;
    ::testing::internal::CaptureStderr();
    log.Log(DBG_ERR, "Fn", 1, "no file yet", CAT_GENERAL);
    boost::filesystem::remove(m_Dir.File("CorvaneDebugLog.txt"));
    log.Log(DBG_ERR, "Fn", 2, "file now", CAT_GENERAL);
    const std::string sStderr = ::testing::internal::GetCapturedStderr();
    log.Close();

    EXPECT_NE(sStderr.find("no file yet"), std::string::npos);
    const std::string sFile = LogFile();
    EXPECT_EQ(sFile.find("no file yet"), std::string::npos);
    EXPECT_NE(sFile.find("L2:Fn (2): file now"), std::string::npos);
}

// Lines from many threads never interleave, and each thread's formatted text
// survives other threads formatting at the same time.
TEST_F(DebugLog, ConcurrentWritersKeepLinesWhole)
{
    cDebugLog log;
    ::testing::internal::CaptureStderr();
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
    {
        writers.emplace_back([&log, t] {
            for (int i = 0; i < 500; ++i)
            {
                const char* szText = DbgLogFormat("thread %d message %d %s", t, i, std::string(40, 'a' + t).c_str());
                log.Log(DBG_WRN, "Writer", t, szText, CAT_GENERAL);
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    ::testing::internal::GetCapturedStderr();
    log.Close();

    const std::string sFile = LogFile();
    const std::regex lineFormat(R"(^L3:Writer \((\d)\): thread (\d) message \d+ ([a-d])+$)");
    int nLines = 0;
    size_t nPos = 0;
    while ((nPos = sFile.find("L3:", nPos)) != std::string::npos)
    {
        const size_t nEnd = sFile.find('\n', nPos);
        const std::string sLine = sFile.substr(nPos, nEnd - nPos);
        std::smatch match;
        ASSERT_TRUE(std::regex_match(sLine, match, lineFormat)) << sLine;
        EXPECT_EQ(match[1], match[2]);
        EXPECT_EQ(match[3].str()[0], 'a' + (match[1].str()[0] - '0'));
        ++nLines;
        nPos = nEnd;
    }
    EXPECT_EQ(nLines, 2000);
}
