#include "cPipeJoystick.h"

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

struct cPipeJoystick::Shared
{
    std::mutex mutex;
    std::string sName;
    JoystickCapabilities caps;
    int nReadFd = -1;
    int nWriteFd = -1;
    int nGeneration = 0;  // counts Plug calls
    int nNotReadyReads = 0;

    void OpenPipe()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2 failed");
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        nReadFd = fds[0];
        nWriteFd = fds[1];
    }
    void CloseWriter()
    {
        if (nWriteFd >= 0)
            close(nWriteFd);
        nWriteFd = -1;
    }
    void CloseReader()
    {
        if (nReadFd >= 0)
            close(nReadFd);
        nReadFd = -1;
    }
};

namespace
{
class cPipeSource : public cJoystickSource
{
public:
    explicit cPipeSource(std::shared_ptr<cPipeJoystick::Shared> pShared)
        : m_pShared(std::move(pShared)), m_nGeneration(m_pShared->nGeneration)
    {
    }

    std::string Name() const override { return m_pShared->sName; }

    bool ReadCapabilities(JoystickCapabilities& caps) override
    {
        std::lock_guard<std::mutex> lock(m_pShared->mutex);
        if (m_pShared->nNotReadyReads > 0)
        {
            --m_pShared->nNotReadyReads;
            return false;
        }
        caps = m_pShared->caps;
        return true;
    }

    bool ReadEvents(std::vector<input_event>& events) override
    {
        std::lock_guard<std::mutex> lock(m_pShared->mutex);
        if (m_nGeneration != m_pShared->nGeneration || m_pShared->nReadFd < 0)
            return false;
        input_event buffer[64];
        for (;;)
        {
            const ssize_t nRead = read(m_pShared->nReadFd, buffer, sizeof(buffer));
            if (nRead > 0)
            {
                events.insert(events.end(), buffer, buffer + nRead / sizeof(input_event));
                continue;
            }
            if (nRead < 0 && errno == EAGAIN)
                return true;
            return false;  // end of file: unplugged
        }
    }

    bool Reopen() override
    {
        std::lock_guard<std::mutex> lock(m_pShared->mutex);
        if (m_pShared->nWriteFd < 0)
            return false;
        m_nGeneration = m_pShared->nGeneration;
        return true;
    }

private:
    std::shared_ptr<cPipeJoystick::Shared> m_pShared;
    int m_nGeneration;  // the plug-in session this source reads
};
} // namespace

cPipeJoystick::cPipeJoystick(JoystickCapabilities caps, const char* szName) : m_pShared(std::make_shared<Shared>())
{
    m_pShared->sName = szName;
    m_pShared->caps = std::move(caps);
    m_pShared->OpenPipe();
}

cPipeJoystick::~cPipeJoystick()
{
    std::lock_guard<std::mutex> lock(m_pShared->mutex);
    m_pShared->CloseWriter();
    m_pShared->CloseReader();
}

void cPipeJoystick::SendFrame(std::initializer_list<Record> records)
{
    std::vector<input_event> events;
    for (const Record& record : records)
    {
        input_event event{};
        event.type = record.nType;
        event.code = record.nCode;
        event.value = record.nValue;
        events.push_back(event);
    }
    input_event sync{};
    sync.type = EV_SYN;
    sync.code = SYN_REPORT;
    events.push_back(sync);

    std::lock_guard<std::mutex> lock(m_pShared->mutex);
    const ssize_t nBytes = static_cast<ssize_t>(events.size() * sizeof(input_event));
    if (m_pShared->nWriteFd < 0 || write(m_pShared->nWriteFd, events.data(), nBytes) != nBytes)
        throw std::runtime_error("cannot write to an unplugged pipe joystick");
}

void cPipeJoystick::Unplug()
{
    std::lock_guard<std::mutex> lock(m_pShared->mutex);
    m_pShared->CloseWriter();
}

void cPipeJoystick::Plug(JoystickCapabilities caps)
{
    std::lock_guard<std::mutex> lock(m_pShared->mutex);
    m_pShared->CloseWriter();
    m_pShared->CloseReader();
    m_pShared->OpenPipe();
    m_pShared->caps = std::move(caps);
    ++m_pShared->nGeneration;
}

void cPipeJoystick::DelayCapabilities(int nReads)
{
    std::lock_guard<std::mutex> lock(m_pShared->mutex);
    m_pShared->nNotReadyReads = nReads;
}

std::unique_ptr<cJoystickSource> cPipeJoystick::MakeSource()
{
    return std::make_unique<cPipeSource>(m_pShared);
}

std::unique_ptr<cJoystickSource> cPipeProvider::Open(int32_t nIndex)
{
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_Devices.size())
        return nullptr;
    return m_Devices[nIndex]->MakeSource();
}

namespace joystick_caps
{
JoystickCapabilities Stick()
{
    JoystickCapabilities caps;
    caps.axes = {{ABS_X, 0, 255, 128}, {ABS_Y, 0, 255, 128}, {ABS_Z, 0, 255, 0},
                 {ABS_THROTTLE, 0, 255, 255}, {ABS_HAT0X, -1, 1, 0}, {ABS_HAT0Y, -1, 1, 0}};
    caps.buttons = {{BTN_TRIGGER, false}, {BTN_THUMB, false}, {BTN_THUMB2, false}, {BTN_TOP, false}};
    return caps;
}

JoystickCapabilities Gamepad()
{
    JoystickCapabilities caps;
    caps.axes = {{ABS_X, -32768, 32767, 0}, {ABS_Y, -32768, 32767, 0}, {ABS_RX, -32768, 32767, 0},
                 {ABS_RY, -32768, 32767, 0}, {ABS_HAT0X, -1, 1, 0}, {ABS_HAT0Y, -1, 1, 0}};
    caps.buttons = {{BTN_SOUTH, false}, {BTN_EAST, false}, {BTN_NORTH, false}, {BTN_WEST, false}};
    return caps;
}
} // namespace joystick_caps
