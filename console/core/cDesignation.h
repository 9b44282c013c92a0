#pragma once
#include "RC_Variant.h"
#include "cEoTrackPicture.h"

#include <cstdint>
#include <optional>
#include <vector>

class cRC_IO_Pages;
class cVideoSettings;

// Turns an operator's designation into what the remote system is sent: the
// point, in EO picture pixels, to the configured X and Y items in one frame,
// then the configured system mode; "Cancel track" sends the cancel mode. A
// designation on a drawn (fresh) track takes the track's centre rather than
// the point. The mode goes to the variant's mode item: the VMS system mode,
// the Thimbrel's object tracking mode.
class cDesignation
{
public:
    struct Command
    {
        enum class eKind
        {
            Point,  // nItem = X, nItem2 = Y, U16 values nX, nY
            Mode,   // nItem, Byte value nMode
        };
        eKind eWhat;
        uint8_t nSubSystem;
        uint8_t nIndex;
        uint8_t nItem;
        uint8_t nItem2;
        uint16_t nX;
        uint16_t nY;
        uint8_t nMode;
        bool operator==(const Command&) const = default;
    };

    cDesignation(const cVideoSettings& settings, RC_Variant eVariant);

    // A point of an EO picture of nWidth x nHeight; nothing outside it. The
    // track drawn under the point, when there is one, gives its centre instead.
    std::vector<Command> At(double dX, double dY, int32_t nWidth, int32_t nHeight,
                            const cEoTrackPicture::Box* pTrack = nullptr) const;
    std::vector<Command> Cancel() const;

    // Sends the commands in order; false when one could not be sent (the rest is
    // not).
    static bool Send(cRC_IO_Pages& pages, const std::vector<Command>& commands);

private:
    std::optional<Command> ModeCommand(int32_t nMode) const;

    const uint8_t m_nSubSystem;
    const uint8_t m_nIndex;
    const uint8_t m_nItemX;
    const uint8_t m_nItemY;
    const int32_t m_nMode;
    const int32_t m_nCancelMode;
    const uint8_t m_nModeSubSystem;
    const uint8_t m_nModeIndex;
    const uint8_t m_nModeItem;
};
