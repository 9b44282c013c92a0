#pragma once
#include "cPlotStore.h"

#include <QColor>
#include <QWidget>
#include <vector>

// Draws a plot store's series over a time span with Qt's painter: value axis
// fitted to what is shown, time axis counted back from the span's end, each
// series in its own colour with its label and latest value in the legend.
// A span holding thousands of samples is drawn as one column per pixel
// (first, lowest, highest, last), so drawing costs the same at any rate.
class cPlotCanvas : public QWidget
{
    Q_OBJECT

public:
    static const std::vector<QColor>& Palette();

    explicit cPlotCanvas(const cPlotStore& store, QWidget* pParent = nullptr);

    // What to show: [dEnd - dRange, dEnd] on the sampler's clock.
    void SetSpan(double dEnd, double dRange);
    void SetPaused(bool bPaused) { m_bPaused = bPaused; }
    static QColor SeriesColour(uint32_t nSeriesId);
    uint64_t Paints() const { return m_nPaints; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    const cPlotStore& m_Store;
    double m_dEnd = 0.0;
    double m_dRange = 60.0;
    bool m_bPaused = false;
    uint64_t m_nPaints = 0;
};
