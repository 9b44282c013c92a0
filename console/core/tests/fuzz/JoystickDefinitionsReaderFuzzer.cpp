// The joystick definitions file, read for both frame variants: whatever it
// holds, reading never crashes, and every address accepted fits the wire.
#include "FuzzInputFile.h"
#include "cJoystickDefinitionsReader.h"

#include <cstdlib>

namespace
{
bool Addressable(int32_t nSubsystem, int32_t nIndex, int32_t nItem)
{
    return nSubsystem >= 0 && nSubsystem <= 255 && nIndex >= 0 && nIndex <= 255 && nItem >= 0 && nItem <= 127;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const char* szPath = FuzzInputFile::Write(pData, nSize);
    if (!szPath)
        return 0;
    for (const RC_Variant eVariant : {RC_Variant::ShortFrames, RC_Variant::LongFrames})
    {
        JoystickDefinitions definitions;
        cJoystickDefinitionsReader(eVariant).Read(szPath, definitions);
        for (const JoystickAxisDef& axis : definitions.axes)
        {
            if (axis.bValid && !Addressable(axis.nSubsystem, axis.nIndex, axis.nItem))
                std::abort();
        }
        for (const auto& items : definitions.functions)
        {
            for (const JoystickFunctionItem& item : items)
            {
                if (!Addressable(item.nSubsystem, item.nIndex, item.nItem))
                    std::abort();
            }
        }
    }
    return 0;
}
