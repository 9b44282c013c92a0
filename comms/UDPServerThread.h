#pragma once
#include "UDPServer.h"
#include "XThread.h"

namespace nx::http
{
// A UDPServer whose I/O service runs on a worker thread of its own.
class UDPServerThread : public UDPServer, public XThread
{
public:
    UDPServerThread();
    ~UDPServerThread() override;

    void Stop() override;
    virtual bool RunThread();

protected:
    int Execute(void* pParam) override;
};
} // namespace nx::http
