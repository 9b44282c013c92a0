#pragma once
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

// One 100 ms timer on the UI thread that drives every refresh whose period is
// a multiple of it. Timers of their own each wake the thread on their own
// phase; with a dozen windows open those wake-ups, not the refresh work, are
// what an idle console costs. Shared, all of them run in one wake-up.
// Used on the thread that owns the application object only.
class cRefreshTicker : public QObject
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kBasePeriodMs = 100;

    // The application thread's ticker, made on first use; null on any other
    // thread or before the application object exists.
    static cRefreshTicker* ForThisThread();
    static bool Serves(int nPeriodMs) { return nPeriodMs > 0 && nPeriodMs % kBasePeriodMs == 0; }

    // fnTick runs every nPeriodMs (Serves(nPeriodMs)), the first time about
    // one period from now (never more than 5% sooner). Returns a key for Remove.
    uint64_t Add(std::function<void()> fnTick, int nPeriodMs);
    // No tick of nKey runs after this returns; a tick may remove itself or another.
    void Remove(uint64_t nKey);
    size_t Count() const { return m_Subscribers.size(); }

private:
    explicit cRefreshTicker(QObject* pParent);
    void Tick();

    struct Subscriber
    {
        uint64_t nKey;
        std::function<void()> fnTick;
        Clock::duration period;
        Clock::time_point due;
    };
    QTimer m_Timer;  // runs only while someone subscribes
    std::vector<Subscriber> m_Subscribers;
    uint64_t m_nNextKey = 1;
};
