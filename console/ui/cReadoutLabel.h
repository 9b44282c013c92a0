#pragma once
#include <QLabel>

// A label whose text changes many times a second. A plain label asks its
// window to lay itself out again on every new text, which costs the whole
// window's layout each time; once on screen, this one keeps the size the
// layout gave it, and grows (one layout pass) only when a text does not fit.
// It never shrinks, so the read-outs beside it stay put.
class cReadoutLabel : public QLabel
{
public:
    explicit cReadoutLabel(QWidget* pParent = nullptr, int nMinimumWidth = 0);

    // Shows sText unless it is shown already.
    void Show(const QString& sText);
    // Show for a label that may or may not be a read-out.
    static void Show(QLabel* pLabel, const QString& sText);

protected:
    void changeEvent(QEvent* pEvent) override;

private:
    int m_nMinimumWidth;
    bool m_bFixed = false;
    int m_nFittingNumberLength = 0;  // the longest numeric text known to fit
};
