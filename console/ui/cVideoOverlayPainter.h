#pragma once
#include "cAcquisitionWindow.h"
#include "cVideoOverlay.h"
#include "cVideoViewport.h"

#include <QStaticText>
#include <unordered_map>

class QPainter;

// Paints the overlay over the shown video: the centre cross-hair, the
// acquisition window (dashed), the tag reports' markers and the tracks'
// trails, boxes and IDs coloured by status, all mapped from EO picture
// pixels onto the shown picture. Tracks from a report more than a second old
// are drawn faded and grey with their age, so that nobody takes them for
// live ones. It paints only what the models hold; the track labels' text is
// laid out once per ID, not at every frame.
class cVideoOverlayPainter
{
public:
    void Paint(QPainter& painter, const cVideoViewport& viewport, const cVideoOverlay& overlay,
               const cAcquisitionWindow& acquisition, const cVideoOverlay::Layers& layers,
               cVideoOverlay::Clock::time_point now);

private:
    static constexpr size_t kMostLabels = 512;  // then the cache starts afresh
    const QStaticText& Label(uint32_t nId, const std::string& sText);

    static void PaintCrossHair(QPainter& painter, const cVideoViewport& viewport, const cVideoOverlay& overlay);
    static void PaintAcquisition(QPainter& painter, const cVideoViewport& viewport, const cVideoOverlay& overlay,
                                 const cAcquisitionWindow& acquisition);
    void PaintTracks(QPainter& painter, const cVideoViewport& viewport, const cVideoOverlay& overlay, bool bTrails,
                     cVideoOverlay::Clock::time_point now);
    static void PaintTags(QPainter& painter, const cVideoViewport& viewport, const cVideoOverlay& overlay,
                          cVideoOverlay::Clock::time_point now);

    std::unordered_map<uint32_t, QStaticText> m_Labels;
};
