#pragma once
#include "cLandingDlg.h"

#include <array>

class QCheckBox;
class cEditCommit;
class QLineEdit;
class QPushButton;

// The landing dialog of the VMS (long frames): the common controls plus the
// system mode, the platform's deck position in degrees, the camera zoom of
// the selected sensor, a "Scale" option that keeps the acquisition window's
// shape, and the heartbeat read-out. A position field sends only what the
// operator typed, and only when it is a number that fits the wire value.
class cVmsLandingDlg : public cLandingDlg
{
    Q_OBJECT

public:
    static constexpr int kSystemModeValues[] = {0, 1, 2, 3, 4, 6, 8, 10};
    enum Axis
    {
        kAz = 0,
        kEl = 1,
    };

    cVmsLandingDlg(cRC_IO_Pages* pRC_IO_Pages, const std::string& sSettingsPath, QWidget* pParent = nullptr);
    ~cVmsLandingDlg() override;

    void OnZoomIn(bool bOn);
    void OnZoomOut(bool bOn);
    void OnScale();
    // Return in a position field, or leaving it.
    void CommitPosition(Axis eAxis);

    QButtonGroup* SystemModeGroup() const { return m_pSystemMode; }
    QLineEdit* PositionField(Axis eAxis) const { return m_Fields[eAxis].pEdit; }
    QPushButton* ZoomInButton() const { return m_pZoomIn; }
    QPushButton* ZoomOutButton() const { return m_pZoomOut; }
    QCheckBox* ScaleBox() const { return m_pScale; }
    QLabel* TrackStatusReadout() const { return m_pTrackStatus; }
    QLabel* HeartbeatReadout() const { return m_pHeartbeat; }
    uint8_t PrimarySensor() const { return m_nPrimarySensor; }
    bool Scaling() const { return m_bScale; }
    bool Editing(Axis eAxis) const;

protected:
    void ShowItem(const PageItem& item) override;
    void ShowTrackingMode(uint8_t nMode) override;
    void ShowLinkExtras() override;
    void OnAcqSliderXReleased(int nPosition) override;

private:
    struct DeckField
    {
        QLineEdit* pEdit = nullptr;
        cEditCommit* pCommit = nullptr;  // a child of the field
        cLandingItemList::Address address{};
    };

    void RefreshSubsystem0x01(const PageItem& item);
    void RefreshSubsystem0x02(const PageItem& item);
    void RefreshSubsystem0x03(const PageItem& item);
    void RefreshSubsystem0x04(const PageItem& item);
    void RefreshSubsystem0x05(const PageItem& item);
    void ShowSystemMode(uint8_t nMode);
    void ShowDeckPosition(DeckField& field, const PageItem& item);
    bool SendPosition(const DeckField& field, const QString& sText);
    cLandingItemList::Address Camera(uint8_t nItem) const;

    QButtonGroup* m_pSystemMode = nullptr;
    std::array<DeckField, 2> m_Fields;
    QPushButton* m_pZoomIn = nullptr;
    QPushButton* m_pZoomOut = nullptr;
    QCheckBox* m_pScale = nullptr;
    QLabel* m_pTrackStatus = nullptr;
    QLabel* m_pHeartbeat = nullptr;
    uint8_t m_nPrimarySensor = 0;  // the camera the zoom buttons drive
    bool m_bScale = false;
};
