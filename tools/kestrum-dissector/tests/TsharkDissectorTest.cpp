// The dissector kestrum-dissector writes, run in the real tshark on a capture
// made by kestrum-dissector --pcap from a session the console recorded: every
// value tshark shows is the value the console's own decoder gives.
#include "ChildProcess.h"
#include "ConsoleSettings.h"
#include "RC_Checksum.h"
#include "RC_Frame.h"
#include "RC_FrameView.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "UdpPeer.h"
#include "WaitFor.h"
#include "cPageDefinitionsReader.h"
#include "cPageList.h"
#include "cPcapReader.h"
#include "cPcapWriter.h"
#include "cRC_IO_EoData.h"
#include "cRC_IO_Pages.h"
#include "cRC_ItemRegistry.h"

#include <boost/algorithm/string.hpp>
#include <cinttypes>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace
{
using Bytes = std::vector<uint8_t>;

const char* const kPages = R"xml(<PageDefinitions>
  <Page Title="Every type">
    <Item SubSystem="4" Index="1" Item="1" Access="RW" Label="Mode" Type="Byte"/>
    <Item SubSystem="4" Index="1" Item="2" Access="RO" Label="Counter" Type="U16"/>
    <Item SubSystem="4" Index="1" Item="3" Access="RW" Label="Trim" Type="S16"/>
    <Item SubSystem="4" Index="1" Item="4" Access="RO" Label="Fault word" Type="U32"/>
    <Item SubSystem="4" Index="1" Item="5" Access="RO" Label="Encoder" Type="S32"/>
    <Item SubSystem="4" Index="1" Item="6" Access="RO" Label="Frame count" Type="U64"/>
    <Item SubSystem="4" Index="1" Item="7" Access="RO" Label="Clock (us)" Type="S64"/>
    <Item SubSystem="4" Index="1" Item="8" Access="RO" Label="Serial number" Type="U128"/>
    <Item SubSystem="4" Index="1" Item="9" Access="RW" Label="Az &quot;deck&quot; (mrad)" Type="Fixed"/>
    <Item SubSystem="4" Index="1" Item="10" Access="RW" Label="Status text" Type="String"/>
    <Item SubSystem="4" Index="1" Item="11" Access="RO" Label="Temperature (C)" Type="Float"/>
    <Item SubSystem="4" Index="1" Item="12" Access="RO" Label="Exposure (ms)" Type="Double"/>
    <Item SubSystem="4" Index="1" Item="13" Access="RW" Label="El deck" Type="Fixed"/>
  </Page>
</PageDefinitions>
)xml";

// The ports the dissector and the capture are made for; the recording itself
// runs on free ports, since only the logs carry it into the capture.
constexpr uint16_t kPageTx = 19876;
constexpr uint16_t kPageRx = 19879;
constexpr uint16_t kEoTx = 19886;
constexpr uint16_t kEoRx = 19186;

bool HaveTshark()
{
    return access("/usr/bin/tshark", X_OK) == 0 || access("/usr/local/bin/tshark", X_OK) == 0;
}

// Item entries of a status payload, built the way the remote system sends them.
class Payload
{
public:
    template <typename T>
    Payload& Number(uint8_t nItem, T value)
    {
        m_Bytes.push_back(nItem);
        uint8_t bytes[sizeof(T)];
        RC_Codec::Put(bytes, value);
        m_Bytes.insert(m_Bytes.end(), bytes, bytes + sizeof(T));
        return *this;
    }
    Payload& Text(uint8_t nItem, const std::string& sText)
    {
        m_Bytes.push_back(nItem);
        m_Bytes.push_back(static_cast<uint8_t>(sText.size()));
        m_Bytes.insert(m_Bytes.end(), sText.begin(), sText.end());
        return *this;
    }
    Payload& Raw(const Bytes& bytes)
    {
        m_Bytes.insert(m_Bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Bytes Status(uint8_t nStatus = 0x40, uint8_t nSubSystem = 4, uint8_t nIndex = 1) const
    {
        RC_Frame frame;
        frame.BuildStatus(RC_Variant::LongFrames, nSubSystem, nIndex, nStatus, m_Bytes.data(), m_Bytes.size());
        return Bytes(frame.Data(), frame.Data() + frame.Size());
    }

private:
    Bytes m_Bytes;
};

// An EO report: header, then records of the format's layout.
Bytes EoReportFrame(uint8_t nId, uint8_t nFormat, uint64_t nTimestamp, const std::vector<Bytes>& records)
{
    Bytes frame = {0x77, nId, 0, 0, nFormat};
    uint8_t stamp[8];
    RC_Codec::PutU64(stamp, nTimestamp);
    frame.insert(frame.end(), stamp, stamp + 8);
    frame.push_back(static_cast<uint8_t>(records.size()));
    for (const Bytes& record : records)
        frame.insert(frame.end(), record.begin(), record.end());
    const size_t nLength = frame.size() + 1;
    frame[2] = static_cast<uint8_t>(nLength >> 8);
    frame[3] = static_cast<uint8_t>(nLength);
    frame.push_back(RC_Checksum(frame.data(), frame.size()));
    return frame;
}

Bytes Record(std::initializer_list<std::pair<int, int64_t>> fields)
{
    Bytes record;
    for (const auto& [nSize, nValue] : fields)
        for (int i = nSize - 1; i >= 0; --i)
            record.push_back(static_cast<uint8_t>(static_cast<uint64_t>(nValue) >> (8 * i)));
    return record;
}

// tshark's fields of one packet, each field's occurrences in order.
using Row = std::vector<std::vector<std::string>>;

// Runs tshark with the dissector over the capture: one row per packet.
std::vector<Row> Tshark(const TempDir& dir, const std::string& sCapture, const std::string& sLua,
                        const std::vector<std::string>& fields)
{
    std::vector<std::string> args = {"-r", sCapture, "-X", "lua_script:" + sLua, "-T", "fields", "-E", "separator=/t",
                                     "-E", "aggregator=|", "-E", "occurrence=a", "-E", "quote=n"};
    for (const std::string& sField : fields)
    {
        args.push_back("-e");
        args.push_back(sField);
    }
    ChildProcess::Options options;
    options.sWorkDir = dir.Path();
    options.OwnHome(dir.Path());  // no user preferences, no user plug-ins
    options.bSeparateErrors = true;
    ChildProcess tshark("tshark", args, options);
    EXPECT_EQ(tshark.Wait(60s), 0) << tshark.Errors();
    EXPECT_EQ(tshark.Errors().find("Lua: Error"), std::string::npos) << tshark.Errors();
    std::vector<Row> rows;
    std::vector<std::string> lines;
    boost::split(lines, tshark.Output(), boost::is_any_of("\n"));
    for (const std::string& sLine : lines)
    {
        if (sLine.empty())
            continue;
        std::vector<std::string> columns;
        boost::split(columns, sLine, boost::is_any_of("\t"));
        Row row;
        for (const std::string& sColumn : columns)
        {
            std::vector<std::string> values;
            if (!sColumn.empty())
                boost::split(values, sColumn, boost::is_any_of("|"));
            row.push_back(values);
        }
        row.resize(fields.size());
        rows.push_back(row);
    }
    return rows;
}

// Runs kestrum-dissector; its exit status.
int Dissector(const TempDir& dir, const std::vector<std::string>& args)
{
    ChildProcess::Options options;
    options.sWorkDir = dir.Path();
    options.OwnHome(dir.Path());
    options.bSeparateErrors = true;
    ChildProcess program(TestPaths::BinDir() + "/kestrum-dissector", args, options);
    const int nStatus = program.Wait(30s);
    EXPECT_EQ(nStatus, 0) << program.Errors();
    return nStatus;
}

// The text the console shows for a holder, and for U128, which it shows
// nothing of, the hexadecimal the dissector shows.
std::string ConsoleText(const RC_ItemValue& holder)
{
    if (holder.Type() != RC_DataType::U128)
        return holder.ShownText();
    uint64_t nUpper = 0;
    uint64_t nLower = 0;
    static_cast<const RC_U128Value&>(holder).Get(nUpper, nLower);
    char szText[40];
    std::snprintf(szText, sizeof(szText), "0x%016" PRIx64 "%016" PRIx64, nUpper, nLower);
    return szText;
}

const PageItem* FindLabel(const cPageList& pages, const std::string& sLabel)
{
    for (const PageItem& item : pages.Items(0))
        if (item.sLabel == sLabel)
            return &item;
    return nullptr;
}

double Number(const std::string& sText)
{
    return std::strtod(sText.c_str(), nullptr);
}
} // namespace

// A recorded session (the console's page and EO traffic logs), made a
// capture and read by tshark: every item of every type shows the console's
// value, bad checksums, bad status and unknown items are flagged as such, and
// the console's own commands show their queries.
TEST(TsharkDissector, ShowsEveryValueAsTheConsoleDecodesIt)
{
    if (!HaveTshark())
        GTEST_SKIP() << "tshark is not installed (scripts/setup installs it)";
    TempDir dir;
    dir.Write("pages.xml", kPages);
    ConsoleSettings settings;
    settings.Udp(kPageTx, kPageRx).Main("nControllerType", 1).Main("sPageDefinitionsFile", dir.File("pages.xml"));
    settings.Eo("nTxPort", kEoTx).Eo("nRxPort", kEoRx);
    const std::string sSettings = settings.Write(dir, "settings.xml");

    const Bytes firstGood = Payload()
                                .Number<uint8_t>(1, 200)
                                .Number<uint16_t>(2, 65535)
                                .Number<int16_t>(3, -2)
                                .Number<uint32_t>(4, 4294967295u)
                                .Number<int32_t>(5, -123456)
                                .Number<int32_t>(9, -6144)
                                .Number<float>(11, 1.0f)
                                .Status();
    Bytes spoilt = firstGood;
    spoilt.back() ^= 0x5a;
    const std::vector<Bytes> statusFrames = {
        firstGood,
        Payload()
            .Number<uint64_t>(6, UINT64_MAX)
            .Number<int64_t>(7, -5)
            .Raw({8, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})
            .Number<double>(12, -0.0025)
            .Text(10, std::string("tracker\0", 8))
            .Number<int32_t>(13, 0x7fffffff)  // beyond single precision: rounded as the console rounds
            .Status(0x00),
        Payload().Text(10, "").Number<float>(11, -0.1f).Number<int32_t>(9, 16777217).Number<int32_t>(13, INT32_MIN).Status(),
        spoilt,
        Payload().Number<uint8_t>(1, 7).Raw({99, 1, 2, 3}).Status(),           // unknown item 99
        Payload().Number<uint8_t>(1, 9).Number<uint16_t>(2, 5).Status(0x08),  // "Unknown item" status
        Payload().Raw({0, 0}).Status(0x00, 0, 1),                              // heartbeat
        Payload().Number<uint16_t>(2, 1234).Status(),
    };
    const std::vector<Bytes> eoFrames = {
        EoReportFrame(7, 1, 1000, {Record({{4, 42}, {4, 409600}, {4, -6144}, {4, 4096}, {4, 8192}, {4, 81920}, {1, 2}, {1, 99}, {4, 2048}, {2, 7}}),
                              Record({{4, 43}, {4, 1}, {4, -1}, {4, 0}, {4, 4095}, {4, -4096}, {1, 1}, {1, 50}, {4, -4096}, {2, 65535}})}),
        EoReportFrame(8, 33, 2000, {Record({{4, 0x01000005}, {4, 40960}, {4, 8192}, {4, 4096}, {4, 4096}, {4, 6144}, {4, -2048},
                                       {1, 3}, {1, 80}, {4, 409600}, {2, 9}, {7, 0}, {7, 0}})}),
        EoReportFrame(9, 30, 3000, {Record({{4, 5}, {4, 100}, {4, -100}, {4, 20}, {4, 30}, {1, 1}, {1, 60}, {4, 12288}, {2, 1}})}),
    };

    // The session: the console logs what it receives and sends on both links.
    {
        ScopedChdir here(dir.Path());
        UdpPeer remote;
        UdpPeer remoteEo;
        CommsSettings comms;
        comms.nCommsMethod = CommsSettings::kUdp;
        comms.nTxPort = remote.Port();
        comms.nRxPort = FreeUdpPort();
        comms.nEoTxPort = remoteEo.Port();
        comms.nEoRxPort = FreeUdpPort();
        comms.bLogRx = comms.bLogTx = true;
        cPageList pages;
        ASSERT_EQ(cPageDefinitionsReader(RC_Variant::LongFrames).Read("pages.xml", pages), cPageDefinitionsReader::Result::kRead);
        cRC_IO_Pages console(RC_Variant::LongFrames);
        ASSERT_TRUE(console.initialise(comms, "Kestrum"));
        console.m_pPageDefinitions = &pages;
        console.RegisterItems();
        cRC_IO_EoData eo;
        ASSERT_TRUE(eo.initialise(comms, "EoTrackData"));
        ASSERT_TRUE(console.SendQuery(4, 1, 2));
        ASSERT_TRUE(console.SendFixedPair(4, 1, 9, 1.5f, 13, -0.25f));
        for (const Bytes& frame : statusFrames)
            remote.SendTo(static_cast<uint16_t>(comms.nRxPort), frame);
        for (const Bytes& frame : eoFrames)
            remoteEo.SendTo(static_cast<uint16_t>(comms.nEoRxPort), frame);
        // All but the spoilt frame reach the protocol; the last ones tell that all are in the logs.
        ASSERT_TRUE(WaitFor([&] { return console.m_nRxCount >= static_cast<int32_t>(statusFrames.size() - 1); }));
        ASSERT_TRUE(WaitFor([&] { return eo.CopyTrackData().timestamp.Get() == 3000; }));
    }

    ASSERT_EQ(Dissector(dir, {"--settings", sSettings, "-o", "kestrum.lua"}), 0);
    ASSERT_EQ(Dissector(dir, {"--settings", sSettings, "--pcap", "Kestrum.txt", "--pcap", "EoTrackData.txt", "-o", "session.pcap"}), 0);
    const std::string sLua = dir.Read("kestrum.lua");
    EXPECT_NE(sLua.find("Page definitions: " + dir.File("pages.xml") + " (13 item addresses)"), std::string::npos);
    EXPECT_NE(sLua.find("-- Written "), std::string::npos);

    cPcapReader capture;
    ASSERT_TRUE(capture.Read(dir.File("session.pcap"))) << capture.Error();
    const std::vector<std::string> fields = {
        "kestrum.direction", "kestrum.kind", "kestrum.item.label", "kestrum.item.value", "kestrum.checksum.status",
        "kestrum.item.unknown", "kestrum.status.error", "kestrum.item.query", "kestrum.item",
        "kestrum.eo.timestamp", "kestrum.eo.track.id", "kestrum.eo.track.x", "kestrum.eo.track.y",
        "kestrum.eo.track.xsize", "kestrum.eo.track.ysize", "kestrum.eo.track.range", "kestrum.eo.track.extra1",
        "kestrum.eo.track.extra2", "kestrum.eo.track.status", "kestrum.eo.track.confidence",
        "kestrum.eo.track.lifetime", "kestrum.eo.track.priority", "kestrum.heartbeat.missed"};
    enum { kDirection, kKind, kLabel, kValue, kChecksum, kUnknown, kError, kQuery, kItem, kEoStamp, kTrackId, kX, kY,
           kXSize, kYSize, kRange, kExtra1, kExtra2, kStatus, kConfidence, kLifetime, kPriority, kMissed };
    const std::vector<Row> rows = Tshark(dir, "session.pcap", "kestrum.lua", fields);
    ASSERT_EQ(rows.size(), capture.Datagrams().size());

    // The console's decoders, fed the same frames.
    cPageList pages;
    ASSERT_EQ(cPageDefinitionsReader(RC_Variant::LongFrames).Read(dir.File("pages.xml"), pages), cPageDefinitionsReader::Result::kRead);
    cRC_ItemRegistry registry;
    for (const PageItem& item : pages.Items(0))
        registry.Register(item);
    cRC_IO_EoData eo;

    size_t nValues = 0;
    size_t nBad = 0;
    size_t nUnknown = 0;
    size_t nTracks = 0;
    bool bQuerySeen = false;
    bool bHeartbeatSeen = false;
    for (size_t i = 0; i < rows.size(); ++i)
    {
        const PcapDatagram& datagram = capture.Datagrams()[i];
        const Row& row = rows[i];
        SCOPED_TRACE("packet " + std::to_string(i + 1));
        if (datagram.bytes.empty())
            continue;  // the EO link's opening datagram
        const bool bToConsole = datagram.nDstPort == kPageRx || datagram.nDstPort == kEoRx;
        ASSERT_EQ(row[kDirection], std::vector<std::string>{bToConsole ? "to console" : "from console"});
        const bool bGood = RC_Checksum(datagram.bytes.data(), datagram.bytes.size() - 1) == datagram.bytes.back();
        EXPECT_EQ(row[kChecksum], std::vector<std::string>{bGood ? "Good" : "Bad"});
        nBad += bGood ? 0 : 1;

        if (datagram.nDstPort == kEoRx)
        {
            ASSERT_EQ(row[kKind], std::vector<std::string>{"EO"});
            eo.handleMessage(datagram.bytes.data(), static_cast<int32_t>(datagram.bytes.size()), 0);
            const EoReport report = datagram.bytes[1] == 8 ? eo.CopyTagData() : eo.CopyTrackData();
            EXPECT_EQ(row[kEoStamp], std::vector<std::string>{std::to_string(report.timestamp.Get())});
            ASSERT_EQ(row[kTrackId].size(), report.numTracks.Get());
            for (size_t t = 0; t < row[kTrackId].size(); ++t)
            {
                const EoTrack& track = report.tracks[t];
                EXPECT_EQ(row[kTrackId][t], std::to_string(track.nId));
                EXPECT_EQ(row[kX][t], std::to_string(track.xPosn.nValue));
                EXPECT_EQ(row[kY][t], std::to_string(track.yPosn.nValue));
                EXPECT_EQ(row[kXSize][t], std::to_string(track.xSize.nValue));
                EXPECT_EQ(row[kYSize][t], std::to_string(track.ySize.nValue));
                EXPECT_EQ(row[kStatus][t], std::to_string(track.status.Get()));
                EXPECT_EQ(row[kConfidence][t], std::to_string(track.confidence.Get()));
                EXPECT_EQ(row[kPriority][t], std::to_string(track.priority.Get()));
                EXPECT_DOUBLE_EQ(Number(row[kLifetime][t]), track.lifetime.Value());
                if (track.bRangePresent)
                {
                    EXPECT_EQ(row[kRange].at(t), std::to_string(track.range.nValue));
                }
                if (track.bExtraPresent)
                {
                    EXPECT_DOUBLE_EQ(Number(row[kExtra1].at(t)), track.extra1.Value());
                    EXPECT_DOUBLE_EQ(Number(row[kExtra2].at(t)), track.extra2.Value());
                }
                ++nTracks;
            }
            continue;
        }

        const RC_FrameView frame = bToConsole ? RC_FrameView::Status(RC_Variant::LongFrames, datagram.bytes.data(),
                                                                      static_cast<int32_t>(datagram.bytes.size()))
                                              : RC_FrameView::Command(RC_Variant::LongFrames, datagram.bytes.data(),
                                                                       static_cast<int32_t>(datagram.bytes.size()));
        ASSERT_TRUE(frame.IsValid());
        EXPECT_EQ(row[kKind], std::vector<std::string>{frame.IsHeartbeat() ? "heartbeat" : "long"});
        if (!bToConsole)
        {
            // The console's query for item 2 shows as a query, without a value.
            if (frame.PayloadSize() == 1 && frame.Payload()[0] == (0x80 | 2))
            {
                EXPECT_EQ(row[kQuery], std::vector<std::string>{"1"});
                EXPECT_EQ(row[kItem], std::vector<std::string>{"2"});
                EXPECT_EQ(row[kLabel], std::vector<std::string>{"Counter"});
                bQuerySeen = true;
            }
            continue;
        }
        if (frame.IsHeartbeat())
        {
            EXPECT_EQ(row[kMissed], std::vector<std::string>{"0"});
            bHeartbeatSeen = true;
            continue;
        }
        std::bitset<256> seen;
        const bool bStatusGood = cRC_ItemRegistry::ProcessStatusByte(frame.Status());
        EXPECT_EQ(row[kError], std::vector<std::string>{std::to_string((frame.Status() >> 2) & 0x0f)});
        const bool bDecoded = bGood && bStatusGood &&
                              registry.ProcessStatus(frame.Payload(), static_cast<int32_t>(frame.PayloadSize()),
                                                     frame.SubSystem(), frame.Index(), &seen);
        if (!bStatusGood)
        {
            EXPECT_TRUE(row[kValue].empty()) << "a frame with a bad status is not decoded";
            continue;
        }
        if (bGood)
        {
            EXPECT_EQ(!bDecoded, !row[kUnknown].empty()) << "an unknown item stops the console's decoding";
            EXPECT_EQ(row[kValue].size() + row[kUnknown].size(), seen.count());
        }
        nUnknown += row[kUnknown].empty() ? 0 : 1;
        ASSERT_LE(row[kValue].size(), row[kLabel].size());
        for (size_t v = 0; v < row[kValue].size(); ++v)
        {
            const PageItem* pItem = FindLabel(pages, row[kLabel][v]);
            ASSERT_NE(pItem, nullptr) << row[kLabel][v];
            if (bGood)
            {
                EXPECT_EQ(row[kValue][v], ConsoleText(*pItem->pValue)) << pItem->sLabel;
            }
            ++nValues;
        }
    }
    EXPECT_EQ(nValues, 7u + 6u + 4u + 7u + 1u + 1u);  // the spoilt frame's values are shown too
    EXPECT_EQ(nBad, 1u);
    EXPECT_EQ(nUnknown, 1u);
    EXPECT_EQ(nTracks, 4u);
    EXPECT_TRUE(bQuerySeen);
    EXPECT_TRUE(bHeartbeatSeen);
}

// Off the configured ports the dissector takes a datagram that holds one
// whole frame with a good checksum, short frames too, and leaves the rest.
TEST(TsharkDissector, FindsFramesOnOtherPortsByTheirShape)
{
    if (!HaveTshark())
        GTEST_SKIP() << "tshark is not installed (scripts/setup installs it)";
    TempDir dir;
    dir.Write("pages.xml", R"(<PageDefinitions><Page Title="Gate">
        <Item SubSystem="5" Item="3" Access="RW" Label="Gate width" Type="U16"/>
        <Item SubSystem="5" Item="4" Access="RW" Label="Gate name" Type="String"/>
      </Page></PageDefinitions>)");
    ConsoleSettings settings;
    settings.Udp(kPageTx, kPageRx).Main("nControllerType", 0);
    ASSERT_EQ(Dissector(dir, {"--settings", settings.Write(dir), "--pages", "pages.xml", "-o", "kestrum.lua"}), 0);

    // A datagram between two ports the settings do not name, the checksum added unless spoilt.
    auto datagram = [](uint16_t nSrc, uint16_t nDst, Bytes bytes, uint8_t nSpoil = 0) {
        PcapDatagram d;
        d.nSrcPort = nSrc;
        d.nDstPort = nDst;
        d.bytes = std::move(bytes);
        if (d.bytes[0] != 'w')
            d.bytes.push_back(static_cast<uint8_t>(RC_Checksum(d.bytes.data(), d.bytes.size()) + nSpoil));
        d.dSeconds = 1700000000.0;
        return d;
    };
    {
        std::ofstream out(dir.File("other.pcap"), std::ios::binary);
        cPcapWriter writer(out);
        writer.Write(datagram(5000, 6000, {0x10, 0x05, 0x00, 0x03, 0x03, 0x00, 0x2a}));               // U16 42
        writer.Write(datagram(5000, 6000, {0x10, 0x05, 0x40, 0x05, 0x04, 0x03, 'a', 'b', 0x00}));     // "ab" and its NUL
        writer.Write(datagram(6001, 5001, {0x99, 0x05, 0x02, 0x00, 0x01, 0x83}));                     // a long query
        writer.Write(datagram(5000, 6000, {0x10, 0x05, 0x00, 0x03, 0x03, 0x00, 0x2a}, 1));            // bad checksum
        writer.Write(datagram(5000, 6000, {'w', 'h', 'y', '?', '!'}));                                // text
    }
    const std::vector<Row> rows = Tshark(dir, "other.pcap", "kestrum.lua",
                                         {"kestrum.kind", "kestrum.direction", "kestrum.item.label", "kestrum.item.value",
                                          "kestrum.item.query", "kestrum.item"});
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], (Row{{"short"}, {"unknown"}, {"Gate width"}, {"42"}, {}, {"3"}}));
    EXPECT_EQ(rows[1], (Row{{"short"}, {"unknown"}, {"Gate name"}, {"ab"}, {}, {"4"}}));
    EXPECT_EQ(rows[2], (Row{{"long"}, {"unknown"}, {"unknown item"}, {}, {"1"}, {"3"}}));
    EXPECT_EQ(rows[3], (Row{{}, {}, {}, {}, {}, {}})) << "a bad checksum on a port of no one's is not taken";
    EXPECT_EQ(rows[4], (Row{{}, {}, {}, {}, {}, {}}));
}
