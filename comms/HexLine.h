#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Appends ",<count>" (at least three digits) and ",0xNN" per byte: the tail of
// every traffic-log line.
void AppendCountAndBytes(std::string& sLine, const uint8_t* pData, int32_t nCount);
