#include "cEvdevSource.h"

#include <cerrno>
#include <libevdev/libevdev.h>
#include <unistd.h>

std::unique_ptr<cEvdevSource> cEvdevSource::Open(std::shared_ptr<const cEvdevEnumerator> pEnumerator,
                                                 const cEvdevNode& node)
{
    std::unique_ptr<cEvdevSource> pSource(new cEvdevSource(std::move(pEnumerator), node));
    if (!pSource->Attach(node, true))
        return nullptr;
    return pSource;
}

cEvdevSource::cEvdevSource(std::shared_ptr<const cEvdevEnumerator> pEnumerator, const cEvdevNode& node)
    : m_pEnumerator(std::move(pEnumerator)), m_Node(node)
{
}

cEvdevSource::~cEvdevSource()
{
    Detach();
}

bool cEvdevSource::Attach(const cEvdevNode& node, bool bReport)
{
    Detach();
    const int nFd = m_pEnumerator->OpenNode(node.sPath, bReport);
    if (nFd < 0)
        return false;
    if (libevdev_new_from_fd(nFd, &m_pDevice) != 0)
    {
        m_pDevice = nullptr;
        close(nFd);
        return false;
    }
    m_nFd = nFd;
    m_Node = node;
    return true;
}

void cEvdevSource::Detach()
{
    if (m_pDevice)
        libevdev_free(m_pDevice);
    m_pDevice = nullptr;
    if (m_nFd >= 0)
        close(m_nFd);
    m_nFd = -1;
}

std::string cEvdevSource::Name() const
{
    return m_Node.sPath + " \"" + m_Node.sName + "\"";
}

bool cEvdevSource::ReadCapabilities(JoystickCapabilities& caps)
{
    if (!m_pDevice)
        return false;
    caps = JoystickCapabilities();
    for (unsigned nCode = 0; nCode <= ABS_MAX; ++nCode)
    {
        if (!libevdev_has_event_code(m_pDevice, EV_ABS, nCode))
            continue;
        const input_absinfo* pInfo = libevdev_get_abs_info(m_pDevice, nCode);
        if (pInfo)
            caps.axes.push_back({static_cast<uint16_t>(nCode), pInfo->minimum, pInfo->maximum, pInfo->value});
    }
    for (unsigned nCode = 0; nCode <= KEY_MAX; ++nCode)
    {
        if (libevdev_has_event_code(m_pDevice, EV_KEY, nCode))
            caps.buttons.push_back(
                {static_cast<uint16_t>(nCode), libevdev_get_event_value(m_pDevice, EV_KEY, nCode) != 0});
    }
    return true;
}

bool cEvdevSource::ReadEvents(std::vector<input_event>& events)
{
    if (!m_pDevice)
        return false;
    unsigned nFlags = LIBEVDEV_READ_FLAG_NORMAL;
    for (int nCount = 0; nCount < kMaxEventsPerRead; ++nCount)
    {
        input_event event{};
        const int nResult = libevdev_next_event(m_pDevice, nFlags, &event);
        if (nResult == LIBEVDEV_READ_STATUS_SUCCESS || nResult == LIBEVDEV_READ_STATUS_SYNC)
        {
            // After SYN_DROPPED libevdev hands out the missed changes in sync mode.
            if (nResult == LIBEVDEV_READ_STATUS_SYNC)
                nFlags = LIBEVDEV_READ_FLAG_SYNC;
            events.push_back(event);
        }
        else if (nResult == -EAGAIN && nFlags == LIBEVDEV_READ_FLAG_SYNC)
        {
            nFlags = LIBEVDEV_READ_FLAG_NORMAL;  // caught up; read on normally
        }
        else
        {
            return nResult == -EAGAIN;  // -ENODEV and the rest: the device is gone
        }
    }
    return true;
}

bool cEvdevSource::Reopen()
{
    Detach();
    const std::vector<cEvdevNode> joysticks = m_pEnumerator->Joysticks();
    // The same device on the same node, else plugged in at the same place,
    // else anywhere.
    const cEvdevNode* pBest = nullptr;
    int nBestScore = 0;
    for (const cEvdevNode& node : joysticks)
    {
        if (!node.SameDevice(m_Node))
            continue;
        const int nScore = 1 + (node.sPhys == m_Node.sPhys) + (node.sPath == m_Node.sPath);
        if (nScore > nBestScore)
        {
            pBest = &node;
            nBestScore = nScore;
        }
    }
    return pBest && Attach(*pBest, false);
}
