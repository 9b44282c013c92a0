#include "cThimbrelLandingDlg.h"

#include "cLandingValues.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

cThimbrelLandingDlg::cThimbrelLandingDlg(cRC_IO_Pages* pRC_IO_Pages, const std::string& sSettingsPath,
                                         QWidget* pParent)
    : cLandingDlg(RC_Variant::ShortFrames, pRC_IO_Pages, sSettingsPath, pParent)
{
    auto* pModeBox = new QGroupBox(QStringLiteral("Mode"), this);
    auto* pMode = new QHBoxLayout(pModeBox);
    m_pTrack = new QPushButton(QStringLiteral("Track"), pModeBox);
    m_pTrackStatus = MakeReadout(pModeBox);
    m_pTrackStatus->setAccessibleName(QStringLiteral("Track Status"));
    pMode->addWidget(m_pTrack);
    pMode->addWidget(m_pTrackStatus, 1);
    connect(m_pTrack, &QPushButton::clicked, this, [this] { OnTrack(); });

    // Rate demands are shown by the remote system's own pages; here they stay hidden.
    auto* pRate = new QWidget(this);
    auto* pRateRow = new QHBoxLayout(pRate);
    pRateRow->setContentsMargins(0, 0, 0, 0);
    m_pRateCaption = new QLabel(QStringLiteral("Platform Rate Demand"), pRate);
    m_pAzRate = new QLineEdit(pRate);
    m_pElRate = new QLineEdit(pRate);
    m_pAzRate->setReadOnly(true);
    m_pElRate->setReadOnly(true);
    pRateRow->addWidget(m_pRateCaption);
    pRateRow->addWidget(m_pAzRate);
    pRateRow->addWidget(m_pElRate);

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(m_pChannelBox, 0, 0, 1, 2);
    pGrid->addWidget(pModeBox, 0, 2);
    pGrid->addWidget(m_pDetectAlgorithmBox, 1, 0);
    pGrid->addWidget(m_pTrackAlgorithmBox, 1, 1);
    pGrid->addWidget(m_pOutputBox, 1, 2);
    pGrid->addWidget(m_pDetectionPriorityBox, 2, 0);
    pGrid->addWidget(m_pAcqWindowBox, 2, 1);
    pGrid->addWidget(m_pCommsBox, 2, 2);
    pGrid->addWidget(m_pPolarityBox, 3, 0);
    pGrid->addWidget(pRate, 3, 1, 1, 2);
    pGrid->setRowStretch(4, 1);
    m_pRateCaption->hide();
    m_pAzRate->hide();
    m_pElRate->hide();

    Start();
}

void cThimbrelLandingDlg::OnTrack()
{
    // Acquiring: start tracking; tracking (or coasting): back to acquiring.
    SendByte(m_Addresses.trackingMode, m_nTrackingMode == 0 ? 1 : 0);
}

void cThimbrelLandingDlg::ShowTrackingMode(uint8_t nMode)
{
    m_nTrackingMode = nMode;
    SetText(m_pTrackStatus, QString::fromStdString(cLandingValues::TrackStatusText(nMode)));
    const QString sCaption = nMode != 0 ? QStringLiteral("Acquire") : QStringLiteral("Track");
    if (m_pTrack->text() != sCaption)
        m_pTrack->setText(sCaption);
}

void cThimbrelLandingDlg::ShowItem(const PageItem& item)
{
    // The item numbers of this list are unique, whatever their subsystem.
    if (ShowCommonItem(item))
        return;
    if (item.nItem == m_Addresses.videoChannel.nItem)
        CheckOnly(ChannelGroup(), ByteOf(item));
    else if (item.nItem == cLandingItemList::kThimbrelAzRateDemand.nItem)
        m_pAzRate->setText(QString::fromStdString(cLandingValues::Real(RealOf(item))));
    else if (item.nItem == cLandingItemList::kThimbrelElRateDemand.nItem)
        m_pElRate->setText(QString::fromStdString(cLandingValues::Real(RealOf(item))));
}
