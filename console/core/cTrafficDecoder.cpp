#include "cTrafficDecoder.h"

#include "EoReport.h"
#include "RC_EoFrameView.h"
#include "RC_FrameSync.h"
#include "RC_FrameView.h"
#include "RC_ItemValue.h"
#include "cPageList.h"
#include "cRC_IO_EoData.h"
#include "cRC_IO_Pages.h"

#include <algorithm>
#include <cstdio>

namespace
{
uint32_t Key(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem)
{
    return static_cast<uint32_t>(nSubSystem) << 16 | static_cast<uint32_t>(nIndex) << 8 | nItem;
}

std::string Hex(const uint8_t* pData, size_t nCount)
{
    std::string sText = "0x";
    char szByte[3];
    for (size_t n = 0; n < nCount; ++n)
    {
        std::snprintf(szByte, sizeof(szByte), "%02X", pData[n]);
        sText += szByte;
    }
    return sText;
}

// The value as the page dialogs show it; text quoted so that an empty one
// shows, and 128-bit values (which the dialogs leave empty) in hex.
std::string ValueText(const RC_ItemValue& value, const uint8_t* pWire, size_t nWire)
{
    switch (value.Type())
    {
    case RC_DataType::String: return "\"" + value.ShownText() + "\"";
    case RC_DataType::U128: return Hex(pWire, nWire);
    default: return value.ToText();
    }
}

const char* EoReportName(uint8_t nId)
{
    switch (nId)
    {
    case 7:
    case 9: return "target report";
    case 8: return "tag report";
    default: return "unknown report";
    }
}
} // namespace

void cTrafficDecoder::SetPages(const cPageList& pages)
{
    m_Items.clear();
    for (size_t nPage = 0; nPage < pages.PageCount(); ++nPage)
        for (const PageItem& item : pages.Items(nPage))
            m_Items.emplace(item.Key(), Definition{item.sLabel, item.eType});
    // The switch of the EO stream, which the console sends whether or not a page defines it.
    for (uint8_t nSubSystem : {0, 6})
        m_Items.emplace(Key(nSubSystem, 0, cRC_IO_Pages::kEoOutput), Definition{"EO data output", RC_DataType::Byte});
}

cTrafficDecoder::Kind cTrafficDecoder::KindOf(const uint8_t* pFrame, size_t nSize)
{
    if (!pFrame || nSize == 0)
        return Kind::kOther;
    switch (pFrame[0])
    {
    case RC_ShortSync: return Kind::kShort;
    case RC_EoSync: return Kind::kEo;
    case RC_LongSync:
        return nSize >= 3 && pFrame[1] == RC_FrameView::kHeartbeatSubSystem && pFrame[2] == RC_FrameView::kHeartbeatIndex
                   ? Kind::kHeartbeat
                   : Kind::kLong;
    default: return Kind::kOther;
    }
}

const char* cTrafficDecoder::KindText(Kind eKind)
{
    switch (eKind)
    {
    case Kind::kShort: return "short";
    case Kind::kLong: return "long";
    case Kind::kHeartbeat: return "heartbeat";
    case Kind::kEo: return "EO";
    case Kind::kOther: break;
    }
    return "other";
}

cTrafficDecoder::Decoded cTrafficDecoder::Decode(const uint8_t* pFrame, size_t nSize, cTrafficTap::Direction eDirection) const
{
    Decoded decoded;
    decoded.eKind = KindOf(pFrame, nSize);
    switch (decoded.eKind)
    {
    case Kind::kEo: DecodeEo(pFrame, nSize, decoded); break;
    case Kind::kOther: decoded.sNote = "not a frame of the protocol"; break;
    default: DecodePage(pFrame, nSize, eDirection, decoded); break;
    }
    return decoded;
}

void cTrafficDecoder::DecodePage(const uint8_t* pFrame, size_t nSize, cTrafficTap::Direction eDirection,
                                 Decoded& decoded) const
{
    const RC_Variant eVariant = decoded.eKind == Kind::kShort ? RC_Variant::ShortFrames : RC_Variant::LongFrames;
    const bool bCommand = eDirection == cTrafficTap::Direction::kTx;
    const int32_t nLength = static_cast<int32_t>(std::min<size_t>(nSize, INT32_MAX));
    const RC_FrameView frame =
        bCommand ? RC_FrameView::Command(eVariant, pFrame, nLength) : RC_FrameView::Status(eVariant, pFrame, nLength);
    decoded.bHasIndex = eVariant == RC_Variant::LongFrames;
    if (!frame.IsValid())
    {
        decoded.sNote = "too short for its header";
        return;
    }
    decoded.bWhole = true;
    decoded.nSubSystem = frame.SubSystem();
    decoded.nIndex = frame.Index();
    decoded.bHasStatus = !bCommand;
    decoded.nStatus = frame.Status();
    if (decoded.eKind == Kind::kHeartbeat)
    {
        static const char* const kFields[2] = {"missed heartbeats", "interface state"};
        for (size_t n = 0; n < 2 && n < frame.PayloadSize(); ++n)
            decoded.items.push_back({static_cast<uint8_t>(n), true, false, kFields[n], "Byte",
                                     std::to_string(frame.Payload()[n])});
        if (frame.PayloadSize() < 2)
            decoded.sNote = "heartbeat too short";
        return;
    }
    DecodeItems(frame.Payload(), frame.PayloadSize(), bCommand, decoded);
}

void cTrafficDecoder::DecodeItems(const uint8_t* pPayload, size_t nSize, bool bCommand, Decoded& decoded) const
{
    size_t nPos = 0;
    // A status payload's last byte alone is no item (the console reads none either).
    while (nPos < nSize && (bCommand || nPos + 1 < nSize))
    {
        const uint8_t nByte = pPayload[nPos++];
        Item item;
        item.nItem = static_cast<uint8_t>(nByte & 0x7F);
        if (bCommand && (nByte & 0x80))
        {
            item.bQuery = true;
            const auto it = m_Items.find(Key(decoded.nSubSystem, decoded.nIndex, item.nItem));
            item.sLabel = it != m_Items.end() ? it->second.sLabel : "unknown item";
            item.bKnown = it != m_Items.end();
            item.sType = it != m_Items.end() ? RC_DataTypeText(it->second.eType) : "";
            item.sValue = "?";
            decoded.items.push_back(std::move(item));
            continue;
        }
        item.nItem = nByte;
        if (bCommand && (nByte == cRC_IO_Pages::kRate || nByte == cRC_IO_Pages::kMask))
        {
            // The periodic request: a rate byte, then the mask of 16 bytes.
            const bool bRate = nByte == cRC_IO_Pages::kRate;
            const size_t nWire = bRate ? 1 : 16;
            item.sLabel = bRate ? "periodic rate" : "periodic mask";
            item.sType = bRate ? "Byte" : "mask";
            if (nSize - nPos < nWire)
            {
                decoded.sNote = "value cut short";
                return;
            }
            item.sValue = bRate ? std::to_string(pPayload[nPos]) : Hex(pPayload + nPos, nWire);
            nPos += nWire;
            decoded.items.push_back(std::move(item));
            continue;
        }
        const auto it = m_Items.find(Key(decoded.nSubSystem, decoded.nIndex, nByte));
        if (it == m_Items.end())
        {
            item.bKnown = false;
            item.sLabel = "unknown item";
            decoded.items.push_back(std::move(item));
            decoded.sNote = "unknown item " + std::to_string(nByte) + ": the rest is not decoded";
            return;
        }
        item.sLabel = it->second.sLabel;
        item.sType = RC_DataTypeText(it->second.eType);
        const std::unique_ptr<RC_ItemValue> pValue = RC_ItemValue::Create(it->second.eType);
        size_t nConsumed = 0;
        if (!pValue || !pValue->Decode(pPayload, nPos, nSize, nConsumed))
        {
            decoded.items.push_back(std::move(item));
            decoded.items.back().sValue = "?";
            decoded.sNote = "value cut short";
            return;
        }
        item.sValue = ValueText(*pValue, pPayload + nPos, nConsumed);
        nPos += nConsumed;
        decoded.items.push_back(std::move(item));
    }
}

void cTrafficDecoder::DecodeEo(const uint8_t* pFrame, size_t nSize, Decoded& decoded)
{
    const RC_EoFrameView frame(pFrame, static_cast<int32_t>(std::min<size_t>(nSize, INT32_MAX)));
    decoded.nSubSystem = RC_EoFrameView::IdOf(pFrame, static_cast<int32_t>(std::min<size_t>(nSize, INT32_MAX)));
    if (!frame.IsValid())
    {
        decoded.sNote = "too short for its header";
        return;
    }
    decoded.bWhole = true;
    auto add = [&](uint8_t nField, const char* szLabel, const char* szType, std::string sValue) {
        decoded.items.push_back({nField, true, false, szLabel, szType, std::move(sValue)});
    };
    add(1, "report", "Byte", std::to_string(frame.Id()) + " (" + EoReportName(frame.Id()) + ")");
    add(4, "format", "Byte", std::to_string(frame.Format()));
    add(5, "timestamp", "U64", std::to_string(frame.Timestamp()));
    add(13, "tracks", "Byte", std::to_string(frame.TrackCount()));
    auto pReport = std::make_unique<EoReport>();
    if (!cRC_IO_EoData::Decode(frame, *pReport))
    {
        decoded.sNote = "track format " + std::to_string(frame.Format()) + " not known";
        return;
    }
    const size_t nTracks = std::min<size_t>({frame.TrackCount(), EoReport::kMaxTracks,
                                             frame.WholeRecords(cRC_IO_EoData::RecordSize(frame.Format()))});
    for (size_t n = 0; n < nTracks; ++n)
    {
        const EoTrack& track = pReport->tracks[n];
        char szText[160];
        std::snprintf(szText, sizeof(szText), "id %u at %d,%d size %dx%d", track.nId, track.xPosn.nValue,
                      track.yPosn.nValue, track.xSize.nValue, track.ySize.nValue);
        decoded.items.push_back({static_cast<uint8_t>(n + 1), true, false, "track " + std::to_string(n + 1), "track", szText});
    }
    if (nTracks < frame.TrackCount() && nTracks < EoReport::kMaxTracks)
        decoded.sNote = "the frame holds " + std::to_string(nTracks) + " whole tracks of " +
                        std::to_string(frame.TrackCount());
}

std::string cTrafficDecoder::AddressText(const Decoded& decoded)
{
    if (decoded.eKind == Kind::kOther || !decoded.bWhole)
        return "";
    if (decoded.eKind == Kind::kEo)
        return "EO " + std::to_string(decoded.nSubSystem);
    if (decoded.bHasIndex)
        return std::to_string(decoded.nSubSystem) + "/" + std::to_string(decoded.nIndex);
    return std::to_string(decoded.nSubSystem);
}

std::string cTrafficDecoder::StatusText(uint8_t nStatus)
{
    char szText[48];
    const uint8_t nError = (nStatus >> 2) & 0x0F;
    const uint8_t nTrigger = nStatus >> 6;
    if (nError != 0)
        std::snprintf(szText, sizeof(szText), "0x%02X error %u", nStatus, nError);
    else
        std::snprintf(szText, sizeof(szText), "0x%02X %s", nStatus,
                      nTrigger == 0 ? "answer" : nTrigger == 1 ? "periodic" : "unknown trigger");
    return szText;
}

std::string cTrafficDecoder::ItemsText(const Decoded& decoded)
{
    std::string sText;
    for (const Item& item : decoded.items)
    {
        if (!sText.empty())
            sText += "; ";
        if (!item.bKnown)
        {
            sText += "unknown item " + std::to_string(item.nItem);
            continue;
        }
        sText += item.sLabel + (item.bQuery ? " ?" : " = " + item.sValue);
    }
    if (!decoded.sNote.empty() && (decoded.items.empty() || decoded.items.back().bKnown))
        sText += (sText.empty() ? "(" : " (") + decoded.sNote + ")";
    return sText;
}
