#include "cLandingDlg.h"

#include "RC_ItemValue.h"
#include "cAccessibleNames.h"
#include "cLandingValues.h"
#include "cLinkQualityState.h"
#include "cPageList.h"
#include "cRC_IO_Pages.h"
#include "cReadoutLabel.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>

namespace
{
const char* const kNoPosition = "----";
} // namespace

cLandingDlg::cLandingDlg(RC_Variant eVariant, cRC_IO_Pages* pRC_IO_Pages, const std::string& sSettingsPath,
                         QWidget* pParent)
    : QWidget(pParent), m_eVariant(eVariant), m_Addresses(cLandingItemList::For(eVariant)),
      m_pRC_IO_Pages(pRC_IO_Pages), m_Timer([this] { Refresh(); })
{
    m_Settings.Read(sSettingsPath, eVariant == RC_Variant::LongFrames);

    // Video channels: a row of four.
    m_pChannelBox = new QGroupBox(QStringLiteral("Video Channel"), this);
    m_pChannelGroup = new QButtonGroup(this);
    auto* pChannels = new QHBoxLayout(m_pChannelBox);
    for (int n = 0; n < kChannels; ++n)
    {
        auto* pButton = new QRadioButton(QStringLiteral("Channel %1").arg(n + 1), m_pChannelBox);
        m_pChannelGroup->addButton(pButton, n);
        pChannels->addWidget(pButton);
        m_Channels[static_cast<size_t>(n)] = pButton;
    }
    connect(m_pChannelGroup, &QButtonGroup::idClicked, this,
            [this](int nChannel) { SendByte(m_Addresses.videoChannel, static_cast<uint8_t>(nChannel)); });

    m_pDetectAlgorithmBox = MakeRadioGroup(
        QStringLiteral("Detect Algorithm"),
        {QStringLiteral("Manual"), QStringLiteral("Hot Spot"), QStringLiteral("Motion"), QStringLiteral("Naval"),
         QStringLiteral("Classifier")},
        {std::begin(kDetectAlgorithmValues), std::end(kDetectAlgorithmValues)}, m_Addresses.detectionAlgorithm,
        m_pDetectAlgorithm);
    m_pDetectionPriorityBox = MakeRadioGroup(
        QStringLiteral("Detection Priority"),
        {QStringLiteral("Manual"), QStringLiteral("Size"), QStringLiteral("Posn"), QStringLiteral("Combined")},
        {0, 1, 2, 3}, m_Addresses.detectionPriority, m_pDetectionPriority);
    m_pPolarityBox =
        MakeRadioGroup(QStringLiteral("Polarity"),
                       {QStringLiteral("Positive"), QStringLiteral("Negative"), QStringLiteral("Bipolar")}, {0, 1, 2},
                       m_Addresses.detectionPolarity, m_pPolarity);
    m_pTrackAlgorithmBox = MakeRadioGroup(
        QStringLiteral("Track Algorithm"),
        {QStringLiteral("Combined"), QStringLiteral("Correlation"), QStringLiteral("MTT"), QStringLiteral("Centroid"),
         QStringLiteral("Scenelock")},
        {0, 1, 2, 3, 4}, m_Addresses.trackAlgorithm, m_pTrackAlgorithm);

    // Acquisition window: a slider and the size the remote system reports, per axis.
    m_pAcqWindowBox = new QGroupBox(QStringLiteral("Acq Window"), this);
    m_pAcqForm = new QFormLayout(m_pAcqWindowBox);
    m_pSliderX = new QSlider(Qt::Horizontal, m_pAcqWindowBox);
    m_pSliderY = new QSlider(Qt::Horizontal, m_pAcqWindowBox);
    m_pAoiX = MakeReadout(m_pAcqWindowBox, 50);
    m_pAoiY = MakeReadout(m_pAcqWindowBox, 50);
    auto* pRowX = new QHBoxLayout;
    pRowX->addWidget(m_pSliderX, 1);
    pRowX->addWidget(m_pAoiX);
    auto* pRowY = new QHBoxLayout;
    pRowY->addWidget(m_pSliderY, 1);
    pRowY->addWidget(m_pAoiY);
    m_pAcqForm->addRow(QStringLiteral("X"), pRowX);
    m_pSliderYCaption = new QLabel(QStringLiteral("Y"), m_pAcqWindowBox);
    m_pAcqForm->addRow(m_pSliderYCaption, pRowY);

    m_pOutputBox = new QGroupBox(QStringLiteral("Output"), this);
    m_pOutputForm = new QFormLayout(m_pOutputBox);
    m_pTargetMode = MakeReadout(m_pOutputBox);
    m_pPositionX = MakeReadout(m_pOutputBox);
    m_pPositionY = MakeReadout(m_pOutputBox);
    m_pOutputForm->addRow(QStringLiteral("Target Mode"), m_pTargetMode);
    auto* pPosition = new QHBoxLayout;
    pPosition->addWidget(m_pPositionX);
    pPosition->addWidget(m_pPositionY);
    m_pOutputForm->addRow(QStringLiteral("Target Position"), pPosition);

    m_pCommsBox = new QGroupBox(QStringLiteral("Comms"), this);
    m_pCommsForm = new QFormLayout(m_pCommsBox);
    m_pStatus = MakeReadout(m_pCommsBox);
    m_pTx = MakeReadout(m_pCommsBox);
    m_pRx = MakeReadout(m_pCommsBox);
    m_pCommsForm->addRow(QStringLiteral("Status:"), m_pStatus);
    m_pCommsForm->addRow(QStringLiteral("Tx:"), m_pTx);
    m_pCommsForm->addRow(QStringLiteral("Rx:"), m_pRx);
    m_pQuality = MakeReadout(m_pCommsBox);
    m_pRoundTrip = MakeReadout(m_pCommsBox);
    m_pUnanswered = MakeReadout(m_pCommsBox);
    m_pEoGaps = MakeReadout(m_pCommsBox);
    m_pHeartbeatsMissed = MakeReadout(m_pCommsBox);
    m_pDuplicates = MakeReadout(m_pCommsBox);
    m_pCommsForm->addRow(QStringLiteral("Quality:"), m_pQuality);
    m_pCommsForm->addRow(QStringLiteral("Round trip:"), m_pRoundTrip);
    m_pCommsForm->addRow(QStringLiteral("Unanswered:"), m_pUnanswered);
    m_pCommsForm->addRow(QStringLiteral("EO gaps:"), m_pEoGaps);
    m_pCommsForm->addRow(QStringLiteral("HB missed:"), m_pHeartbeatsMissed);
    m_pCommsForm->setRowVisible(m_pHeartbeatsMissed, false);
    m_pCommsForm->addRow(QStringLiteral("Duplicates:"), m_pDuplicates);
}

cLandingDlg::~cLandingDlg()
{
    Stop();
}

QGroupBox* cLandingDlg::MakeRadioGroup(const QString& sTitle, const std::vector<QString>& captions,
                                       const std::vector<int>& values, const cLandingItemList::Address& address,
                                       QButtonGroup*& pGroup, int nColumns)
{
    auto* pBox = new QGroupBox(sTitle, this);
    auto* pLayout = new QGridLayout(pBox);
    pGroup = new QButtonGroup(pBox);
    const int nRows = (static_cast<int>(captions.size()) + nColumns - 1) / nColumns;
    for (size_t n = 0; n < captions.size(); ++n)
    {
        auto* pButton = new QRadioButton(captions[n], pBox);
        pGroup->addButton(pButton, values[n]);
        pLayout->addWidget(pButton, static_cast<int>(n) % nRows, static_cast<int>(n) / nRows);
    }
    // Only a click of the operator's sends; a refresh checking a button does not.
    connect(pGroup, &QButtonGroup::idClicked, this,
            [this, address](int nValue) { SendByte(address, static_cast<uint8_t>(nValue)); });
    return pBox;
}

QLabel* cLandingDlg::MakeReadout(QWidget* pParent, int nMinimumWidth)
{
    auto* pLabel = new cReadoutLabel(pParent, nMinimumWidth);
    pLabel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    pLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return pLabel;
}

void cLandingDlg::Start()
{
    for (int n = m_Settings.nNumberOfVideoChannels; n < kChannels; ++n)
        m_Channels[static_cast<size_t>(std::max(n, 0))]->hide();
    m_pSliderX->setRange(m_Settings.nAcqSliderMinX, m_Settings.nAcqSliderMaxX);
    m_pSliderX->setValue(m_Settings.nAcqSliderMaxX);
    m_pSliderY->setRange(m_Settings.nAcqSliderMinY, m_Settings.nAcqSliderMaxY);
    m_pSliderY->setValue(m_Settings.nAcqSliderMaxY);
    m_pDetectAlgorithm->button(kClassifierValue)->setVisible(m_Settings.bShowClassifierOptions);
    // Connected after the set-up above, which moves the sliders itself.
    ConnectSlider(m_pSliderX, &cLandingDlg::OnAcqSliderXReleased);
    ConnectSlider(m_pSliderY, &cLandingDlg::OnAcqSliderYReleased);

    cAccessibleNames::Apply(this);
    if (!m_pRC_IO_Pages)
    {
        // Nothing to send to and nothing to show: every control stays inert.
        setEnabled(false);
        return;
    }
    if (cPageList* pPages = m_pRC_IO_Pages->m_pPageDefinitions)
    {
        // An untitled page of its own, registered like the others.
        m_nLandingPage = pPages->AppendPage(cLandingItemList::Items(m_eVariant), "", false, -1);
        m_pRC_IO_Pages->RegisterItems();
    }
    m_Timer.Start();
}

void cLandingDlg::ConnectSlider(QSlider* pSlider, void (cLandingDlg::*fnReleased)(int))
{
    // Released after a drag, or moved without one (a click beside the handle,
    // the keyboard, the wheel): either way the operator left it at a new place.
    connect(pSlider, &QSlider::sliderReleased, this, [this, pSlider, fnReleased] { (this->*fnReleased)(pSlider->value()); });
    connect(pSlider, &QSlider::valueChanged, this, [this, pSlider, fnReleased](int nValue) {
        if (!pSlider->isSliderDown())
            (this->*fnReleased)(nValue);
    });
}

void cLandingDlg::Stop()
{
    m_Timer.Stop();
}

void cLandingDlg::OnAcqSliderXReleased(int nPosition)
{
    if (m_SentX.Take(nPosition))
        SendU16(m_Addresses.aoiSizeX, cLandingValues::AoiSize(nPosition));
}

void cLandingDlg::OnAcqSliderYReleased(int nPosition)
{
    if (m_SentY.Take(nPosition))
        SendU16(m_Addresses.aoiSizeY, cLandingValues::AoiSize(nPosition));
}

bool cLandingDlg::SendByte(const cLandingItemList::Address& address, uint8_t nValue)
{
    return m_pRC_IO_Pages && m_pRC_IO_Pages->SendByte(address.nSubSystem, address.nIndex, address.nItem, nValue);
}

bool cLandingDlg::SendU16(const cLandingItemList::Address& address, uint16_t nValue)
{
    return m_pRC_IO_Pages && m_pRC_IO_Pages->SendU16(address.nSubSystem, address.nIndex, address.nItem, nValue);
}

bool cLandingDlg::SendS16(const cLandingItemList::Address& address, int16_t nValue)
{
    return m_pRC_IO_Pages && m_pRC_IO_Pages->SendS16(address.nSubSystem, address.nIndex, address.nItem, nValue);
}

bool cLandingDlg::SendS32(const cLandingItemList::Address& address, int32_t nValue)
{
    return m_pRC_IO_Pages && m_pRC_IO_Pages->SendS32(address.nSubSystem, address.nIndex, address.nItem, nValue);
}

void cLandingDlg::Refresh()
{
    if (!m_pRC_IO_Pages)
        return;
    const cPageList* pPages = m_pRC_IO_Pages->m_pPageDefinitions;
    if (pPages && m_nLandingPage < pPages->PageCount())
    {
        for (const PageItem& item : pPages->Items(m_nLandingPage))
        {
            if (item.nAccess == PageItem::kWriteOnly || !item.pValue->IsValid())
                continue;
            // Cleared before reading: a value stored meanwhile sets the flag again.
            item.pValue->ClearValid();
            ShowItem(item);
        }
    }
    SetText(m_pStatus, m_pRC_IO_Pages->m_bLinkActive ? QStringLiteral("OK") : QStringLiteral("FAILED"));
    SetText(m_pTx, QString::number(m_pRC_IO_Pages->m_nTxCount.load()));
    SetText(m_pRx, QString::number(m_pRC_IO_Pages->m_nRxCount.load()));
    ShowLinkQuality();
    ShowLinkExtras();
}

void cLandingDlg::ShowLinkQuality()
{
    if (!m_pLinkQuality)
        return;
    // The status bar's decision, so that both views always agree.
    const cLinkQualityState::Display& quality = m_pLinkQuality->Shown();
    SetText(m_pQuality, quality.bLost       ? QStringLiteral("LOST")
                        : quality.bDegraded ? QStringLiteral("DEGRADED")
                                            : QStringLiteral("normal"));
    if (quality.bDegraded != m_bQualityDegraded)
    {
        m_bQualityDegraded = quality.bDegraded;
        m_pQuality->setStyleSheet(m_bQualityDegraded ? QStringLiteral("background: #f0a020; color: black; font-weight: bold;")
                                                     : QString());
    }
    SetText(m_pRoundTrip, QString::fromStdString(quality.sRoundTrip));
    SetText(m_pUnanswered, QString::fromStdString(quality.sUnanswered));
    SetText(m_pEoGaps, QString::fromStdString(quality.sEoGaps));
    SetText(m_pHeartbeatsMissed, QString::fromStdString(quality.sHeartbeats));
    if (m_pHeartbeatsMissed->isHidden() != quality.sHeartbeats.empty())
        m_pCommsForm->setRowVisible(m_pHeartbeatsMissed, !quality.sHeartbeats.empty());
    SetText(m_pDuplicates, QString::fromStdString(quality.sDuplicates));
}

bool cLandingDlg::ShowCommonItem(const PageItem& item)
{
    const uint8_t nItem = item.nItem;
    if (nItem == m_Addresses.trackingMode.nItem)
        ShowTrackingMode(ByteOf(item));
    else if (nItem == m_Addresses.detectionAlgorithm.nItem)
        CheckOnly(m_pDetectAlgorithm, ByteOf(item));
    else if (nItem == m_Addresses.detectionPriority.nItem)
        CheckOnly(m_pDetectionPriority, ByteOf(item));
    else if (nItem == m_Addresses.detectionPolarity.nItem)
        CheckOnly(m_pPolarity, ByteOf(item));
    else if (nItem == m_Addresses.trackAlgorithm.nItem)
        CheckOnly(m_pTrackAlgorithm, ByteOf(item));
    else if (nItem == m_Addresses.aoiSizeX.nItem)
        SetText(m_pAoiX, QString::fromStdString(item.pValue->ToText()));
    else if (nItem == m_Addresses.aoiSizeY.nItem)
        SetText(m_pAoiY, QString::fromStdString(item.pValue->ToText()));
    else if (nItem == m_Addresses.targetMode.nItem)
        ShowTargetMode(ByteOf(item));
    else if (nItem == m_Addresses.positionX.nItem)
        ShowPosition(m_pPositionX, item);
    else if (nItem == m_Addresses.positionY.nItem)
        ShowPosition(m_pPositionY, item);
    else
        return false;
    return true;
}

void cLandingDlg::ShowTargetMode(uint8_t nMode)
{
    SetText(m_pTargetMode, QString::fromStdString(cLandingValues::TargetModeText(nMode)));
    m_bTargetValid = nMode != 0;
    // No position belongs to an invalid target, whether or not new positions follow.
    if (!m_bTargetValid)
    {
        SetText(m_pPositionX, QString::fromLatin1(kNoPosition));
        SetText(m_pPositionY, QString::fromLatin1(kNoPosition));
    }
}

void cLandingDlg::ShowPosition(QLabel* pReadout, const PageItem& item)
{
    SetText(pReadout, m_bTargetValid ? QString::fromStdString(cLandingValues::Real(RealOf(item)))
                                     : QString::fromLatin1(kNoPosition));
}

void cLandingDlg::CheckOnly(QButtonGroup* pGroup, int nValue)
{
    if (QAbstractButton* pButton = pGroup->button(nValue))
    {
        pButton->setChecked(true);
        return;
    }
    // A value without a button: none of the group is checked.
    if (QAbstractButton* pChecked = pGroup->checkedButton())
    {
        pGroup->setExclusive(false);
        pChecked->setChecked(false);
        pGroup->setExclusive(true);
    }
}

void cLandingDlg::SetText(QLabel* pLabel, const QString& sText)
{
    cReadoutLabel::Show(pLabel, sText);
}

uint8_t cLandingDlg::ByteOf(const PageItem& item)
{
    return item.eType == RC_DataType::Byte ? static_cast<const RC_ByteValue&>(*item.pValue).Get() : 0;
}

double cLandingDlg::RealOf(const PageItem& item)
{
    return item.eType == RC_DataType::Fixed ? static_cast<const RC_FixedValue&>(*item.pValue).Value() : 0.0;
}
