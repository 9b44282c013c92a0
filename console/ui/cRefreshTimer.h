#pragma once
#include "cRefreshTicker.h"

#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>

// A dialog's periodic refresh: the tick runs every 100 ms on the thread that
// owns the dialog (the UI thread), where the widgets live, so it may touch them
// and needs no guard. Coarse refreshes of a whole number of 100 ms periods
// share the application's one cRefreshTicker; others (a precise rate, a period
// of its own) have a QTimer each. Make and start it on the dialog's thread.
class cRefreshTimer
{
public:
    static constexpr int kPeriodMs = cRefreshTicker::kBasePeriodMs;

    // A coarse timer may tick up to 5% early; eType Qt::PreciseTimer where a
    // rate must not be exceeded.
    explicit cRefreshTimer(std::function<void()> fnTick, int nPeriodMs = kPeriodMs,
                           Qt::TimerType eType = Qt::CoarseTimer);
    ~cRefreshTimer();
    cRefreshTimer(const cRefreshTimer&) = delete;
    cRefreshTimer& operator=(const cRefreshTimer&) = delete;

    void Start();
    // No tick runs after this returns; a tick may call it.
    void Stop();
    bool IsRunning() const;

private:
    std::function<void()> m_fnTick;
    int m_nPeriodMs;
    bool m_bShareable;
    QTimer m_Timer;                       // when the ticker does not serve this refresh
    QPointer<cRefreshTicker> m_pTicker;  // when it does, while running
    uint64_t m_nKey = 0;
};
