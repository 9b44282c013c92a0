#include "cPageList.h"

size_t cPageList::AppendPage(std::vector<PageItem> items, const std::string& sTitle, bool bLogging,
                             int32_t nLoggingSubsystem)
{
    m_Items.push_back(std::move(items));
    m_Titles.push_back(sTitle);
    m_Logging.push_back(bLogging);
    m_LoggingSubsystems.push_back(nLoggingSubsystem);
    return m_Items.size() - 1;
}

void cPageList::Clear()
{
    m_Items.clear();
    m_Titles.clear();
    m_Logging.clear();
    m_LoggingSubsystems.clear();
}
