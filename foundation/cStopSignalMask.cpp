#include "cStopSignalMask.h"

#include <pthread.h>

cStopSignalMask::cStopSignalMask()
{
    sigemptyset(&m_Stops);
    sigaddset(&m_Stops, SIGINT);
    sigaddset(&m_Stops, SIGTERM);
    m_bBlocked = pthread_sigmask(SIG_BLOCK, &m_Stops, nullptr) == 0;
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
