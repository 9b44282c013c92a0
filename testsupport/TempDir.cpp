#include "TempDir.h"

#include <boost/filesystem.hpp>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

TempDir::TempDir()
{
    std::string sTemplate = (boost::filesystem::temp_directory_path() / "kestrum-test-XXXXXX").string();
    if (!mkdtemp(sTemplate.data()))
        throw std::runtime_error("mkdtemp failed");
    m_sPath = sTemplate;
}

TempDir::~TempDir()
{
    boost::system::error_code ec;
    boost::filesystem::remove_all(m_sPath, ec);
}

void TempDir::Write(const std::string& sName, const std::string& sContent) const
{
    std::ofstream out(File(sName), std::ios::binary | std::ios::trunc);
    out << sContent;
}

std::string TempDir::Read(const std::string& sName) const
{
    std::ifstream in(File(sName), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ScopedChdir::ScopedChdir(const std::string& sPath)
{
    char szCwd[4096];
    if (getcwd(szCwd, sizeof(szCwd)))
        m_sPrevious = szCwd;
    if (chdir(sPath.c_str()) != 0)
        throw std::runtime_error("chdir failed: " + sPath);
}

ScopedChdir::~ScopedChdir()
{
    if (!m_sPrevious.empty() && chdir(m_sPrevious.c_str()) != 0)
    {
        // Nothing sensible to do in a destructor; the next test sets its own folder.
    }
}

ScopedEnvironment::ScopedEnvironment(const char* szName, const std::string& sValue, bool bSet) : m_sName(szName)
{
    const char* szOld = std::getenv(szName);
    m_bHad = szOld != nullptr;
    if (m_bHad)
        m_sOld = szOld;
    if (bSet)
        setenv(szName, sValue.c_str(), 1);
    else
        unsetenv(szName);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_bHad)
        setenv(m_sName.c_str(), m_sOld.c_str(), 1);
    else
        unsetenv(m_sName.c_str());
}
