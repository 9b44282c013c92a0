#pragma once
#include <string>

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_sPath; }
    std::string File(const std::string& sName) const { return m_sPath + "/" + sName; }
    void Write(const std::string& sName, const std::string& sContent) const;
    std::string Read(const std::string& sName) const;

private:
    std::string m_sPath;
};

// Changes the working directory for the lifetime of the object.
class ScopedChdir
{
public:
    explicit ScopedChdir(const std::string& sPath);
    ~ScopedChdir();
    ScopedChdir(const ScopedChdir&) = delete;
    ScopedChdir& operator=(const ScopedChdir&) = delete;

private:
    std::string m_sPrevious;
};

// Sets (or, with bSet false, removes) one environment entry for the lifetime
// of the object, for code under test that reads it in the test's own process.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* szName, const std::string& sValue, bool bSet = true);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_sName;
    std::string m_sOld;
    bool m_bHad = false;
};
