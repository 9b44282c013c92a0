#include "cRefreshTicker.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <boost/container/small_vector.hpp>

namespace
{
// How much sooner than due a subscriber may run, so that one started just
// after a tick is not put off by a whole extra period.
std::chrono::steady_clock::duration Tolerance(std::chrono::steady_clock::duration period)
{
    return period / 20;
}
} // namespace

cRefreshTicker::cRefreshTicker(QObject* pParent) : QObject(pParent)
{
    // Precise, so that its phase, and with it every subscriber's, stays put.
    m_Timer.setTimerType(Qt::PreciseTimer);
    m_Timer.setInterval(kBasePeriodMs);
    connect(&m_Timer, &QTimer::timeout, this, [this] { Tick(); });
}

cRefreshTicker* cRefreshTicker::ForThisThread()
{
    QCoreApplication* pApp = QCoreApplication::instance();
    if (!pApp || QThread::currentThread() != pApp->thread())
        return nullptr;
    // Owned by the application object, so it goes with it; a later application object gets a new one.
    static QPointer<cRefreshTicker> s_pTicker;
    if (!s_pTicker)
        s_pTicker = new cRefreshTicker(pApp);
    return s_pTicker;
}

uint64_t cRefreshTicker::Add(std::function<void()> fnTick, int nPeriodMs)
{
    const Clock::duration period = std::chrono::milliseconds(nPeriodMs);
    const uint64_t nKey = m_nNextKey++;
    m_Subscribers.push_back({nKey, std::move(fnTick), period, Clock::now() + period});
    if (!m_Timer.isActive())
        m_Timer.start();
    return nKey;
}

void cRefreshTicker::Remove(uint64_t nKey)
{
    std::erase_if(m_Subscribers, [nKey](const Subscriber& subscriber) { return subscriber.nKey == nKey; });
    if (m_Subscribers.empty())
        m_Timer.stop();
}

void cRefreshTicker::Tick()
{
    const Clock::time_point now = Clock::now();
    // Who is due is settled first: a tick may add or remove subscribers.
    boost::container::small_vector<uint64_t, 32> due;
    for (Subscriber& subscriber : m_Subscribers)
    {
        if (now < subscriber.due - Tolerance(subscriber.period))
            continue;
        due.push_back(subscriber.nKey);
        subscriber.due += subscriber.period;
        // Behind by a period or more (a long stall): carry on from now, no catching up.
        if (subscriber.due <= now)
            subscriber.due = now + subscriber.period - Tolerance(subscriber.period);
    }
    for (uint64_t nKey : due)
    {
        auto it = std::find_if(m_Subscribers.begin(), m_Subscribers.end(),
                               [nKey](const Subscriber& subscriber) { return subscriber.nKey == nKey; });
        if (it == m_Subscribers.end())
            continue;  // removed by an earlier tick of this round
        // A copy: the tick may remove its own subscriber, and with it the function.
        const std::function<void()> fnTick = it->fnTick;
        fnTick();
    }
}
