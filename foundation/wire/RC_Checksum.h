#pragma once
#include <cstddef>
#include <cstdint>

// 8-bit additive sum, no seed and no complement; ends every frame.
uint8_t RC_Checksum(const uint8_t* pData, size_t nCount);
