#include "cReadoutLabel.h"

#include <algorithm>

cReadoutLabel::cReadoutLabel(QWidget* pParent, int nMinimumWidth) : QLabel(pParent), m_nMinimumWidth(nMinimumWidth)
{
    setMinimumWidth(nMinimumWidth);
}

void cReadoutLabel::Show(const QString& sText)
{
    if (text() == sText)
        return;
    // With equal minimum and maximum sizes, a new text repaints the label and
    // leaves the layout alone.
    setText(sText);
    const QSize hint = sizeHint();
    const int nHeight = std::max(hint.height(), fontMetrics().height() + 2 * frameWidth());
    if (!m_bFixed || hint.width() > width() || nHeight != height())
    {
        setFixedSize(std::max({hint.width(), m_nMinimumWidth, m_bFixed ? width() : 0}), nHeight);
        m_bFixed = true;
    }
}

void cReadoutLabel::Show(QLabel* pLabel, const QString& sText)
{
    if (auto* pReadout = dynamic_cast<cReadoutLabel*>(pLabel))
        pReadout->Show(sText);
    else if (pLabel && pLabel->text() != sText)
        pLabel->setText(sText);
}
