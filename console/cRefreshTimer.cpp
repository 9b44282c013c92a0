#include "cRefreshTimer.h"

cRefreshTimer::cRefreshTimer(std::function<void()> fnTick, int nPeriodMs)
{
    m_Timer.setInterval(nPeriodMs);
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
