#pragma once
#include <csignal>

// SIGINT and SIGTERM blocked on the calling thread while a program starts its
// worker threads, which inherit the mask: the stop signals then reach only
// the thread that waits for them, never a worker that sits in a receive (where
// a sanitizer runtime may hold the handler back until the receive returns).
// Release unblocks them on the calling thread; a signal that came meanwhile
// is delivered then.
class cStopSignalMask
{
public:
    cStopSignalMask();
    ~cStopSignalMask();
    cStopSignalMask(const cStopSignalMask&) = delete;
    cStopSignalMask& operator=(const cStopSignalMask&) = delete;

    void Release();

    // For a thread that may start after Release (a timer queue's, started by
    // its first timer): the stop signals never reach it.
    static void KeepStopsFromThisThread();

private:
    sigset_t m_Stops{};
    bool m_bBlocked = false;
};
