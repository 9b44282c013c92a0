#include "cCreateRetries.h"

#include <algorithm>

cCreateRetries& cCreateRetries::Instance()
{
    // Destroyed as Portelle is unloaded, which lets the kept plug-ins go too.
    static cCreateRetries instance;
    return instance;
}

std::string cCreateRetries::Key(const char* szExport, const char* szPath, int32_t nDevice, const char* szConfig)
{
    std::string sKey = szExport ? szExport : "";
    for (const char* szPart : {szPath, szConfig})
    {
        sKey += '\n';
        sKey += szPart ? szPart : "";
    }
    return sKey + '\n' + std::to_string(nDevice);
}

void cCreateRetries::KeepLoaded(const char* szPath, bool bKeep)
{
    const std::string sPath = szPath ? szPath : "";
    std::unique_ptr<CXLoadLibrary> pKept;
    if (bKeep)
    {
        // A second reference to the library already loaded: no new load, no
        // constructors run again.
        pKept = std::make_unique<CXLoadLibrary>();
        if (!pKept->Load(szPath))
            pKept.reset();
    }
    // Unloaded as this goes, after the lock: a plug-in's clean-up may take its time.
    std::vector<std::unique_ptr<CXLoadLibrary>> released;
    std::lock_guard<std::mutex> lock(m_Mutex);
    auto it = std::find_if(m_Kept.begin(), m_Kept.end(), [&](const auto& kept) { return kept.first == sPath; });
    if (it != m_Kept.end())
    {
        released.push_back(std::move(it->second));
        m_Kept.erase(it);
    }
    if (!pKept)
        return;
    if (m_Kept.size() == kMostKept)
    {
        released.push_back(std::move(m_Kept.front().second));
        m_Kept.erase(m_Kept.begin());
    }
    m_Kept.emplace_back(sPath, std::move(pKept));
}
