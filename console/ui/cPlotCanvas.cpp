#include "cPlotCanvas.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace
{
constexpr int kLeft = 64;
constexpr int kRight = 24;
constexpr int kTop = 26;
constexpr int kBottom = 24;

// A step of 1, 2 or 5 times a power of ten that cuts the span into about nParts.
double NiceStep(double dSpan, int nParts)
{
    const double dRaw = dSpan / nParts;
    const double dPower = std::pow(10.0, std::floor(std::log10(dRaw)));
    for (double dFactor : {1.0, 2.0, 5.0})
        if (dRaw <= dFactor * dPower)
            return dFactor * dPower;
    return 10.0 * dPower;
}

QString TimeText(double dSecondsBack, double dRange)
{
    if (dSecondsBack < 0.5)
        return QStringLiteral("now");
    if (dRange > 120.0)
        return QStringLiteral("-%1 min").arg(dSecondsBack / 60.0, 0, 'g', 3);
    return QStringLiteral("-%1 s").arg(dSecondsBack, 0, 'g', 3);
}

QString ValueText(double dValue)
{
    return QString::number(dValue, 'g', 6);
}
} // namespace

const std::vector<QColor>& cPlotCanvas::Palette()
{
    static const std::vector<QColor> kColours = {QColor(31, 119, 180), QColor(214, 39, 40),  QColor(44, 160, 44),
                                                 QColor(255, 127, 14), QColor(148, 103, 189), QColor(140, 86, 75),
                                                 QColor(227, 119, 194), QColor(23, 190, 207)};
    return kColours;
}

QColor cPlotCanvas::SeriesColour(uint32_t nSeriesId)
{
    return Palette()[(nSeriesId - 1) % Palette().size()];
}

cPlotCanvas::cPlotCanvas(const cPlotStore& store, QWidget* pParent) : QWidget(pParent), m_Store(store)
{
    setMinimumSize(320, 180);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void cPlotCanvas::SetSpan(double dEnd, double dRange)
{
    m_dEnd = dEnd;
    m_dRange = dRange;
}

void cPlotCanvas::paintEvent(QPaintEvent*)
{
    ++m_nPaints;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRect area(kLeft, kTop, std::max(1, width() - kLeft - kRight), std::max(1, height() - kTop - kBottom));
    const double dFrom = m_dEnd - m_dRange;

    double dLow = 0.0;
    double dHigh = 1.0;
    if (m_Store.ValueRange(dFrom, m_dEnd, dLow, dHigh))
    {
        const double dPad = dHigh > dLow ? (dHigh - dLow) * 0.05 : std::max(1.0, std::fabs(dLow) * 0.05);
        dLow -= dPad;
        dHigh += dPad;
    }
    const auto yOf = [&](double dValue) { return area.bottom() - (dValue - dLow) / (dHigh - dLow) * area.height(); };
    const auto xOf = [&](double dTime) { return area.left() + (dTime - dFrom) / m_dRange * area.width(); };

    // Grid and axes.
    const QFontMetrics metrics(font());
    painter.setPen(QColor(225, 225, 225));
    const double dValueStep = NiceStep(dHigh - dLow, 5);
    for (double dValue = std::ceil(dLow / dValueStep) * dValueStep; dValue <= dHigh; dValue += dValueStep)
    {
        const int nY = static_cast<int>(std::lround(yOf(dValue)));
        painter.setPen(QColor(225, 225, 225));
        painter.drawLine(area.left(), nY, area.right(), nY);
        painter.setPen(Qt::darkGray);
        const QString sText = ValueText(std::fabs(dValue) < dValueStep * 1e-9 ? 0.0 : dValue);
        painter.drawText(QRect(0, nY - metrics.height() / 2, kLeft - 6, metrics.height()), Qt::AlignRight | Qt::AlignVCenter,
                         sText);
    }
    const double dTimeStep = NiceStep(m_dRange, 6);
    for (double dBack = 0.0; dBack <= m_dRange + 1e-9; dBack += dTimeStep)
    {
        const int nX = static_cast<int>(std::lround(xOf(m_dEnd - dBack)));
        painter.setPen(QColor(225, 225, 225));
        painter.drawLine(nX, area.top(), nX, area.bottom());
        painter.setPen(Qt::darkGray);
        painter.drawText(QRect(nX - 40, area.bottom() + 4, 80, kBottom - 4), Qt::AlignHCenter | Qt::AlignTop,
                         TimeText(dBack, m_dRange));
    }
    painter.setPen(Qt::gray);
    painter.drawRect(area.adjusted(0, 0, -1, -1));

    // The series, one column per pixel. Thin lines without antialiasing: the
    // raster engine draws them several times faster, which counts at 15 Hz.
    painter.setClipRect(area);
    for (const cPlotStore::Series& series : m_Store.AllSeries())
    {
        const std::vector<cPlotStore::Column> columns =
            cPlotStore::Decimate(series.samples, dFrom, m_dEnd, area.width());
        QPolygonF line;
        for (size_t n = 0; n < columns.size(); ++n)
        {
            const cPlotStore::Column& column = columns[n];
            if (!column.bAny)
                continue;
            const double dX = area.left() + static_cast<double>(n) + 0.5;
            line << QPointF(dX, yOf(column.dFirst));
            if (column.dMin != column.dMax)
                line << QPointF(dX, yOf(column.dMin)) << QPointF(dX, yOf(column.dMax));
            line << QPointF(dX, yOf(column.dLast));
        }
        painter.setPen(QPen(SeriesColour(series.nId), 0));
        painter.drawPolyline(line);
    }
    painter.setClipping(false);

    // Legend: colour, label and latest value of each series.
    int nX = kLeft;
    for (const cPlotStore::Series& series : m_Store.AllSeries())
    {
        QString sText = QString::fromStdString(series.sLabel);
        if (!series.samples.empty())
            sText += QStringLiteral(": ") + ValueText(series.samples.back().dValue);
        painter.fillRect(nX, 8, 10, 10, SeriesColour(series.nId));
        painter.setPen(Qt::black);
        painter.drawText(nX + 14, 4, metrics.horizontalAdvance(sText) + 2, kTop - 6, Qt::AlignLeft | Qt::AlignVCenter,
                         sText);
        nX += 14 + metrics.horizontalAdvance(sText) + 16;
    }
    if (m_bPaused)
    {
        painter.setPen(QColor(200, 0, 0));
        painter.drawText(QRect(0, 4, width() - kRight, kTop - 6), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Paused"));
    }
}
