#include "cInstanceTable.h"

#include "cConDirectX.h"

#include <type_traits>

namespace
{
// Constant-initialised and never destroyed, so it is valid in the library's
// load and unload hooks whatever order static objects go in.
constinit cInstanceTable g_Table;
static_assert(std::is_trivially_destructible_v<cInstanceTable>);
} // namespace

cInstanceTable& cInstanceTable::Instance()
{
    return g_Table;
}

bool cInstanceTable::IsFull() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_nCount >= kCapacity;
}

int32_t cInstanceTable::Count() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_nCount;
}

cConDirectX* cInstanceTable::At(int32_t nIndex) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return nIndex >= 0 && nIndex < m_nCount ? m_Instances[nIndex] : nullptr;
}

bool cInstanceTable::Add(cConDirectX* pInstance)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_nCount >= kCapacity)
        return false;
    m_Instances[m_nCount++] = pInstance;
    return true;
}

cConDirectX* cInstanceTable::Find(const void* hHandle) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (int32_t i = 0; hHandle && i < m_nCount; ++i)
    {
        if (m_Instances[i] == hHandle)
            return m_Instances[i];
    }
    return nullptr;
}

cConDirectX* cInstanceTable::Remove(const void* hHandle)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (int32_t i = 0; hHandle && i < m_nCount; ++i)
    {
        if (m_Instances[i] != hHandle)
            continue;
        cConDirectX* pInstance = m_Instances[i];
        for (int32_t j = i + 1; j < m_nCount; ++j)
            m_Instances[j - 1] = m_Instances[j];
        m_Instances[--m_nCount] = nullptr;
        return pInstance;
    }
    return nullptr;
}

void cInstanceTable::DestroyAll()
{
    cConDirectX* instances[kCapacity] = {};
    int32_t nCount = 0;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        for (int32_t i = 0; i < m_nCount; ++i)
        {
            instances[i] = m_Instances[i];
            m_Instances[i] = nullptr;
        }
        nCount = m_nCount;
        m_nCount = 0;
    }
    // Outside the lock: stopping waits for the polling threads.
    for (int32_t i = 0; i < nCount; ++i)
    {
        instances[i]->uninit();
        delete instances[i];
    }
}
