#pragma once
#include <QTimer>
#include <functional>

// A dialog's periodic refresh: a QTimer on the thread that owns the dialog (the
// UI thread) calls the tick every 100 ms. The tick runs where the widgets live,
// so it may touch them and needs no guard; a tick that finds nothing to do
// costs a wake-up and no more. Make and start it on the dialog's thread.
class cRefreshTimer
{
public:
    static constexpr int kPeriodMs = 100;

    // A coarse timer may tick up to 5% early; eType Qt::PreciseTimer where a
    // rate must not be exceeded.
    explicit cRefreshTimer(std::function<void()> fnTick, int nPeriodMs = kPeriodMs,
                           Qt::TimerType eType = Qt::CoarseTimer);

    void Start();
    // No tick runs after this returns; a tick may call it.
    void Stop();
    bool IsRunning() const { return m_Timer.isActive(); }

private:
    QTimer m_Timer;
};
