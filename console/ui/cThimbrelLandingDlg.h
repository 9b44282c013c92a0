#pragma once
#include "cLandingDlg.h"

class QLineEdit;
class QPushButton;

// The landing dialog of the Thimbrel tracker (short frames): the common
// controls plus a "Track" button that switches between acquiring and
// tracking. The platform rate demand read-outs exist but stay hidden.
class cThimbrelLandingDlg : public cLandingDlg
{
    Q_OBJECT

public:
    cThimbrelLandingDlg(cRC_IO_Pages* pRC_IO_Pages, const std::string& sSettingsPath, QWidget* pParent = nullptr);

    void OnTrack();

    QPushButton* TrackButton() const { return m_pTrack; }
    QLabel* TrackStatusReadout() const { return m_pTrackStatus; }
    QLineEdit* AzRateDemand() const { return m_pAzRate; }
    QLineEdit* ElRateDemand() const { return m_pElRate; }
    uint8_t TrackingMode() const { return m_nTrackingMode; }

protected:
    void ShowItem(const PageItem& item) override;
    void ShowTrackingMode(uint8_t nMode) override;

private:
    QPushButton* m_pTrack = nullptr;
    QLabel* m_pTrackStatus = nullptr;
    QLabel* m_pRateCaption = nullptr;
    QLineEdit* m_pAzRate = nullptr;
    QLineEdit* m_pElRate = nullptr;
    uint8_t m_nTrackingMode = 0;  // as last reported; 0 acquiring
};
