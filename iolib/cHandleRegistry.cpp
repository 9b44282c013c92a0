#include "cHandleRegistry.h"

#include <atomic>
#include <mutex>
#include <unordered_set>

namespace
{
// Set once the registry is destroyed (library unloaded, or process exit): a
// family object released after that is simply no longer found.
constinit std::atomic<bool> g_bGone{false};

struct Registry
{
    ~Registry() { g_bGone = true; }

    std::mutex mutex;
    std::unordered_set<const void*> objects;
};

Registry* TheRegistry()
{
    static Registry registry;
    return g_bGone ? nullptr : &registry;
}
} // namespace

void cHandleRegistry::Add(CvxObj* pObj)
{
    if (Registry* pRegistry = TheRegistry())
    {
        std::lock_guard<std::mutex> lock(pRegistry->mutex);
        pRegistry->objects.insert(pObj);
    }
}

void cHandleRegistry::Remove(CvxObj* pObj)
{
    if (Registry* pRegistry = TheRegistry())
    {
        std::lock_guard<std::mutex> lock(pRegistry->mutex);
        pRegistry->objects.erase(pObj);
    }
}

CvxObj* cHandleRegistry::Find(const void* hHandle)
{
    Registry* pRegistry = hHandle ? TheRegistry() : nullptr;
    if (!pRegistry)
        return nullptr;
    std::lock_guard<std::mutex> lock(pRegistry->mutex);
    if (pRegistry->objects.count(hHandle) == 0)
        return nullptr;
    return static_cast<CvxObj*>(const_cast<void*>(hHandle));
}
