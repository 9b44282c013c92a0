#include "cSimImpairment.h"

#include <algorithm>
#include <boost/asio/bind_executor.hpp>
#include <boost/asio/post.hpp>
#include <cstdio>

namespace
{
// With bursts of N, a share P of datagrams is lost when a datagram outside a
// burst starts one with this chance: bursts then take N of every N + (1-q)/q.
double BurstStart(double dLoss, int32_t nBurst)
{
    const double dBurst = std::max(1, nBurst);
    return dLoss <= 0.0 ? 0.0 : dLoss / (dBurst * (1.0 - dLoss) + dLoss);
}

std::string Number(double dValue)
{
    char szText[32];
    std::snprintf(szText, sizeof szText, "%g", dValue);
    return szText;
}
} // namespace

bool cSimImpairment::Settings::On() const
{
    return dLoss > 0.0 || nDelayMs > 0 || nJitterMs > 0 || dReorder > 0.0 || dDuplicate > 0.0 || dCorrupt > 0.0;
}

std::string cSimImpairment::Settings::Describe() const
{
    std::string sText;
    auto add = [&sText](const std::string& sPart) { sText += (sText.empty() ? "" : ", ") + sPart; };
    if (dLoss > 0.0)
        add("loss " + Number(dLoss) + (nBurst > 1 ? " in bursts of " + std::to_string(nBurst) : ""));
    if (nDelayMs > 0 && nJitterMs > 0)
        add("delay " + std::to_string(nDelayMs) + " ms + 0-" + std::to_string(nJitterMs) + " ms");
    else if (nDelayMs > 0)
        add("delay " + std::to_string(nDelayMs) + " ms");
    else if (nJitterMs > 0)
        add("delay 0-" + std::to_string(nJitterMs) + " ms");
    if (dReorder > 0.0)
        add("reorder " + Number(dReorder));
    if (dDuplicate > 0.0)
        add("duplicate " + Number(dDuplicate));
    if (dCorrupt > 0.0)
        add("corrupt " + Number(dCorrupt));
    return sText.empty() ? "none" : sText;
}

cSimImpairment::cSimImpairment(const Settings& settings, uint64_t nSeed, boost::asio::io_context& io, Sender fnSend,
                               size_t nKeepBytes)
    : m_Settings(settings), m_dBurstStart(BurstStart(settings.dLoss, settings.nBurst)), m_nKeepBytes(nKeepBytes),
      m_fnSend(std::move(fnSend)), m_Strand(boost::asio::make_strand(io)), m_Timer(m_Strand), m_Random(nSeed)
{
}

cSimImpairment::~cSimImpairment()
{
    Close();
}

uint64_t cSimImpairment::SeedFor(uint64_t nSeed, uint32_t nLink, uint32_t nDirection)
{
    // splitmix64 of the seed moved along by the stream's number: neighbouring
    // seeds and streams give unrelated sequences.
    uint64_t z = nSeed + 0x9E3779B97F4A7C15ull * (1 + 2ull * nLink + nDirection);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

cSimImpairment::Draws cSimImpairment::Draw()
{
    // Every datagram takes the same draws whatever is switched on, so that
    // adding one impairment leaves the others' decisions as they were.
    auto unit = [this] { return static_cast<double>(m_Random() >> 11) * 0x1.0p-53; };
    Draws draws{};
    draws.dLoss = unit();
    draws.dCorrupt = unit();
    draws.dDuplicate = unit();
    draws.dReorder = unit();
    draws.dJitter = unit();
    draws.nBitPick = m_Random();
    return draws;
}

void cSimImpairment::Pass(const uint8_t* pData, size_t nCount)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_bClosed)
        return;
    ++m_Counts.nPassed;
    const Draws draws = Draw();
    if (m_nBurstLeft > 0 || draws.dLoss < m_dBurstStart)
    {
        m_nBurstLeft = m_nBurstLeft > 0 ? m_nBurstLeft - 1 : std::max(1, m_Settings.nBurst) - 1;
        ++m_Counts.nLost;
        return;
    }

    Entry entry{Bytes(pData, pData + nCount), 1};
    if (draws.dCorrupt < m_Settings.dCorrupt && nCount > 0)
    {
        const size_t nFirst = std::min(m_nKeepBytes, nCount - 1);
        const size_t nSpan = nCount - nFirst;
        entry.bytes[nFirst + draws.nBitPick % nSpan] ^= static_cast<uint8_t>(1u << (draws.nBitPick / nSpan % 8));
        ++m_Counts.nCorrupted;
    }
    if (draws.dDuplicate < m_Settings.dDuplicate)
    {
        entry.nCopies = 2;
        ++m_Counts.nDuplicated;
    }

    Clock::time_point due =
        Clock::now() + std::chrono::milliseconds(m_Settings.nDelayMs) +
        std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double, std::milli>(draws.dJitter * m_Settings.nJitterMs));
    if (m_Settings.bJitterKeepsOrder)
    {
        due = std::max(due, m_LastDue);
        m_LastDue = due;
    }
    if (!m_bHolding && draws.dReorder < m_Settings.dReorder)
    {
        ++m_Counts.nReordered;
        m_bHolding = true;
        m_Held = {due + kLongestHold, m_nNext++};
        Queue(m_Held, std::move(entry));
        return;
    }
    if (m_Settings.nDelayMs == 0 && m_Settings.nJitterMs == 0)
    {
        Send(entry);
        if (m_bHolding)
            ReleaseHeld(nullptr);
        return;
    }
    const Key key{due, m_nNext++};
    Queue(key, std::move(entry));
    if (m_bHolding)
        ReleaseHeld(&key);
}

void cSimImpairment::Queue(const Key& key, Entry entry)
{
    const bool bFirst = m_Queue.empty() || key < m_Queue.begin()->first;
    m_Queue.emplace(key, std::move(entry));
    if (bFirst)
        boost::asio::post(m_Strand, [this] {
            std::lock_guard<std::mutex> lock(m_Mutex);
            Arm();
        });
}

void cSimImpairment::ReleaseHeld(const Key* pAfter)
{
    m_bHolding = false;
    auto held = m_Queue.find(m_Held);
    if (held == m_Queue.end())
        return;
    Entry entry = std::move(held->second);
    m_Queue.erase(held);
    if (pAfter)
        Queue({pAfter->first, m_nNext++}, std::move(entry));  // the same due time, one place later
    else
        Send(entry);
}

void cSimImpairment::Send(const Entry& entry)
{
    for (int i = 0; i < entry.nCopies; ++i)
    {
        m_fnSend(entry.bytes);
        ++m_Counts.nSent;
    }
}

void cSimImpairment::Arm()
{
    if (m_bClosed || m_Queue.empty())
    {
        m_Timer.cancel();
        return;
    }
    m_Timer.expires_at(m_Queue.begin()->first.first);
    m_Timer.async_wait(boost::asio::bind_executor(m_Strand, [this](const boost::system::error_code& ec) {
        if (!ec)
            OnTimer();
    }));
}

void cSimImpairment::OnTimer()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_bClosed)
        return;
    const Clock::time_point now = Clock::now();
    while (!m_Queue.empty() && m_Queue.begin()->first.first <= now)
    {
        auto first = m_Queue.begin();
        if (m_bHolding && first->first == m_Held)
            m_bHolding = false;
        const Entry entry = std::move(first->second);
        m_Queue.erase(first);
        Send(entry);
    }
    Arm();
}

void cSimImpairment::Close()
{
    // A timer still armed finds nothing when it fires; the owner stops the
    // io_context before this object goes.
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_bClosed = true;
    m_Queue.clear();
    m_bHolding = false;
}

cSimImpairment::Counts cSimImpairment::Get() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Counts;
}
