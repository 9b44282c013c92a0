#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

// Data-type codes of remote-system items; the numbers travel in settings files.
enum class RC_DataType : int32_t
{
    Byte = 0,
    U16 = 1,
    S16 = 2,
    U32 = 3,
    S32 = 4,
    U64 = 5,
    S64 = 6,
    U128 = 7,
    Fixed = 8,
    String = 9,
    Float = 10,
    Double = 11,
};

struct RC_DataTypeName
{
    const char* szName;
    RC_DataType eType;
};

// Names as they appear in the definition files, in code order.
inline constexpr std::array<RC_DataTypeName, 12> RC_DataTypesLookup = {{
    {"Byte", RC_DataType::Byte},
    {"U16", RC_DataType::U16},
    {"S16", RC_DataType::S16},
    {"U32", RC_DataType::U32},
    {"S32", RC_DataType::S32},
    {"U64", RC_DataType::U64},
    {"S64", RC_DataType::S64},
    {"U128", RC_DataType::U128},
    {"Fixed", RC_DataType::Fixed},
    {"String", RC_DataType::String},
    {"Float", RC_DataType::Float},
    {"Double", RC_DataType::Double},
}};

// Case-sensitive lookup of a type name; false when the name is not a type.
bool RC_FindDataType(const char* szName, RC_DataType& eType);
const char* RC_DataTypeText(RC_DataType eType);
bool RC_IsValidDataType(int32_t nCode);
// Bytes a value takes on the wire; 0 for String, whose size is in its first byte.
size_t RC_WireSize(RC_DataType eType);
