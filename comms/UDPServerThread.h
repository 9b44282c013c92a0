#pragma once
#include "UDPServer.h"
#include "cServiceThread.h"

namespace nx::http
{
// A UDPServer whose I/O service runs on a worker thread of its own.
class UDPServerThread : public UDPServer, public cServiceThread
{
public:
    UDPServerThread();
    ~UDPServerThread() override;

    // Stops the service and joins its thread; sends already asked for go out first.
    void Stop() override;
    virtual bool RunThread();
};
} // namespace nx::http
