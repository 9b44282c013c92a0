#include "RC_DataType.h"

#include <cstring>

bool RC_FindDataType(const char* szName, RC_DataType& eType)
{
    if (!szName)
        return false;
    for (const RC_DataTypeName& entry : RC_DataTypesLookup)
    {
        if (std::strcmp(entry.szName, szName) == 0)
        {
            eType = entry.eType;
            return true;
        }
    }
    return false;
}

bool RC_IsValidDataType(int32_t nCode)
{
    return nCode >= 0 && nCode < static_cast<int32_t>(RC_DataTypesLookup.size());
}

const char* RC_DataTypeText(RC_DataType eType)
{
    const int32_t nCode = static_cast<int32_t>(eType);
    return RC_IsValidDataType(nCode) ? RC_DataTypesLookup[nCode].szName : "?";
}

size_t RC_WireSize(RC_DataType eType)
{
    switch (eType)
    {
    case RC_DataType::Byte: return 1;
    case RC_DataType::U16:
    case RC_DataType::S16: return 2;
    case RC_DataType::U32:
    case RC_DataType::S32:
    case RC_DataType::Fixed:
    case RC_DataType::Float: return 4;
    case RC_DataType::U64:
    case RC_DataType::S64:
    case RC_DataType::Double: return 8;
    case RC_DataType::U128: return 16;
    case RC_DataType::String: return 0;
    }
    return 0;
}
