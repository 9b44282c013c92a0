#pragma once
#include "cAcquisitionWindow.h"
#include "cVideoOverlay.h"
#include "cVideoViewport.h"

class QPainter;

// Paints the overlay over the shown video: the centre cross-hair, the
// acquisition window (dashed), the tag reports' markers and the tracks'
// trails, boxes and IDs coloured by status, all mapped from EO picture
// pixels onto the shown picture. Tracks from a report more than a second old
// are drawn faded and grey with their age, so that nobody takes them for
// live ones. It paints only what the models hold.
class cVideoOverlayPainter {
public:
  static void Paint(QPainter &painter, const cVideoViewport &viewport,
                    const cVideoOverlay &overlay,
                    const cAcquisitionWindow &acquisition,
                    const cVideoOverlay::Layers &layers,
                    cVideoOverlay::Clock::time_point now);

private:
  static void PaintCrossHair(QPainter &painter, const cVideoViewport &viewport,
                             const cVideoOverlay &overlay);
  static void PaintAcquisition(QPainter &painter,
                               const cVideoViewport &viewport,
                               const cVideoOverlay &overlay,
                               const cAcquisitionWindow &acquisition);
  static void PaintTracks(QPainter &painter, const cVideoViewport &viewport,
                          const cVideoOverlay &overlay, bool bTrails,
                          cVideoOverlay::Clock::time_point now);
  static void PaintTags(QPainter &painter, const cVideoViewport &viewport,
                        const cVideoOverlay &overlay,
                        cVideoOverlay::Clock::time_point now);
};
