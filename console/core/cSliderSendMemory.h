#pragma once
#include <optional>

// What one slider sent last, so that releasing it where it already was sends
// nothing again. Nothing counts as sent at start.
class cSliderSendMemory
{
public:
    // True (and remembered) when nPosition differs from the last position sent.
    bool Take(int nPosition)
    {
        if (m_nLastSent == nPosition)
            return false;
        m_nLastSent = nPosition;
        return true;
    }
    // Sent anyway (the scaled window sends every time): remembered all the same.
    void Sent(int nPosition) { m_nLastSent = nPosition; }

private:
    std::optional<int> m_nLastSent;
};
