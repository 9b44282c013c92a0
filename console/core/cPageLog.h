#pragma once
#include "cDataLog.h"
#include "PageItem.h"

#include <boost/signals2/connection.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class cRC_IO_Pages;

// The log of one page: a row of the page's items (their shown values) at
// every update of its logging subsystem. The row is taken on the receive
// thread as the update arrives, so each update is one row with the values it
// brought; the owner's refresh writes the rows to the file (cDataLog).
class cPageLog
{
public:
    // The items belong to the page list, which outlives the log; write-only
    // items have no value to log and are left out.
    cPageLog(const std::vector<const PageItem*>& items, int32_t nLoggingSubsystem);
    ~cPageLog();
    cPageLog(const cPageLog&) = delete;
    cPageLog& operator=(const cPageLog&) = delete;

    // Rows come from this protocol's updates from now on (null: none).
    void Listen(cRC_IO_Pages* pRC_IO_Pages);
    void StopListening();

    // As cDataLog's, on the owner's thread.
    bool Start(const std::string& sFolder, const std::string& sName);
    void Stop();
    void WritePending() { m_pState->log.WritePending(); }
    bool IsRunning() const { return m_pState->log.IsRunning(); }
    const std::string& Path() const { return m_pState->log.Path(); }

    // "Timestamp," then each item's label, each followed by ','.
    static std::string Header(const std::vector<const PageItem*>& items);
    static std::string Row(const std::vector<const PageItem*>& items, const std::string& sTimeOfDay);

private:
    // Shared with the receive thread's slot, which may still be taking a row
    // when the log goes.
    struct State
    {
        cDataLog log;
        std::vector<const PageItem*> items;
        int32_t nSubsystem = -1;
    };

    std::shared_ptr<State> m_pState;
    boost::signals2::scoped_connection m_Connection;
};
