#pragma once
#include <string>

// Owns one dynamically loaded library. A bare file name (no '/') is looked for
// beside the program first, then beside this library, then by the dynamic
// loader's own search; a path with a '/' is loaded as given.
class CXLoadLibrary
{
public:
    static constexpr int kPathSize = 520;

    CXLoadLibrary() = default;
    virtual ~CXLoadLibrary();
    CXLoadLibrary(const CXLoadLibrary&) = delete;
    CXLoadLibrary& operator=(const CXLoadLibrary&) = delete;

    // Frees any library loaded before. False for a null, empty or over-long path
    // and for a library that cannot be loaded.
    bool Load(const char* szPath);
    void Free();
    void* GetProcAddress(const char* szName) const;  // null when not exported or nothing loaded

    bool IsLoaded() const { return m_hModule != nullptr; }
    const char* Path() const { return m_szPath; }

    // Where a bare file name would be looked for before the loader's search.
    static std::string ProgramFolder();
    static std::string OwnFolder();

private:
    void* m_hModule = nullptr;
    char m_szPath[kPathSize] = {};
};
