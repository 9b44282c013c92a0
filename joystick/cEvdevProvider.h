#pragma once
#include "cEvdevEnumerator.h"
#include "cJoystickProvider.h"

#include <memory>

// The game controllers of this machine, through evdev.
class cEvdevProvider : public cJoystickProvider
{
public:
    explicit cEvdevProvider(std::shared_ptr<const cEvdevEnumerator> pEnumerator = std::make_shared<cEvdevEnumerator>());

    std::unique_ptr<cJoystickSource> Open(int32_t nIndex) override;

private:
    std::shared_ptr<const cEvdevEnumerator> m_pEnumerator;
};
