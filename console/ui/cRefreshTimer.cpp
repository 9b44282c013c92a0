#include "cRefreshTimer.h"

cRefreshTimer::cRefreshTimer(std::function<void()> fnTick, int nPeriodMs, Qt::TimerType eType)
    : m_fnTick(std::move(fnTick)), m_nPeriodMs(nPeriodMs),
      m_bShareable(eType == Qt::CoarseTimer && cRefreshTicker::Serves(nPeriodMs))
{
    m_Timer.setInterval(nPeriodMs);
    m_Timer.setTimerType(eType);
    QObject::connect(&m_Timer, &QTimer::timeout, [this] { m_fnTick(); });
}

cRefreshTimer::~cRefreshTimer()
{
    Stop();
}

void cRefreshTimer::Start()
{
    Stop();
    if (m_bShareable)
    {
        m_pTicker = cRefreshTicker::ForThisThread();
        if (m_pTicker)
        {
            m_nKey = m_pTicker->Add([this] { m_fnTick(); }, m_nPeriodMs);
            return;
        }
    }
    m_Timer.start();
}

void cRefreshTimer::Stop()
{
    m_Timer.stop();
    if (m_pTicker && m_nKey != 0)
        m_pTicker->Remove(m_nKey);
    m_pTicker = nullptr;
    m_nKey = 0;
}

bool cRefreshTimer::IsRunning() const
{
    return m_Timer.isActive() || (m_pTicker && m_nKey != 0);
}
