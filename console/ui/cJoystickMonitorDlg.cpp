#include "cJoystickMonitorDlg.h"

#include "RC_DataType.h"
#include "cAccessibleNames.h"
#include "cJoystickMapping.h"
#include "cUserControls.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace
{
const char* const kAxisNames[cJoystickMonitorDlg::kAxes] = {"X",          "Y",          "Z",        "Rotation X",
                                                             "Rotation Y", "Rotation Z", "Slider 0", "Slider 1"};
const char* const kLampOff = "QLabel { border: 1px solid palette(mid); border-radius: 3px; color: palette(text); }";
const char* const kLampOn =
    "QLabel { border: 1px solid #1e6b2e; border-radius: 3px; background: #2fb24c; color: white; font-weight: bold; }";

// Axis values are -1..1; the bars show thousandths, as the device reports them.
int Thousandths(double dValue)
{
    if (!std::isfinite(dValue))
        return 0;
    return static_cast<int>(std::lround(std::fmax(-1.0, std::fmin(1.0, dValue)) * 1000.0));
}
} // namespace

cJoystickMonitorDlg::cJoystickMonitorDlg(const cUserControls& controls, const cJoystickMapping& mapping,
                                         const std::string& sPlugin, const std::string& sDefinitionsFile,
                                         QWidget* pParent)
    : QDialog(pParent), m_Controls(controls), m_Mapping(mapping), m_sPlugin(sPlugin), m_Timer([this] { Refresh(); })
{
    setWindowTitle(QStringLiteral("Joystick"));
    auto* pLayout = new QVBoxLayout(this);

    m_pStatus = new QLabel(this);
    m_pStatus->setWordWrap(true);
    m_pStatus->setAccessibleName(QStringLiteral("Joystick status"));
    pLayout->addWidget(m_pStatus);

    auto* pStick = new QGroupBox(QStringLiteral("Live record"), this);
    auto* pStickLayout = new QGridLayout(pStick);
    for (int i = 0; i < kAxes; ++i)
    {
        const size_t n = static_cast<size_t>(i);
        pStickLayout->addWidget(new QLabel(QString::fromLatin1(kAxisNames[i]), pStick), i, 0);
        m_AxisBars[n] = new QProgressBar(pStick);
        m_AxisBars[n]->setRange(-1000, 1000);
        m_AxisBars[n]->setValue(0);
        m_AxisBars[n]->setTextVisible(false);
        m_AxisBars[n]->setMinimumWidth(220);
        pStickLayout->addWidget(m_AxisBars[n], i, 1);
        m_AxisValues[n] = new QLabel(pStick);
        m_AxisValues[n]->setMinimumWidth(64);
        m_AxisValues[n]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        pStickLayout->addWidget(m_AxisValues[n], i, 2);
    }
    m_pHat = new QLabel(pStick);
    pStickLayout->addWidget(new QLabel(QStringLiteral("Hat"), pStick), kAxes, 0);
    pStickLayout->addWidget(m_pHat, kAxes, 1, 1, 2);

    // Numbered as the definitions file numbers them: Button1 is the first.
    auto* pButtons = new QWidget(pStick);
    auto* pButtonGrid = new QGridLayout(pButtons);
    pButtonGrid->setContentsMargins(0, 0, 0, 0);
    pButtonGrid->setSpacing(3);
    for (int i = 0; i < kButtons; ++i)
    {
        QLabel* pLamp = new QLabel(QString::number(i + 1), pButtons);
        pLamp->setAlignment(Qt::AlignCenter);
        pLamp->setMinimumSize(24, 20);
        pLamp->setStyleSheet(QString::fromLatin1(kLampOff));
        pLamp->setToolTip(QStringLiteral("Button%1 (joystick button %2)").arg(i + 1).arg(i));
        m_ButtonLamps[static_cast<size_t>(i)] = pLamp;
        pButtonGrid->addWidget(pLamp, i / 16, i % 16);
    }
    pStickLayout->addWidget(new QLabel(QStringLiteral("Buttons"), pStick), kAxes + 1, 0);
    pStickLayout->addWidget(pButtons, kAxes + 1, 1, 1, 2);
    pLayout->addWidget(pStick);

    auto* pDemands = new QGroupBox(QStringLiteral("Axis demands"), this);
    auto* pDemandLayout = new QGridLayout(pDemands);
    for (int nSlot = 0; nSlot < 2; ++nSlot)
    {
        pDemandLayout->addWidget(new QLabel(nSlot == 0 ? QStringLiteral("X slot") : QStringLiteral("Y slot"), pDemands),
                                 nSlot, 0);
        m_DemandLabels[static_cast<size_t>(nSlot)] = new QLabel(pDemands);
        pDemandLayout->addWidget(m_DemandLabels[static_cast<size_t>(nSlot)], nSlot, 1);
    }
    pDemandLayout->setColumnStretch(1, 1);
    pLayout->addWidget(pDemands);

    auto* pMapping = new QGroupBox(
        sDefinitionsFile.empty() ? QStringLiteral("Mapped buttons (no definitions file set)")
                                 : QStringLiteral("Mapped buttons (%1)").arg(QString::fromStdString(sDefinitionsFile)),
        this);
    auto* pMappingLayout = new QVBoxLayout(pMapping);
    m_pButtonTable = new QTableWidget(0, 3, pMapping);
    m_pButtonTable->setHorizontalHeaderLabels({QStringLiteral("Button"), QStringLiteral("Next press"), QStringLiteral("Release")});
    m_pButtonTable->verticalHeader()->hide();
    m_pButtonTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pButtonTable->setSelectionMode(QAbstractItemView::NoSelection);
    m_pButtonTable->setFocusPolicy(Qt::NoFocus);
    m_pButtonTable->horizontalHeader()->setStretchLastSection(true);
    pMappingLayout->addWidget(m_pButtonTable);
    pLayout->addWidget(pMapping);

    BuildButtonTable();
    Refresh();
    m_pButtonTable->setAccessibleName(QStringLiteral("Mapped buttons"));
    cAccessibleNames::Apply(this);
    m_pButtonTable->resizeColumnsToContents();
    // Every mapped button in view at once (at most 16 rows).
    m_pButtonTable->setMinimumHeight(m_pButtonTable->horizontalHeader()->sizeHint().height() +
                                     m_pButtonTable->verticalHeader()->length() + 2 * m_pButtonTable->frameWidth());
}

void cJoystickMonitorDlg::BuildButtonTable()
{
    m_ButtonRow.fill(-1);
    const JoystickDefinitions& definitions = m_Mapping.Definitions();
    for (int i = 0; i < JoystickDefinitions::kButtons; ++i)
    {
        const JoystickButtonDef& button = definitions.buttons[static_cast<size_t>(i)];
        if (!button.bPress && !button.bRelease && !button.bCycle)
            continue;
        const int nRow = m_pButtonTable->rowCount();
        m_pButtonTable->insertRow(nRow);
        m_pButtonTable->setItem(nRow, 0, new QTableWidgetItem(QStringLiteral("Button%1").arg(i + 1)));
        m_pButtonTable->setItem(nRow, 1, new QTableWidgetItem());
        m_pButtonTable->setItem(
            nRow, 2, new QTableWidgetItem(button.bRelease ? FunctionText(button.nReleaseFunction) : QStringLiteral("-")));
        m_ButtonRow[static_cast<size_t>(i)] = nRow;
    }
}

QString cJoystickMonitorDlg::FunctionText(int32_t nFunction) const
{
    if (nFunction < 1 || nFunction > JoystickDefinitions::kFunctions)
        return QStringLiteral("Function %1 (out of range: does nothing)").arg(nFunction);
    const size_t nSettings = m_Mapping.Definitions().functions[static_cast<size_t>(nFunction)].size();
    if (nSettings == 0)
        return QStringLiteral("Function %1 (empty: does nothing)").arg(nFunction);
    return QStringLiteral("Function %1 (%2 setting%3)").arg(nFunction).arg(nSettings).arg(nSettings == 1 ? "" : "s");
}

QString cJoystickMonitorDlg::DemandText(int nSlot) const
{
    const JoystickAxisDef& axis = m_Mapping.Definitions().axes[static_cast<size_t>(nSlot)];
    if (!axis.bValid)
        return QStringLiteral("not defined");
    return QStringLiteral("%1 (%2 %3/%4/%5, %6%7)")
        .arg(m_Mapping.AxisValue(nSlot), 0, 'f', 2)
        .arg(QString::fromLatin1(RC_DataTypeText(static_cast<RC_DataType>(axis.nDataType))))
        .arg(axis.nSubsystem)
        .arg(axis.nIndex)
        .arg(axis.nItem)
        .arg(axis.bIncremental ? QStringLiteral("incremental") : QStringLiteral("absolute"))
        .arg(axis.bPair ? QStringLiteral(", paired") : QString());
}

void cJoystickMonitorDlg::Refresh()
{
    ControllerState state{};
    uint64_t nRecords = 0;
    const bool bHaveRecord = m_Controls.LatestState(state, &nRecords);
    const QString sPlugin = QString::fromStdString(m_sPlugin);
    switch (m_Controls.GetLinkState())
    {
    case cUserControls::LinkState::kNotConnected:
        m_pStatus->setText(QStringLiteral("No joystick connected (plug-in %1)").arg(sPlugin));
        break;
    case cUserControls::LinkState::kWaiting:
        m_pStatus->setText(QStringLiteral("Joystick connected, waiting for its first reading (plug-in %1)").arg(sPlugin));
        break;
    case cUserControls::LinkState::kLive:
        m_pStatus->setText(QStringLiteral("Joystick connected: %1 readings (plug-in %2)").arg(nRecords).arg(sPlugin));
        break;
    case cUserControls::LinkState::kNotAnswering:
        m_pStatus->setText(QStringLiteral("Joystick not answering: the last readings are shown (plug-in %1)").arg(sPlugin));
        break;
    }

    const double values[kAxes] = {state.dX,  state.dY,  state.dZ,       state.dRx,
                                   state.dRy, state.dRz, state.dSlider0, state.dSlider1};
    for (int i = 0; i < kAxes; ++i)
    {
        const size_t n = static_cast<size_t>(i);
        const bool bPresent = bHaveRecord && (state.nAxisFlags & (1u << i));
        m_AxisBars[n]->setEnabled(bPresent);
        if (bPresent)
            m_AxisBars[n]->setValue(Thousandths(values[i]));
        else
            m_AxisBars[n]->reset();  // empty, rather than a bar at the centre
        m_AxisValues[n]->setText(bPresent ? QString::number(values[i], 'f', 3) : QStringLiteral("-"));
    }
    if (!bHaveRecord)
        m_pHat->setText(QStringLiteral("-"));
    else if (state.nPOV < 0)
        m_pHat->setText(QStringLiteral("centred"));
    else
        m_pHat->setText(QStringLiteral("%1\u00B0").arg(state.nPOV));
    for (int i = 0; i < kButtons; ++i)
    {
        const size_t n = static_cast<size_t>(i);
        const bool bLit = bHaveRecord && (state.nButtons & (1u << i));
        if (bLit != m_ButtonLit[n])
        {
            m_ButtonLit[n] = bLit;
            m_ButtonLamps[n]->setStyleSheet(QString::fromLatin1(bLit ? kLampOn : kLampOff));
        }
    }

    for (int nSlot = 0; nSlot < 2; ++nSlot)
        m_DemandLabels[static_cast<size_t>(nSlot)]->setText(DemandText(nSlot));

    const JoystickDefinitions& definitions = m_Mapping.Definitions();
    for (int i = 0; i < JoystickDefinitions::kButtons; ++i)
    {
        const int nRow = m_ButtonRow[static_cast<size_t>(i)];
        if (nRow < 0)
            continue;
        const JoystickButtonDef& button = definitions.buttons[static_cast<size_t>(i)];
        QString sNext = QStringLiteral("-");
        if (button.bPress)
            sNext = FunctionText(button.nPressFunction);
        else if (button.bCycle)
            sNext = QStringLiteral("%1, %2 of %3")
                        .arg(FunctionText(m_Mapping.NextPressFunction(i)))
                        .arg(m_Mapping.CyclePosition(i) + 1)
                        .arg(button.cycle.size());
        if (m_pButtonTable->item(nRow, 1)->text() != sNext)
            m_pButtonTable->item(nRow, 1)->setText(sNext);
    }
}

void cJoystickMonitorDlg::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    Refresh();
    m_Timer.Start();
}

void cJoystickMonitorDlg::hideEvent(QHideEvent* pEvent)
{
    m_Timer.Stop();
    QDialog::hideEvent(pEvent);
}
