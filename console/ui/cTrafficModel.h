#pragma once
#include "cTrafficDecoder.h"
#include "cTrafficHistory.h"
#include "cTrafficRows.h"

#include <QAbstractTableModel>
#include <unordered_map>

// The traffic inspector's table over a history: one row per frame that
// passes the filter. Rows move only when Refresh is called (the inspector's
// timer), in one removal at the top and one insertion at the bottom, however
// many frames came meanwhile. A frame is decoded when the view first asks for
// it, and the few last decoded are kept for the repaints that follow.
class cTrafficModel : public QAbstractTableModel
{
public:
    enum Column
    {
        kTime,
        kLink,
        kDirection,
        kKind,
        kAddress,
        kStatus,
        kChecksum,
        kBytes,
        kItems,
        kColumns,
    };

    // Both must outlive the model.
    cTrafficModel(const cTrafficHistory& history, const cTrafficDecoder& decoder, QObject* pParent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation eOrientation, int nRole = Qt::DisplayRole) const override;

    // The history's frames since the last refresh, and those it no longer keeps gone.
    void Refresh();
    // Every row again: after a new filter, a cleared history or new page definitions.
    void Rebuild();
    void SetFilter(const cTrafficFilter& filter);
    const cTrafficFilter& Filter() const { return m_Rows.m_Filter; }

    // The frame of a row; null when it is no longer kept.
    const cTrafficHistory::Record* RecordAt(int nRow) const;
    // The frame of a row decoded, one line per item, and its bytes.
    QString Details(int nRow) const;

private:
    const cTrafficDecoder::Decoded& DecodedAt(uint64_t nNumber, const cTrafficHistory::Record& record) const;

    const cTrafficHistory& m_History;
    const cTrafficDecoder& m_Decoder;
    cTrafficRows m_Rows;
    mutable std::unordered_map<uint64_t, cTrafficDecoder::Decoded> m_Decoded;
};
