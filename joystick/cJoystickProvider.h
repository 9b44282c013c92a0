#pragma once
#include "cJoystickSource.h"

#include <cstdint>
#include <memory>

// The platform's game controllers: which are attached, in a stable order.
class cJoystickProvider
{
public:
    virtual ~cJoystickProvider() = default;

    // The controller at nIndex among the attached ones (0 first), opened; null
    // when there is none there or it cannot be opened.
    virtual std::unique_ptr<cJoystickSource> Open(int32_t nIndex) = 0;
};
