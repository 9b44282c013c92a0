#include "TempDir.h"
#include "cBufferLog.h"
#include "cCommsLogger.h"
#include "cTrafficLogReader.h"

#include <gtest/gtest.h>
#include <sstream>

namespace
{
// A protocol message log whose clock the test moves by hand.
class ManualClockLog : public cBufferLog
{
public:
    using cBufferLog::cBufferLog;
    int64_t m_nNowUs = 1000000;

protected:
    int64_t NowMicroseconds() const override { return m_nNowUs; }
};

using Bytes = std::vector<uint8_t>;

bool ParseText(cTrafficLogReader& reader, const std::string& sText)
{
    std::istringstream in(sText);
    return reader.Parse(in, "log.txt");
}
} // namespace

// What cBufferLog writes reads back whole: times from the elapsed column
// (first line blank-padded, later ones zero-filled, "**" gaps), comments,
// empty messages, and only the "Rx" lines as received.
TEST(TrafficLogReader, ProtocolMessageLogReadsBack)
{
    TempDir dir;
    const std::string sFile = dir.File("Kestrum.txt");
    {
        ManualClockLog log(sFile);
        log.LogStart();
        const uint8_t frame[] = {0x10, 0x04, 0x40, 0x02, 0x01, 0x2a, 0x81};
        log.m_nNowUs += 5000;
        log.LogData(frame, 7, "Rx Msg");
        log.m_nNowUs += 20000;
        log.LogData(frame, 3, "Tx Msg");
        log.m_nNowUs += 1250000;
        log.LogData(nullptr, 0, "Rx Msg");
        log.LogStop();
    }
    cTrafficLogReader reader;
    ASSERT_TRUE(reader.Read(sFile)) << reader.Error();
    EXPECT_EQ(reader.Format(), cTrafficLogReader::eFormat::BufferLog);
    ASSERT_EQ(reader.Records().size(), 3u);
    EXPECT_DOUBLE_EQ(reader.Records()[0].dSeconds, 0.005);
    EXPECT_EQ(reader.Records()[0].bytes, (Bytes{0x10, 0x04, 0x40, 0x02, 0x01, 0x2a, 0x81}));
    EXPECT_EQ(reader.Records()[1].sComment, "Tx Msg");
    EXPECT_DOUBLE_EQ(reader.Records()[2].dSeconds, 1.275);
    EXPECT_TRUE(reader.Records()[2].bytes.empty());
    const auto received = reader.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].nLine, 5);
    EXPECT_TRUE(reader.Warnings().empty());
}

// What cCommsLogger writes reads back too: seconds, a send label holding
// commas, the framer's discards as received, comment lines passed over.
TEST(TrafficLogReader, TransportLogReadsBack)
{
    TempDir dir;
    const std::string sFile = dir.File("RC_CommsLog.DEBUG.txt");
    {
        cCommsLogger logger(sFile);
        logger.LogStart();
        const uint8_t bytes[] = {0x99, 0x00, 0x01, 0xff};
        logger.LogData(bytes, 4, 0, "Tx,set zoom, fast");
        logger.LogComment("link up");
        logger.LogData(bytes, 2, 0, "Rx Skip");
        logger.LogData(bytes, 4, 0, "Rx Msg");
        logger.LogStop();
    }
    cTrafficLogReader reader;
    ASSERT_TRUE(reader.Read(sFile)) << reader.Error();
    EXPECT_EQ(reader.Format(), cTrafficLogReader::eFormat::CommsLog);
    ASSERT_EQ(reader.Records().size(), 3u);
    EXPECT_EQ(reader.Records()[0].sComment, "Tx,set zoom, fast");
    EXPECT_EQ(reader.Records()[0].bytes, (Bytes{0x99, 0x00, 0x01, 0xff}));
    const auto received = reader.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].sComment, "Rx Skip");
    EXPECT_EQ(received[0].bytes, (Bytes{0x99, 0x00}));
    EXPECT_LE(received[0].dSeconds, received[1].dSeconds);
}

// A message held in part is kept as it stands and named in a warning: a
// line whose count is larger than its bytes, and a last line the file ends
// inside (its cut byte dropped). A last line cut before any data is left out.
TEST(TrafficLogReader, MessagesHeldInPartAreKept)
{
    cTrafficLogReader reader;
    ASSERT_TRUE(ParseText(reader, "Time, [Comment], Count, Data\n"
                                  "0, Log started \n"
                                  "10: 10,Rx Msg,008,0x10,0x04,0x40\n"
                                  "30:020,Rx Msg,007,0x10,0x04,0x40,0x02,0x0"))
        << reader.Error();
    ASSERT_EQ(reader.Records().size(), 2u);
    EXPECT_TRUE(reader.Records()[0].bPartial);
    EXPECT_EQ(reader.Records()[0].bytes.size(), 3u);
    EXPECT_TRUE(reader.Records()[1].bPartial);
    EXPECT_EQ(reader.Records()[1].bytes, (Bytes{0x10, 0x04, 0x40, 0x02}));
    ASSERT_EQ(reader.Warnings().size(), 2u);
    EXPECT_EQ(reader.Warnings()[0], "log.txt:3: 3 of 8 bytes recorded");

    ASSERT_TRUE(ParseText(reader, "Time, [Comment], Count, Data\n10: 10,Rx Msg,001,0x10\n20:010,Rx M"));
    EXPECT_EQ(reader.Records().size(), 1u);
    EXPECT_EQ(reader.Warnings().size(), 1u);
}

// Anything that is not a traffic log's line is refused with its place.
TEST(TrafficLogReader, MalformedLinesAreNamed)
{
    const std::pair<const char*, const char*> kCases[] = {
        {"Time, Value\n", "log.txt:1: not a traffic log"},
        {"Time, [Comment], Count, Data\n10: 10,Rx Msg,002,0x10,0xZZ\n20:010,Rx Msg,001,0x10\n",
         "log.txt:2: not a data line: \"0xZZ\" is neither a byte (0xNN) nor a count"},
        {"Time, [Comment], Count, Data\nten,Rx Msg,001,0x10\n", "log.txt:2: not a data line: bad time \"ten\""},
        {"Time, [Comment], Count, Data\n10: 10,Rx Msg,001,0x10,0x11\n", "log.txt:2: count 001 but 2 bytes"},
        {"Time, [Tx/Rx], [Comment], Count, Data\n10: 10,Rx Msg,001,0x10\n", "log.txt:2: not a data line: bad time"},
        {"", "log.txt: the file is empty"},
    };
    for (const auto& [szText, szError] : kCases)
    {
        cTrafficLogReader reader;
        EXPECT_FALSE(ParseText(reader, szText)) << szText;
        EXPECT_EQ(reader.Error().rfind(szError, 0), 0u) << reader.Error();
    }
    cTrafficLogReader reader;
    EXPECT_FALSE(reader.Read("/nonexistent/Kestrum.txt"));
    EXPECT_EQ(reader.Error(), "/nonexistent/Kestrum.txt: cannot open the file");
}
