#include "cRefreshTimer.h"

cRefreshTimer::cRefreshTimer(std::function<void()> fnTick, int nPeriodMs, Qt::TimerType eType)
{
    m_Timer.setInterval(nPeriodMs);
    m_Timer.setTimerType(eType);
    QObject::connect(&m_Timer, &QTimer::timeout, std::move(fnTick));
}

void cRefreshTimer::Start()
{
    m_Timer.start();
}

void cRefreshTimer::Stop()
{
    m_Timer.stop();
}
