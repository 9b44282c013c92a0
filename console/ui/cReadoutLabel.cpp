#include "cReadoutLabel.h"

#include <QEvent>
#include <algorithm>

namespace
{
// Digits, signs and separators: as wide as each other in the fonts a desktop
// uses, so such a text no longer than one that fitted fits too.
bool IsNumeric(const QString& sText)
{
    return std::all_of(sText.begin(), sText.end(), [](QChar c) {
        return c.isDigit() || c == u'-' || c == u'+' || c == u'.' || c == u':' || c == u',' || c == u' ';
    });
}
} // namespace

cReadoutLabel::cReadoutLabel(QWidget* pParent, int nMinimumWidth) : QLabel(pParent), m_nMinimumWidth(nMinimumWidth)
{
    setMinimumWidth(nMinimumWidth);
    // Paints its own background: a new text then repaints this label alone,
    // not the group box or window behind it.
    setAutoFillBackground(true);
}

void cReadoutLabel::Show(const QString& sText)
{
    if (text() == sText)
        return;
    setText(sText);
    // Before it is on screen the layout still sizes the label from its text.
    if (!isVisible())
        return;
    // Measuring a text costs as much as drawing it: a number no longer than
    // one that fitted is known to fit.
    const bool bNumeric = IsNumeric(sText);
    if (m_bFixed && bNumeric && sText.size() <= m_nFittingNumberLength)
        return;
    // With equal minimum and maximum sizes, a new text repaints the label and
    // leaves the layout alone. The size the layout gave it is kept, so the
    // read-outs look as laid out.
    const QSize hint = sizeHint();
    const int nHeight = std::max(hint.height(), height());
    if (!m_bFixed || hint.width() > width() || nHeight != height())
    {
        setFixedSize(std::max({hint.width(), m_nMinimumWidth, width()}), nHeight);
        m_bFixed = true;
    }
    if (bNumeric)
        m_nFittingNumberLength = std::max(m_nFittingNumberLength, static_cast<int>(sText.size()));
}

void cReadoutLabel::changeEvent(QEvent* pEvent)
{
    // Another font (a style sheet making it bold) may widen every digit.
    if (pEvent->type() == QEvent::FontChange || pEvent->type() == QEvent::StyleChange)
        m_nFittingNumberLength = 0;
    QLabel::changeEvent(pEvent);
}

void cReadoutLabel::Show(QLabel* pLabel, const QString& sText)
{
    if (auto* pReadout = dynamic_cast<cReadoutLabel*>(pLabel))
        pReadout->Show(sText);
    else if (pLabel && pLabel->text() != sText)
        pLabel->setText(sText);
}
