#pragma once
#include "cCommsIF.h"

// A transport without a wire, for driving a protocol object's receive path
// directly (fuzzing, benchmarks): sends succeed and go nowhere.
class NullTransport : public cCommsIF
{
public:
    NullTransport() : cCommsIF("Null") {}
    ~NullTransport() override { cCommsIF::Terminate(); }
    bool startRx() override { return true; }
    bool stopRx() override { return true; }
    int messageSend(const uint8_t*, int32_t) override { return 0; }
    bool isOpen() override { return true; }
    bool purgeRx() override { return true; }
    bool purgeTx() override { return true; }
    bool purgeRxTx() override { return true; }
};
