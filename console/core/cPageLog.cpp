#include "cPageLog.h"

#include "RC_ItemValue.h"
#include "cRC_IO_Pages.h"

cPageLog::cPageLog(const std::vector<const PageItem*>& items, int32_t nLoggingSubsystem)
    : m_pState(std::make_shared<State>())
{
    for (const PageItem* pItem : items)
    {
        if (pItem->nAccess != PageItem::kWriteOnly)
            m_pState->items.push_back(pItem);
    }
    m_pState->nSubsystem = nLoggingSubsystem;
}

cPageLog::~cPageLog()
{
    StopListening();
    Stop();
}

void cPageLog::Listen(cRC_IO_Pages* pRC_IO_Pages)
{
    StopListening();
    if (!pRC_IO_Pages)
        return;
    m_Connection = pRC_IO_Pages->m_sigSubsystemUpdated.connect([pState = m_pState](unsigned char nSubsystem) {
        if (nSubsystem == pState->nSubsystem && pState->log.IsRunning())
            pState->log.Add(Row(pState->items, cCsvLogFile::TimeOfDay()));
    });
}

void cPageLog::StopListening()
{
    m_Connection.disconnect();
}

bool cPageLog::Start(const std::string& sFolder, const std::string& sName)
{
    return m_pState->log.Start(sFolder, sName, Header(m_pState->items));
}

void cPageLog::Stop()
{
    m_pState->log.Stop();
}

std::string cPageLog::Header(const std::vector<const PageItem*>& items)
{
    std::string sHeader = "Timestamp,";
    for (const PageItem* pItem : items)
        sHeader += cCsvLogFile::Field(pItem->sLabel) + ",";
    return sHeader + "\n";
}

std::string cPageLog::Row(const std::vector<const PageItem*>& items, const std::string& sTimeOfDay)
{
    std::string sRow = sTimeOfDay + ",";
    for (const PageItem* pItem : items)
        sRow += cCsvLogFile::Field(pItem->pValue->ShownText()) + ",";
    return sRow + "\n";
}
