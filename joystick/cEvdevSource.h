#pragma once
#include "cEvdevEnumerator.h"
#include "cJoystickSource.h"

#include <memory>

struct libevdev;

// A game controller read through libevdev. After a failed read it is looked
// for again among the attached joysticks by its identity, so it is found when
// it comes back, even under another node.
class cEvdevSource : public cJoystickSource
{
public:
    // Null when the node cannot be opened or is no evdev device.
    static std::unique_ptr<cEvdevSource> Open(std::shared_ptr<const cEvdevEnumerator> pEnumerator,
                                              const cEvdevNode& node);
    ~cEvdevSource() override;

    std::string Name() const override;
    bool ReadCapabilities(JoystickCapabilities& caps) override;
    bool ReadEvents(std::vector<input_event>& events) override;
    bool Reopen() override;

    // Records read in one call at most, so a flood cannot hold the poller.
    static constexpr int kMaxEventsPerRead = 4096;

private:
    cEvdevSource(std::shared_ptr<const cEvdevEnumerator> pEnumerator, const cEvdevNode& node);
    bool Attach(const cEvdevNode& node, bool bReport);
    void Detach();

    std::shared_ptr<const cEvdevEnumerator> m_pEnumerator;
    cEvdevNode m_Node;
    int m_nFd = -1;
    libevdev* m_pDevice = nullptr;
};
