#include "cStopSignalMask.h"

#include <pthread.h>

namespace
{
sigset_t StopSignals()
{
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    return stops;
}
} // namespace

cStopSignalMask::cStopSignalMask() : m_Stops(StopSignals())
{
    m_bBlocked = pthread_sigmask(SIG_BLOCK, &m_Stops, nullptr) == 0;
}

void cStopSignalMask::KeepStopsFromThisThread()
{
    const sigset_t stops = StopSignals();
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
}

cStopSignalMask::~cStopSignalMask()
{
    Release();
}

void cStopSignalMask::Release()
{
    if (m_bBlocked)
        pthread_sigmask(SIG_UNBLOCK, &m_Stops, nullptr);
    m_bBlocked = false;
}
