#include "CXLoadLibrary.h"

#include "DbgLog.h"

#include <climits>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace
{
std::string FolderOf(const std::string& sPath)
{
    const std::string::size_type nSlash = sPath.rfind('/');
    return nSlash == std::string::npos ? std::string() : sPath.substr(0, nSlash);
}

bool FileExists(const std::string& sPath)
{
    return !sPath.empty() && access(sPath.c_str(), F_OK) == 0;
}

// The file dlopen should be given for a path a client named.
std::string Resolve(const char* szPath)
{
    if (std::strchr(szPath, '/'))
        return szPath;
    for (const std::string& sFolder : {CXLoadLibrary::ProgramFolder(), CXLoadLibrary::OwnFolder()})
    {
        const std::string sBeside = sFolder + "/" + szPath;
        if (!sFolder.empty() && FileExists(sBeside))
            return sBeside;
    }
    return szPath;
}
} // namespace

CXLoadLibrary::~CXLoadLibrary()
{
    Free();
}

bool CXLoadLibrary::Load(const char* szPath)
{
    Free();
    std::memset(m_szPath, 0, sizeof(m_szPath));
    if (!szPath || !*szPath)
        return false;
    // A path cut to fit the buffer could name another library: refuse it instead.
    if (std::strlen(szPath) >= sizeof(m_szPath))
    {
        DbgLog(DBG_ERR, "CXLoadLibrary::Load", __LINE__,
               DbgLogFormat("(%.60s...) path longer than %d characters", szPath, kPathSize - 1));
        return false;
    }
    std::strcpy(m_szPath, szPath);

    const std::string sFile = Resolve(m_szPath);
    m_hModule = dlopen(sFile.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_hModule)
    {
        const char* szReason = dlerror();
        DbgLog(DBG_ERR, "CXLoadLibrary::Load", __LINE__, DbgLogFormat("(%s) %s", m_szPath, szReason ? szReason : ""));
        return false;
    }
    return true;
}

void CXLoadLibrary::Free()
{
    if (m_hModule)
        dlclose(m_hModule);
    m_hModule = nullptr;
}

void* CXLoadLibrary::GetProcAddress(const char* szName) const
{
    if (!m_hModule || !szName)
        return nullptr;
    return dlsym(m_hModule, szName);
}

std::string CXLoadLibrary::ProgramFolder()
{
    char szExe[PATH_MAX];
    const ssize_t nLength = readlink("/proc/self/exe", szExe, sizeof(szExe) - 1);
    if (nLength <= 0)
        return std::string();
    szExe[nLength] = '\0';
    return FolderOf(szExe);
}

std::string CXLoadLibrary::OwnFolder()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&CXLoadLibrary::OwnFolder), &info) || !info.dli_fname)
        return std::string();
    char szReal[PATH_MAX];
    if (!realpath(info.dli_fname, szReal))
        return FolderOf(info.dli_fname);
    return FolderOf(szReal);
}
