#pragma once
#include "cSimImpairment.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

// Both directions of one UDP link spoilt (cSimImpairment each), with the
// thread that sends what they hold back. What they let through goes to the
// link's own send and receive paths, which call Tx and Rx again: those calls
// pass straight on (false), so nothing is impaired twice.
class cSimLinkImpairment
{
public:
    using Bytes = std::vector<uint8_t>;
    using Handler = std::function<void(const Bytes& frame)>;

    // nLink: which link of the program (0 pages, 1 EO, ...), for its own
    // decisions from the one seed.
    cSimLinkImpairment(const cSimImpairment::Settings& tx, const cSimImpairment::Settings& rx, uint64_t nSeed,
                       uint32_t nLink);
    ~cSimLinkImpairment();
    cSimLinkImpairment(const cSimLinkImpairment&) = delete;
    cSimLinkImpairment& operator=(const cSimLinkImpairment&) = delete;

    // Before the link sends or receives. fnSend and fnDeliver are the link's
    // send and receive entries; nRxKeepBytes the received frames' sync and
    // length bytes, which corruption spares.
    void Start(Handler fnSend, Handler fnDeliver, size_t nRxKeepBytes);
    // Drops what is held; after it nothing is sent or delivered from here.
    void Stop();

    // True when the frame was taken (to go now, later or never).
    bool Tx(const Bytes& frame);
    bool Rx(const uint8_t* pFrame, int32_t nLength);

    // Sync and length of the longest header sent (a long status frame): a
    // flipped bit there would cut the frame differently, not just fail its checksum.
    static constexpr size_t kTxKeepBytes = 6;

private:
    const cSimImpairment::Settings m_TxSettings;
    const cSimImpairment::Settings m_RxSettings;
    const uint64_t m_nSeed;
    const uint32_t m_nLink;
    // A new one for each Start: handlers of the last run die with the old
    // one, unrun. The impairments go first, as their timers need it.
    std::unique_ptr<boost::asio::io_context> m_pIo;
    std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> m_Guard;
    std::thread m_Thread;
    // Made in Start, before the link's threads run; closed in Stop, and only
    // replaced once they have ended.
    std::unique_ptr<cSimImpairment> m_pTx;
    std::unique_ptr<cSimImpairment> m_pRx;
};
