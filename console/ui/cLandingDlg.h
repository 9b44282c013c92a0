#pragma once
#include "PageItem.h"
#include "RC_Variant.h"
#include "cLandingItemList.h"
#include "cLandingSettings.h"
#include "cRefreshTimer.h"
#include "cSliderSendMemory.h"

#include <QWidget>
#include <array>
#include <cstddef>
#include <string>

class QAbstractButton;
class QButtonGroup;
class QFormLayout;
class QGroupBox;
class QLabel;
class QSlider;
class cLinkQualityState;
class cRC_IO_Pages;

// The console's quick-control face, embedded in the main window: buttons,
// radio groups and sliders that set the handful of items an operator uses
// most, and read-outs of those items and of the link. Each kind of remote
// system has its own variant (cThimbrelLandingDlg, cVmsLandingDlg) with its
// own fixed item list; the list is appended to the page protocol's pages as
// one more, untitled page and registered, and stays there for the rest of
// the run (the receive thread writes its holders). The refresh runs every
// 100 ms on the user-interface thread; controls send only on the operator's
// own actions, never when a refresh moves them.
class cLandingDlg : public QWidget
{
    Q_OBJECT

public:
    // Values of the radio buttons, in the order they are shown.
    static constexpr int kDetectAlgorithmValues[] = {0, 1, 2, 3, 5};
    static constexpr int kClassifierValue = 5;
    static constexpr int kChannels = 4;

    ~cLandingDlg() override;

    // One refresh: new item values to their controls (each value's new-value
    // flag cleared), then the link read-outs. The timer calls it.
    void Refresh();
    // Stops the refresh; the dialog then shows what it last showed.
    void Stop();
    // The link figures to show with the link read-outs (the status bar's,
    // which must outlive this dialog); null shows none.
    void SetLinkQuality(const cLinkQualityState* pQuality) { m_pLinkQuality = pQuality; }

    RC_Variant Variant() const { return m_eVariant; }
    const cLandingSettings& Settings() const { return m_Settings; }
    // The landing items' page in the page list, or npos when there is none.
    size_t LandingPage() const { return m_nLandingPage; }
    static constexpr size_t npos = static_cast<size_t>(-1);

    QAbstractButton* ChannelButton(int nChannel) const { return m_Channels.at(static_cast<size_t>(nChannel)); }
    QButtonGroup* DetectAlgorithmGroup() const { return m_pDetectAlgorithm; }
    QButtonGroup* DetectionPriorityGroup() const { return m_pDetectionPriority; }
    QButtonGroup* PolarityGroup() const { return m_pPolarity; }
    QButtonGroup* TrackAlgorithmGroup() const { return m_pTrackAlgorithm; }
    QButtonGroup* ChannelGroup() const { return m_pChannelGroup; }
    QSlider* AcqSliderX() const { return m_pSliderX; }
    QSlider* AcqSliderY() const { return m_pSliderY; }
    QLabel* AoiXReadout() const { return m_pAoiX; }
    QLabel* AoiYReadout() const { return m_pAoiY; }
    QLabel* TargetModeReadout() const { return m_pTargetMode; }
    QLabel* PositionXReadout() const { return m_pPositionX; }
    QLabel* PositionYReadout() const { return m_pPositionY; }
    QLabel* StatusReadout() const { return m_pStatus; }
    QLabel* TxReadout() const { return m_pTx; }
    QLabel* RxReadout() const { return m_pRx; }
    QLabel* QualityReadout() const { return m_pQuality; }
    QLabel* RoundTripReadout() const { return m_pRoundTrip; }
    QLabel* HeartbeatsMissedReadout() const { return m_pHeartbeatsMissed; }
    bool TargetValid() const { return m_bTargetValid; }

protected:
    // Reads the settings ("LandingDlg"; the zoom speed for the VMS only) and
    // builds the common controls; the variant places them and calls Start.
    cLandingDlg(RC_Variant eVariant, cRC_IO_Pages* pRC_IO_Pages, const std::string& sSettingsPath,
                QWidget* pParent);

    // Appends and registers the item list, sets the controls up from the
    // settings and starts the refresh.
    void Start();

    // Shows one new value; the variant knows which control it belongs to.
    virtual void ShowItem(const PageItem& item) = 0;
    // The variant's own link read-outs, after the common ones.
    virtual void ShowLinkExtras() {}
    // Where the variant sends the video channel; the X slider's release (the
    // VMS may scale the window).
    virtual void OnAcqSliderXReleased(int nPosition);
    // A new tracking status value (both variants show it, the Thimbrel also acts on it).
    virtual void ShowTrackingMode(uint8_t nMode) = 0;

    // The displays of the items both variants have, found by item number
    // alone; false when the item is not one of them.
    bool ShowCommonItem(const PageItem& item);
    static void CheckOnly(QButtonGroup* pGroup, int nValue);
    static void SetText(QLabel* pLabel, const QString& sText);
    void ShowTargetMode(uint8_t nMode);
    void ShowPosition(QLabel* pReadout, const PageItem& item);
    static uint8_t ByteOf(const PageItem& item);
    static double RealOf(const PageItem& item);

    bool SendByte(const cLandingItemList::Address& address, uint8_t nValue);
    bool SendU16(const cLandingItemList::Address& address, uint16_t nValue);
    bool SendS16(const cLandingItemList::Address& address, int16_t nValue);
    bool SendS32(const cLandingItemList::Address& address, int32_t nValue);

    // A group box with a vertical column of radio buttons, one per caption,
    // each sending its value to the address when the operator clicks it.
    QGroupBox* MakeRadioGroup(const QString& sTitle, const std::vector<QString>& captions, const std::vector<int>& values,
                              const cLandingItemList::Address& address, QButtonGroup*& pGroup, int nColumns = 1);
    static QLabel* MakeReadout(QWidget* pParent, int nMinimumWidth = 80);

    const RC_Variant m_eVariant;
    const cLandingItemList::Common& m_Addresses;
    cRC_IO_Pages* const m_pRC_IO_Pages;
    cLandingSettings m_Settings;
    bool m_bTargetValid = false;

    // Common groups, placed by the variant.
    QGroupBox* m_pChannelBox = nullptr;
    QGroupBox* m_pDetectAlgorithmBox = nullptr;
    QGroupBox* m_pDetectionPriorityBox = nullptr;
    QGroupBox* m_pPolarityBox = nullptr;
    QGroupBox* m_pTrackAlgorithmBox = nullptr;
    QGroupBox* m_pAcqWindowBox = nullptr;
    QGroupBox* m_pOutputBox = nullptr;
    QGroupBox* m_pCommsBox = nullptr;
    QFormLayout* m_pOutputForm = nullptr;
    QFormLayout* m_pCommsForm = nullptr;
    QFormLayout* m_pAcqForm = nullptr;
    QLabel* m_pSliderYCaption = nullptr;

private:
    void OnAcqSliderYReleased(int nPosition);
    void ConnectSlider(QSlider* pSlider, void (cLandingDlg::*fnReleased)(int));
    void ShowLinkQuality();

    std::array<QAbstractButton*, kChannels> m_Channels{};
    QButtonGroup* m_pChannelGroup = nullptr;
    QButtonGroup* m_pDetectAlgorithm = nullptr;
    QButtonGroup* m_pDetectionPriority = nullptr;
    QButtonGroup* m_pPolarity = nullptr;
    QButtonGroup* m_pTrackAlgorithm = nullptr;
    QSlider* m_pSliderX = nullptr;
    QSlider* m_pSliderY = nullptr;
    QLabel* m_pAoiX = nullptr;
    QLabel* m_pAoiY = nullptr;
    QLabel* m_pTargetMode = nullptr;
    QLabel* m_pPositionX = nullptr;
    QLabel* m_pPositionY = nullptr;
    QLabel* m_pStatus = nullptr;
    QLabel* m_pTx = nullptr;
    QLabel* m_pRx = nullptr;
    QLabel* m_pQuality = nullptr;
    QLabel* m_pRoundTrip = nullptr;
    QLabel* m_pUnanswered = nullptr;
    QLabel* m_pEoGaps = nullptr;
    QLabel* m_pHeartbeatsMissed = nullptr;  // its row shown only with the heartbeat
    QLabel* m_pDuplicates = nullptr;
    const cLinkQualityState* m_pLinkQuality = nullptr;
    bool m_bQualityDegraded = false;  // the quality read-out is amber

protected:
    cSliderSendMemory m_SentX;
    cSliderSendMemory m_SentY;

private:
    size_t m_nLandingPage = npos;
    cRefreshTimer m_Timer;
};
