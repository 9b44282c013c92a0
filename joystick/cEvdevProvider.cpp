#include "cEvdevProvider.h"

#include "DbgLog.h"
#include "cEvdevSource.h"

cEvdevProvider::cEvdevProvider(std::shared_ptr<const cEvdevEnumerator> pEnumerator)
    : m_pEnumerator(std::move(pEnumerator))
{
}

std::unique_ptr<cJoystickSource> cEvdevProvider::Open(int32_t nIndex)
{
    const std::vector<cEvdevNode> joysticks = m_pEnumerator->Joysticks();
    for (size_t i = 0; i < joysticks.size(); ++i)
        DbgLog(DBG_INF, "cEvdevProvider::Open", __LINE__,
               DbgLogFormat("joystick %zu: %s \"%s\"", i, joysticks[i].sPath.c_str(), joysticks[i].sName.c_str()));
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= joysticks.size())
    {
        DbgLog(DBG_INF, "cEvdevProvider::Open", __LINE__,
               DbgLogFormat("no joystick at index %d (%zu attached)", nIndex, joysticks.size()));
        return nullptr;
    }
    return cEvdevSource::Open(m_pEnumerator, joysticks[nIndex]);
}
