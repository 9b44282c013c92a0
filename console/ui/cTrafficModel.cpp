#include "cTrafficModel.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>

namespace
{
// A screen of rows and the next few: the rows the view repaints.
constexpr size_t kDecodedKept = 512;

const char* const kHeaders[cTrafficModel::kColumns] = {"Time", "Link", "Dir", "Kind", "Sub/Idx", "Status", "Checksum", "Bytes", "Items"};

QString TimeText(std::chrono::system_clock::time_point wall)
{
    const auto nMs = std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(nMs).toString(QStringLiteral("HH:mm:ss.zzz"));
}
} // namespace

cTrafficModel::cTrafficModel(const cTrafficHistory& history, const cTrafficDecoder& decoder, QObject* pParent)
    : QAbstractTableModel(pParent), m_History(history), m_Decoder(decoder)
{
}

int cTrafficModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_Rows.Size());
}

int cTrafficModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant cTrafficModel::headerData(int nSection, Qt::Orientation eOrientation, int nRole) const
{
    if (eOrientation != Qt::Horizontal || nRole != Qt::DisplayRole || nSection < 0 || nSection >= kColumns)
        return {};
    return QString::fromLatin1(kHeaders[nSection]);
}

const cTrafficHistory::Record* cTrafficModel::RecordAt(int nRow) const
{
    if (nRow < 0 || static_cast<size_t>(nRow) >= m_Rows.Size())
        return nullptr;
    return m_History.Find(m_Rows.NumberAt(static_cast<size_t>(nRow)));
}

const cTrafficDecoder::Decoded& cTrafficModel::DecodedAt(uint64_t nNumber, const cTrafficHistory::Record& record) const
{
    const auto it = m_Decoded.find(nNumber);
    if (it != m_Decoded.end())
        return it->second;
    if (m_Decoded.size() >= kDecodedKept)
        m_Decoded.clear();
    return m_Decoded.emplace(nNumber, m_Decoder.Decode(record.bytes.data(), record.bytes.size(), record.eDirection))
        .first->second;
}

QVariant cTrafficModel::data(const QModelIndex& index, int nRole) const
{
    const cTrafficHistory::Record* pRecord = index.isValid() ? RecordAt(index.row()) : nullptr;
    if (!pRecord)
        return {};
    if (nRole == Qt::ForegroundRole)
        return pRecord->bChecksumGood ? QVariant() : QVariant(QBrush(QColor(0xC0, 0x10, 0x10)));
    if (nRole == Qt::TextAlignmentRole)
        return index.column() == kBytes ? QVariant(static_cast<int>(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    if (nRole != Qt::DisplayRole && nRole != Qt::ToolTipRole)
        return {};
    const bool bRx = pRecord->eDirection == cTrafficTap::Direction::kRx;
    switch (index.column())
    {
    case kTime: return TimeText(pRecord->wall);
    case kLink: return pRecord->eLink == cTrafficTap::Link::kEo ? QStringLiteral("EO") : QStringLiteral("pages");
    case kDirection: return bRx ? QStringLiteral("Rx") : QStringLiteral("Tx");
    case kKind:
        return QString::fromLatin1(cTrafficDecoder::KindText(cTrafficDecoder::KindOf(pRecord->bytes.data(), pRecord->bytes.size())));
    case kChecksum: return pRecord->bChecksumGood ? QStringLiteral("good") : QStringLiteral("BAD");
    case kBytes: return static_cast<qulonglong>(pRecord->nLength);
    default: break;
    }
    const cTrafficDecoder::Decoded& decoded = DecodedAt(m_Rows.NumberAt(static_cast<size_t>(index.row())), *pRecord);
    switch (index.column())
    {
    case kAddress: return QString::fromStdString(cTrafficDecoder::AddressText(decoded));
    case kStatus:
        return decoded.bHasStatus && decoded.eKind != cTrafficDecoder::Kind::kEo
                   ? QString::fromStdString(cTrafficDecoder::StatusText(decoded.nStatus))
                   : QString();
    case kItems:
        return nRole == Qt::ToolTipRole ? Details(index.row()) : QString::fromStdString(cTrafficDecoder::ItemsText(decoded));
    default: return {};
    }
}

QString cTrafficModel::Details(int nRow) const
{
    const cTrafficHistory::Record* pRecord = RecordAt(nRow);
    if (!pRecord)
        return {};
    const cTrafficDecoder::Decoded& decoded = DecodedAt(m_Rows.NumberAt(static_cast<size_t>(nRow)), *pRecord);
    QString sText;
    for (const cTrafficDecoder::Item& item : decoded.items)
    {
        if (!item.bKnown)
            sText += QStringLiteral("item %1  unknown item\n").arg(static_cast<int>(item.nItem));
        else
            sText += QStringLiteral("item %1  %2  (%3)  %4\n")
                         .arg(static_cast<int>(item.nItem))
                         .arg(QString::fromStdString(item.sLabel), QString::fromStdString(item.sType),
                              item.bQuery ? QStringLiteral("query") : QString::fromStdString(item.sValue));
    }
    if (!decoded.sNote.empty())
        sText += QString::fromStdString(decoded.sNote) + QLatin1Char('\n');
    QString sHex;
    for (uint8_t nByte : pRecord->bytes)
        sHex += QStringLiteral("%1 ").arg(static_cast<uint>(nByte), 2, 16, QLatin1Char('0'));
    return sText + sHex.trimmed();
}

void cTrafficModel::Refresh()
{
    if (const size_t nExpired = m_Rows.CountExpired(m_History))
    {
        beginRemoveRows(QModelIndex(), 0, static_cast<int>(nExpired) - 1);
        m_Rows.DropExpired(m_History);
        endRemoveRows();
    }
    if (const size_t nNew = m_Rows.CollectNew(m_History, m_Decoder))
    {
        const int nFirst = static_cast<int>(m_Rows.Size());
        beginInsertRows(QModelIndex(), nFirst, nFirst + static_cast<int>(nNew) - 1);
        m_Rows.AppendCollected();
        endInsertRows();
    }
}

void cTrafficModel::Rebuild()
{
    beginResetModel();
    m_Decoded.clear();
    m_Rows.Rebuild(m_History, m_Decoder);
    endResetModel();
}

void cTrafficModel::SetFilter(const cTrafficFilter& filter)
{
    m_Rows.m_Filter = filter;
    Rebuild();
}
