#pragma once
#include <cstdint>

// What a datagram that held no frame looks like, from its first bytes: a frame
// of one of the wire's kinds (which a receiver set for another kind cannot
// cut), text, or anything else. Lets a receiver say what it is being sent.
enum class RC_DatagramKind : uint8_t
{
    Short = 0,  // first byte 0x10
    Long = 1,   // 0x99
    Eo = 2,     // 0x77
    Text = 3,   // printable characters
    Other = 4,
};
constexpr int32_t RC_kDatagramKinds = 5;

// Looks at the first bytes only. Text wins over a first byte that happens to
// be a frame's ('w' is 0x77): a real frame's length field is never printable.
RC_DatagramKind RC_ClassifyDatagram(const uint8_t* pData, int32_t nCount);

// "short frames (0x10)", "long frames (0x99)", "EO frames (0x77)", "text", "datagrams that are not frames".
const char* RC_DatagramKindText(RC_DatagramKind eKind);
