#include "cCommsSetupDlg.h"

#include "cAccessibleNames.h"
#include "cEditValueParser.h"
#include "cUserCommsSettings.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace
{
QLineEdit* MakeBox(QWidget* pParent, int nWidth)
{
    auto* pEdit = new QLineEdit(pParent);
    pEdit->setFixedWidth(nWidth);
    return pEdit;
}
} // namespace

cCommsSetupDlg::cCommsSetupDlg(CommsSettings* pSettings, QWidget* pParent)
    : QDialog(pParent), m_pSettings(pSettings), m_Timer([this] { OnTick(); })
{
    setWindowTitle(QStringLiteral("Comms Setup"));
    for (size_t n = 0; n < m_Boxes.size(); ++n)
        m_Boxes[n] = MakeBox(this, n >= kOctet1 && n <= kOctet4 ? 40 : 70);

    m_pSerial = new QRadioButton(QStringLiteral("Serial"), this);
    m_pUdp = new QRadioButton(QStringLiteral("UDP"), this);
    // Checked by SetMode only, as the settings say.
    m_pSerial->setAutoExclusive(false);
    m_pUdp->setAutoExclusive(false);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pSerial);
    pLayout->addWidget(m_pUdp);

    auto* pSerialRow = new QHBoxLayout;
    pSerialRow->addWidget(new QLabel(QStringLiteral("Serial Port"), this));
    pSerialRow->addWidget(m_Boxes[kComPort]);
    pSerialRow->addStretch();
    pLayout->addLayout(pSerialRow);

    auto* pAddressRow = new QHBoxLayout;
    pAddressRow->addWidget(new QLabel(QStringLiteral("IP Address"), this));
    for (int n = kOctet1; n <= kOctet4; ++n)
    {
        if (n != kOctet1)
            pAddressRow->addWidget(new QLabel(QStringLiteral("."), this));
        pAddressRow->addWidget(m_Boxes[n]);
    }
    pAddressRow->addStretch();
    pLayout->addLayout(pAddressRow);

    auto* pPorts = new QGridLayout;
    pPorts->addWidget(new QLabel(QStringLiteral("UDP Ports"), this), 0, 0);
    pPorts->addWidget(new QLabel(QStringLiteral("Target"), this), 0, 1, Qt::AlignHCenter);
    pPorts->addWidget(new QLabel(QStringLiteral("Host"), this), 0, 2, Qt::AlignHCenter);
    pPorts->addWidget(new QLabel(QStringLiteral("Remote Control"), this), 1, 0);
    pPorts->addWidget(m_Boxes[kRcTarget], 1, 1);
    pPorts->addWidget(m_Boxes[kRcHost], 1, 2);
    m_pEoLabel = new QLabel(QStringLiteral("EO Track Targets"), this);
    pPorts->addWidget(m_pEoLabel, 2, 0);
    pPorts->addWidget(m_Boxes[kEoTarget], 2, 1);
    pPorts->addWidget(m_Boxes[kEoHost], 2, 2);
    pLayout->addLayout(pPorts);

    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    // Never the default: Enter in a box must not apply.
    m_pOk->setAutoDefault(false);
    m_pOk->setDefault(false);
    pLayout->addWidget(m_pOk, 0, Qt::AlignHCenter);

    connect(m_pSerial, &QRadioButton::clicked, this, [this] {
        if (m_pSettings->nCommsMethod != CommsSettings::kSerial)
            SetMode(CommsSettings::kSerial);
        else
            m_pSerial->setChecked(true);
    });
    connect(m_pUdp, &QRadioButton::clicked, this, [this] {
        if (m_pSettings->nCommsMethod != CommsSettings::kUdp)
            SetMode(CommsSettings::kUdp);
        else
            m_pUdp->setChecked(true);
    });
    connect(m_pOk, &QPushButton::clicked, this, [this] { OnOk(); });
    for (QLineEdit* pBox : m_Boxes)
        pBox->installEventFilter(this);

    cAccessibleNames::Apply(this);
    m_Timer.Start();
}

cCommsSetupDlg::~cCommsSetupDlg()
{
    StopTimer();
    for (QLineEdit* pBox : m_Boxes)
        pBox->removeEventFilter(this);
}

void cCommsSetupDlg::OnTick()
{
    if (m_bRefresh)
        UpdateControls();
}

void cCommsSetupDlg::StopTimer()
{
    m_Timer.Stop();
}

void cCommsSetupDlg::UpdateControls()
{
    m_bRefresh = false;
    const auto octets = cEditValueParser::SplitAddress(m_pSettings->sIpAddress);
    m_Boxes[kComPort]->setText(QString::number(m_pSettings->nComPort));
    for (int n = 0; n < 4; ++n)
        m_Boxes[kOctet1 + n]->setText(QString::number(octets[static_cast<size_t>(n)]));
    m_Boxes[kRcTarget]->setText(QString::number(m_pSettings->nTxPort));
    m_Boxes[kRcHost]->setText(QString::number(m_pSettings->nRxPort));
    if (m_pSettings->bShowEoPorts)
    {
        m_Boxes[kEoTarget]->setText(QString::number(m_pSettings->nEoTxPort));
        m_Boxes[kEoHost]->setText(QString::number(m_pSettings->nEoRxPort));
    }
    else
    {
        m_pEoLabel->hide();
        m_Boxes[kEoTarget]->hide();
        m_Boxes[kEoHost]->hide();
    }
    if (m_pSettings->nCommsMethod == CommsSettings::kSerial && !m_pSerial->isChecked())
        SetMode(CommsSettings::kSerial);
    else if (m_pSettings->nCommsMethod == CommsSettings::kUdp && !m_pUdp->isChecked())
        SetMode(CommsSettings::kUdp);
}

void cCommsSetupDlg::SetMode(int32_t nCommsMethod)
{
    const bool bSerial = nCommsMethod == CommsSettings::kSerial;
    m_pSettings->nCommsMethod = bSerial ? CommsSettings::kSerial : CommsSettings::kUdp;
    m_pSerial->setChecked(bSerial);
    m_pUdp->setChecked(!bSerial);
    m_Boxes[kComPort]->setReadOnly(!bSerial);
    for (int n = kOctet1; n < kBoxCount; ++n)
        m_Boxes[n]->setReadOnly(bSerial);
}

void cCommsSetupDlg::ParseBox(Box eBox)
{
    if (eBox >= kOctet1 && eBox <= kOctet4)
    {
        std::string sAddress;
        for (int n = kOctet1; n <= kOctet4; ++n)
        {
            int32_t nOctet = 0;
            if (!cEditValueParser::ParseWholeDecimal(m_Boxes[n]->text().toStdString(), nOctet))
                nOctet = 0;
            if (n != kOctet1)
                sAddress += ".";
            sAddress += std::to_string(nOctet);
        }
        m_pSettings->sIpAddress = sAddress;
        return;
    }
    int32_t nValue = 0;
    if (!cEditValueParser::ParseWholeDecimal(m_Boxes[eBox]->text().toStdString(), nValue))
        return;
    switch (eBox)
    {
    case kComPort:
        m_pSettings->nComPort = nValue;
        break;
    case kRcTarget:
        m_pSettings->nTxPort = nValue;
        break;
    case kRcHost:
        m_pSettings->nRxPort = nValue;
        break;
    case kEoTarget:
        m_pSettings->nEoTxPort = nValue;
        break;
    case kEoHost:
        m_pSettings->nEoRxPort = nValue;
        break;
    default:
        break;
    }
}

void cCommsSetupDlg::OnOk()
{
    // The address applied is the one the boxes show, even when the settings
    // held a text they could not show (such as a host name).
    if (m_pSettings->nCommsMethod == CommsSettings::kUdp)
        ParseBox(kOctet1);
    cUserCommsSettings::Write(*m_pSettings);
    StopTimer();
    // Hidden before the owner hears of it, so that an owner that still cannot
    // connect can show the dialog again.
    hide();
    emit sigSettingsApplied();
}

bool cCommsSetupDlg::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::FocusOut && static_cast<QFocusEvent*>(pEvent)->reason() != Qt::PopupFocusReason)
    {
        for (int n = 0; n < kBoxCount; ++n)
        {
            if (m_Boxes[n] == pWatched)
            {
                ParseBox(static_cast<Box>(n));
                break;
            }
        }
    }
    return QDialog::eventFilter(pWatched, pEvent);
}

void cCommsSetupDlg::keyPressEvent(QKeyEvent* pEvent)
{
    if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter)
    {
        pEvent->accept();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}
