#pragma once
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <utility>
#include <vector>

// A bad network for one direction of one link: loses (in bursts), corrupts,
// duplicates, delays and reorders the datagrams handed to Pass, and gives
// what survives to the send callable. Its decisions come from its own seeded
// generator, drawn in the order datagrams are passed, so one seed repeats a
// run. Datagrams that wait leave from the io_context, in order of their due
// times; nothing is sent after Close returns. Owners close it, stop the
// io_context's thread, and only then destroy it.
class cSimImpairment
{
public:
    using Bytes = std::vector<uint8_t>;
    using Sender = std::function<void(const Bytes& datagram)>;
    using Clock = std::chrono::steady_clock;

    struct Settings
    {
        double dLoss = 0.0;       // share of datagrams lost, bursts included
        int32_t nBurst = 1;       // datagrams per loss
        int32_t nDelayMs = 0;     // every datagram
        int32_t nJitterMs = 0;    // up to this much more, uniform
        double dReorder = 0.0;    // share held back until the next has gone
        double dDuplicate = 0.0;  // share sent twice
        double dCorrupt = 0.0;    // share with one bit flipped
        // Jitter never lets a datagram overtake one passed before it (a
        // queue's delay, as on the way of one stream); only dReorder reorders.
        bool bJitterKeepsOrder = false;
        bool On() const;
        // "loss 0.1 in bursts of 3, delay 20 ms + 0-50 ms", or "none".
        std::string Describe() const;
    };

    // A datagram held back for reordering leaves after this long past its
    // due time when no other follows it, so a lone command is late, not lost.
    static constexpr std::chrono::milliseconds kLongestHold{200};

    // nKeepBytes: leading bytes never corrupted (a frame's sync and length:
    // a flip there would change how the receiver cuts it, not just its checksum).
    cSimImpairment(const Settings& settings, uint64_t nSeed, boost::asio::io_context& io, Sender fnSend,
                   size_t nKeepBytes = 0);
    ~cSimImpairment();
    cSimImpairment(const cSimImpairment&) = delete;
    cSimImpairment& operator=(const cSimImpairment&) = delete;

    // Any thread. What is not held is sent before it returns, on its thread.
    void Pass(const uint8_t* pData, size_t nCount);
    void Pass(const Bytes& datagram) { Pass(datagram.data(), datagram.size()); }
    // Drops whatever is held; waits for a send in progress.
    void Close();

    // One generator per link and direction from the one seed the user gives.
    static uint64_t SeedFor(uint64_t nSeed, uint32_t nLink, uint32_t nDirection);

    struct Counts
    {
        uint64_t nPassed = 0;
        uint64_t nLost = 0;
        uint64_t nCorrupted = 0;
        uint64_t nDuplicated = 0;
        uint64_t nReordered = 0;
        uint64_t nSent = 0;
    };
    Counts Get() const;

private:
    using Key = std::pair<Clock::time_point, uint64_t>;  // due, then order of arrival
    Clock::time_point m_LastDue;  // with bJitterKeepsOrder: the latest due time given

    struct Draws
    {
        double dLoss, dCorrupt, dDuplicate, dReorder, dJitter;
        uint64_t nBitPick;
    };
    Draws Draw();
    struct Entry
    {
        Bytes bytes;
        int nCopies = 1;
    };
    void Queue(const Key& key, Entry entry);
    void ReleaseHeld(const Key* pAfter);
    void Send(const Entry& entry);
    void Arm();  // strand only, lock held
    void OnTimer();

    const Settings m_Settings;
    const double m_dBurstStart;  // chance that a datagram outside a burst starts one
    const size_t m_nKeepBytes;
    const Sender m_fnSend;
    boost::asio::strand<boost::asio::io_context::executor_type> m_Strand;
    boost::asio::steady_timer m_Timer;  // strand only

    mutable std::mutex m_Mutex;  // guards everything below; held while sending
    std::mt19937_64 m_Random;
    int32_t m_nBurstLeft = 0;
    uint64_t m_nNext = 0;
    std::map<Key, Entry> m_Queue;
    bool m_bHolding = false;
    Key m_Held{};
    bool m_bClosed = false;
    Counts m_Counts;
};
