#include "DXInputDevice.h"

#include "cEvdevProvider.h"

#include <mutex>

namespace
{
std::mutex& FactoryMutex()
{
    static std::mutex mutex;
    return mutex;
}

DXInputDevice::InterfaceFactory& Factory()
{
    static DXInputDevice::InterfaceFactory fnFactory;
    return fnFactory;
}
} // namespace

DXInputDevice::~DXInputDevice() = default;

void DXInputDevice::SetInterfaceFactory(InterfaceFactory fnFactory)
{
    std::lock_guard<std::mutex> lock(FactoryMutex());
    Factory() = std::move(fnFactory);
}

int32_t DXInputDevice::CreateInterface()
{
    if (m_pInterface)
        return 0;
    {
        std::lock_guard<std::mutex> lock(FactoryMutex());
        if (Factory())
            m_pInterface = Factory()();
    }
    if (!m_pInterface)
        m_pInterface = std::make_shared<cEvdevProvider>();
    return m_pInterface ? 0 : -1;
}
