#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sys/mman.h>
#include <unistd.h>

// The readers take a path, as the console hands them one: the fuzzer's input
// becomes an in-memory file, rewritten for every input, reached through
// /proc/self/fd. No disk is touched.
class FuzzInputFile
{
public:
    static const char* Write(const uint8_t* pData, size_t nSize)
    {
        static const int nFile = memfd_create("fuzz-input", 0);
        static char szPath[64];
        static bool bNamed = (std::snprintf(szPath, sizeof(szPath), "/proc/self/fd/%d", nFile), true);
        (void)bNamed;
        if (nFile < 0 || ftruncate(nFile, 0) != 0 || pwrite(nFile, pData, nSize, 0) != static_cast<ssize_t>(nSize))
            return nullptr;
        return szPath;
    }
};
