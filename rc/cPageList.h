#pragma once
#include "PageItem.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The pages of remote-system items: per page its items, title, logging flag
// and logging subsystem (-1: none). Built and changed on the user-interface
// thread only; the receive thread reaches the holders through the page
// protocol's own index, never through these lists.
class cPageList
{
public:
    size_t PageCount() const { return m_Items.size(); }
    const std::vector<PageItem>& Items(size_t nPage) const { return m_Items.at(nPage); }
    std::vector<PageItem>& Items(size_t nPage) { return m_Items.at(nPage); }
    const std::string& Title(size_t nPage) const { return m_Titles.at(nPage); }
    bool Logging(size_t nPage) const { return m_Logging.at(nPage); }
    int32_t LoggingSubsystem(size_t nPage) const { return m_LoggingSubsystems.at(nPage); }

    // Returns the new page's number.
    size_t AppendPage(std::vector<PageItem> items, const std::string& sTitle, bool bLogging, int32_t nLoggingSubsystem);
    void Clear();

private:
    std::vector<std::vector<PageItem>> m_Items;
    std::vector<std::string> m_Titles;
    std::vector<bool> m_Logging;
    std::vector<int32_t> m_LoggingSubsystems;
};
