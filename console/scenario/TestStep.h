#pragma once
#include "RC_DataType.h"
#include "RC_ItemValue.h"

#include <cstdint>
#include <memory>
#include <string>

// One step of a system test, as the scenario file's Item element gives it.
// For a WAIT the seconds to wait sit in nSubSystem, as the file format has it.
struct TestStep
{
    enum Kind : int32_t
    {
        kNone = 0,  // an Item without CMD: runs as nothing
        kFinish = 1,
        kTxMsg = 2,
        kTxQry = 3,
        kWait = 4,
    };

    Kind nKind = kNone;
    std::string sLabel;
    uint8_t nSubSystem = 0;
    uint8_t nIndex = 0;
    uint8_t nItem = 0;
    RC_DataType eType = RC_DataType::Byte;
    std::unique_ptr<RC_ItemValue> pValue;  // TX_MSG only: the value to send
    double dReal = 0.0;                    // Fixed and Float: the real value as written

    uint8_t Seconds() const { return nSubSystem; }
};
