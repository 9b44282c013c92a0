#include "cVmsLandingDlg.h"

#include "DbgLog.h"
#include "cAccessibleNames.h"
#include "cEditCommit.h"
#include "cLandingValues.h"
#include "cRC_IO_Pages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace
{
void NotHandled(const char* szFunction, const PageItem& item)
{
    DbgLog(DBG_WRN, szFunction, __LINE__, DbgLogFormat("Not handled: %d", item.nItem));
}
} // namespace

cVmsLandingDlg::cVmsLandingDlg(cRC_IO_Pages* pRC_IO_Pages, const std::string& sSettingsPath, QWidget* pParent)
    : cLandingDlg(RC_Variant::LongFrames, pRC_IO_Pages, sSettingsPath, pParent)
{
    QGroupBox* pSystemModeBox = MakeRadioGroup(
        QStringLiteral("System Mode"),
        {QStringLiteral("Standby"), QStringLiteral("Manual"), QStringLiteral("Acquire"), QStringLiteral("Track"),
         QStringLiteral("Scan"), QStringLiteral("Park"), QStringLiteral("Designation"), QStringLiteral("Wash")},
        {std::begin(kSystemModeValues), std::end(kSystemModeValues)}, cLandingItemList::kVmsSystemMode, m_pSystemMode,
        4);

    auto* pPlatformBox = new QGroupBox(QStringLiteral("Platform"), this);
    auto* pPlatform = new QFormLayout(pPlatformBox);
    pPlatform->addRow(new QLabel(QStringLiteral("Position (Deg)"), pPlatformBox));
    const cLandingItemList::Address addresses[2] = {cLandingItemList::kVmsAzDeckPos, cLandingItemList::kVmsElDeckPos};
    const QString captions[2] = {QStringLiteral("Az:"), QStringLiteral("El:")};
    for (int n = 0; n < 2; ++n)
    {
        DeckField& field = m_Fields[static_cast<size_t>(n)];
        field.address = addresses[n];
        field.pEdit = new QLineEdit(pPlatformBox);
        field.pEdit->setAlignment(Qt::AlignRight);
        // Until the remote system says it is in a mode that takes positions.
        field.pEdit->setEnabled(false);
        field.pCommit = new cEditCommit(field.pEdit, [this, n](const QString& sText) {
            return SendPosition(m_Fields[static_cast<size_t>(n)], sText);
        });
        pPlatform->addRow(captions[n], field.pEdit);
    }

    auto* pCameraBox = new QGroupBox(QStringLiteral("Camera"), this);
    auto* pCamera = new QHBoxLayout(pCameraBox);
    m_pZoomIn = new QPushButton(QStringLiteral("Zoom In"), pCameraBox);
    m_pZoomOut = new QPushButton(QStringLiteral("Zoom Out"), pCameraBox);
    m_pZoomIn->setCheckable(true);
    m_pZoomOut->setCheckable(true);
    pCamera->addWidget(m_pZoomIn);
    pCamera->addWidget(m_pZoomOut);
    // clicked, not toggled: switching the other button off is not a command of its own.
    connect(m_pZoomIn, &QPushButton::clicked, this, [this](bool bOn) { OnZoomIn(bOn); });
    connect(m_pZoomOut, &QPushButton::clicked, this, [this](bool bOn) { OnZoomOut(bOn); });

    m_pScale = new QCheckBox(QStringLiteral("Scale"), m_pAcqWindowBox);
    m_pAcqForm->addRow(m_pScale);
    connect(m_pScale, &QCheckBox::clicked, this, [this] { OnScale(); });

    m_pTrackStatus = MakeReadout(m_pOutputBox);
    m_pOutputForm->insertRow(0, QStringLiteral("Track Status"), m_pTrackStatus);
    m_pHeartbeat = MakeReadout(m_pCommsBox);
    m_pCommsForm->addRow(QStringLiteral("HB :"), m_pHeartbeat);

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(pSystemModeBox, 0, 0, 1, 2);
    pGrid->addWidget(m_pCommsBox, 0, 2, 2, 1);
    pGrid->addWidget(m_pChannelBox, 1, 0, 1, 2);
    pGrid->addWidget(m_pDetectAlgorithmBox, 2, 0);
    pGrid->addWidget(m_pTrackAlgorithmBox, 2, 1);
    pGrid->addWidget(m_pOutputBox, 2, 2);
    pGrid->addWidget(m_pDetectionPriorityBox, 3, 0);
    pGrid->addWidget(m_pAcqWindowBox, 3, 1, 2, 1);
    pGrid->addWidget(pPlatformBox, 3, 2);
    pGrid->addWidget(m_pPolarityBox, 4, 0);
    pGrid->addWidget(pCameraBox, 4, 2);
    pGrid->setRowStretch(5, 1);

    Start();
}

cLandingItemList::Address cVmsLandingDlg::Camera(uint8_t nItem) const
{
    return {cLandingItemList::kCameraSubSystem, m_nPrimarySensor, nItem};
}

void cVmsLandingDlg::OnZoomIn(bool bOn)
{
    if (!bOn)
    {
        SendByte(Camera(cLandingItemList::kZoomStopItem), 1);
        return;
    }
    SendS16(Camera(cLandingItemList::kZoomSpeedItem), cLandingValues::ZoomInSpeed(m_Settings.fZoomSpeed));
    m_pZoomOut->setChecked(false);
}

void cVmsLandingDlg::OnZoomOut(bool bOn)
{
    if (!bOn)
    {
        SendByte(Camera(cLandingItemList::kZoomStopItem), 1);
        return;
    }
    SendS16(Camera(cLandingItemList::kZoomSpeedItem), cLandingValues::ZoomOutSpeed(m_Settings.fZoomSpeed));
    m_pZoomIn->setChecked(false);
}

void cVmsLandingDlg::OnScale()
{
    m_bScale = !m_bScale;
    AcqSliderY()->setVisible(!m_bScale);
}

void cVmsLandingDlg::OnAcqSliderXReleased(int nPosition)
{
    if (!m_bScale)
    {
        cLandingDlg::OnAcqSliderXReleased(nPosition);
        return;
    }
    // The window keeps its shape: both sizes go every time.
    m_SentX.Sent(nPosition);
    SendU16(m_Addresses.aoiSizeX, cLandingValues::AoiSize(nPosition));
    SendU16(m_Addresses.aoiSizeY,
            cLandingValues::ScaledAoiY(nPosition, m_Settings.nAcqSliderMaxX, m_Settings.nAcqSliderMaxY));
}

cVmsLandingDlg::~cVmsLandingDlg()
{
    // A field losing the focus as the dialog goes sends nothing.
    for (DeckField& field : m_Fields)
        field.pCommit->Stop();
}

bool cVmsLandingDlg::Editing(Axis eAxis) const
{
    return m_Fields[eAxis].pCommit->IsEditing();
}

void cVmsLandingDlg::CommitPosition(Axis eAxis)
{
    m_Fields[eAxis].pCommit->Commit();
}

bool cVmsLandingDlg::SendPosition(const DeckField& field, const QString& sText)
{
    // Only what the operator typed is a demand (cEditCommit): a field merely
    // visited must not stop the platform where it happens to be.
    int32_t nValue = 0;
    return cLandingValues::DegreesToDeckPosition(sText.trimmed().toStdString(), nValue) && SendS32(field.address, nValue);
}

void cVmsLandingDlg::ShowItem(const PageItem& item)
{
    switch (item.nSubSystem)
    {
    case 1: RefreshSubsystem0x01(item); break;
    case 2: RefreshSubsystem0x02(item); break;
    case 3: RefreshSubsystem0x03(item); break;
    case 4: RefreshSubsystem0x04(item); break;
    case 5: RefreshSubsystem0x05(item); break;
    default: break;
    }
}

void cVmsLandingDlg::RefreshSubsystem0x01(const PageItem& item)
{
    if (item.nItem == cLandingItemList::kVmsSystemMode.nItem)
    {
        ShowSystemMode(ByteOf(item));
    }
    else if (item.nItem == m_Addresses.videoChannel.nItem)
    {
        m_nPrimarySensor = ByteOf(item);
        CheckOnly(ChannelGroup(), m_nPrimarySensor);
    }
    else
    {
        NotHandled("cVmsLandingDlg::RefreshSubsystem0x01", item);
    }
}

void cVmsLandingDlg::RefreshSubsystem0x02(const PageItem& item)
{
    if (item.nItem == cLandingItemList::kVmsAzDeckPos.nItem)
        ShowDeckPosition(m_Fields[kAz], item);
    else if (item.nItem == cLandingItemList::kVmsElDeckPos.nItem)
        ShowDeckPosition(m_Fields[kEl], item);
    else
        NotHandled("cVmsLandingDlg::RefreshSubsystem0x02", item);
}

void cVmsLandingDlg::RefreshSubsystem0x03(const PageItem& item)
{
    NotHandled("cVmsLandingDlg::RefreshSubsystem0x03", item);
}

void cVmsLandingDlg::RefreshSubsystem0x04(const PageItem& item)
{
    NotHandled("cVmsLandingDlg::RefreshSubsystem0x04", item);
}

void cVmsLandingDlg::RefreshSubsystem0x05(const PageItem& item)
{
    if (!ShowCommonItem(item))
        NotHandled("cVmsLandingDlg::RefreshSubsystem0x05", item);
}

void cVmsLandingDlg::ShowSystemMode(uint8_t nMode)
{
    // A mode without a button is not one this dialog knows: nothing changes.
    if (!m_pSystemMode->button(nMode))
        return;
    CheckOnly(m_pSystemMode, nMode);
    const bool bPositions = nMode >= 1 && nMode <= 3;  // Manual, Acquire, Track
    for (DeckField& field : m_Fields)
        field.pEdit->setEnabled(bPositions);
}

void cVmsLandingDlg::ShowDeckPosition(DeckField& field, const PageItem& item)
{
    field.pCommit->Show(QString::fromStdString(cLandingValues::Real(cLandingValues::DeckPositionToDegrees(RealOf(item)))));
}

void cVmsLandingDlg::ShowTrackingMode(uint8_t nMode)
{
    SetText(m_pTrackStatus, QString::fromStdString(cLandingValues::TrackStatusText(nMode)));
}

void cVmsLandingDlg::ShowLinkExtras()
{
    if (m_pRC_IO_Pages)
        SetText(m_pHeartbeat, QString::fromStdString(m_pRC_IO_Pages->GetLinkStatusText()));
}
