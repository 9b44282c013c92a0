#pragma once
#include <cstdint>
#include <mutex>

class cConDirectX;

// The open controller instances of the process: at most four, packed at the
// front in creation order. A handle from a client counts only if it is here.
class cInstanceTable
{
public:
    static constexpr int32_t kCapacity = 4;

    constexpr cInstanceTable() = default;
    static cInstanceTable& Instance();

    bool IsFull() const;
    int32_t Count() const;
    cConDirectX* At(int32_t nIndex) const;  // null past the end
    bool Add(cConDirectX* pInstance);        // false when full
    cConDirectX* Find(const void* hHandle) const;
    // Takes the entry out, moving the later ones up; null when absent.
    cConDirectX* Remove(const void* hHandle);
    // Stops and deletes every instance, in table order.
    void DestroyAll();

private:
    mutable std::mutex m_Mutex;
    cConDirectX* m_Instances[kCapacity] = {};
    int32_t m_nCount = 0;
};
