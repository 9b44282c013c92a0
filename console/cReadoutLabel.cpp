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
    setText(sText);
    // Before it is on screen the layout still sizes the label from its text.
    if (!isVisible())
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
}

void cReadoutLabel::Show(QLabel* pLabel, const QString& sText)
{
    if (auto* pReadout = dynamic_cast<cReadoutLabel*>(pLabel))
        pReadout->Show(sText);
    else if (pLabel && pLabel->text() != sText)
        pLabel->setText(sText);
}
