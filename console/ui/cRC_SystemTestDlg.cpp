#include "cRC_SystemTestDlg.h"

#include "DbgLog.h"
#include "cAccessibleNames.h"
#include "cMessageBox.h"
#include "cTestScenarioReader.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

cRC_SystemTestDlg::cRC_SystemTestDlg(cRC_IO_Pages* pRC_IO_Pages, const std::string& sScenarioFile, QWidget* pParent)
    : QDialog(pParent), m_Stepper(pRC_IO_Pages, m_Scenario), m_Timer([this] { Step(); })
{
    m_pTestList = new QComboBox(this);
    m_pStart = new QPushButton(QStringLiteral("Start Test"), this);
    m_pStop = new QPushButton(QStringLiteral("Stop Test"), this);
    m_pPause = new QPushButton(QStringLiteral("Pause Test"), this);
    m_pLogging = new QPushButton(QStringLiteral("Start Logging"), this);
    m_pStatus = new QLabel(QStringLiteral("STOPPED"), this);
    m_pStatus->setFrameShape(QFrame::StyledPanel);
    m_pStatus->setMinimumWidth(260);
    m_pTestList->setAccessibleName(QStringLiteral("Test"));
    m_pStatus->setAccessibleName(QStringLiteral("Test status"));
    m_pLogging->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    m_pLogging->setToolTip(QStringLiteral("Start or stop logging (Ctrl+L)"));
    // No button is pressed by Enter.
    for (QPushButton* pButton : {m_pStart, m_pStop, m_pPause, m_pLogging})
    {
        pButton->setAutoDefault(false);
        pButton->setDefault(false);
    }

    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(m_pTestList, 0, 0, 1, 2);
    pLayout->addWidget(m_pStart, 1, 0);
    pLayout->addWidget(m_pStop, 1, 1);
    pLayout->addWidget(m_pPause, 2, 0);
    pLayout->addWidget(m_pLogging, 2, 1);
    pLayout->addWidget(m_pStatus, 3, 0, 1, 2);

    connect(m_pStart, &QPushButton::clicked, this, [this] { OnStartTest(); });
    connect(m_pPause, &QPushButton::clicked, this, [this] { OnPauseTest(); });
    connect(m_pStop, &QPushButton::clicked, this, [this] { OnStopTest(); });
    connect(m_pLogging, &QPushButton::clicked, this, [this] { OnStartStopLogging(); });
    m_Stepper.SetStatusSink([this](const std::string& sText) { m_pStatus->setText(QString::fromStdString(sText)); });

    LoadScenario(sScenarioFile);
    connect(m_pTestList, &QComboBox::currentIndexChanged, this, [this](int nIndex) { m_Stepper.Select(nIndex); });
}

cRC_SystemTestDlg::~cRC_SystemTestDlg()
{
    m_Timer.Stop();
    m_Stepper.SetLog(nullptr);
    if (m_bLogging)
        m_Log.Close();
}

void cRC_SystemTestDlg::LoadScenario(const std::string& sScenarioFile)
{
    const cTestScenarioReader reader;
    if (reader.Read(sScenarioFile, m_Scenario) == cTestScenarioReader::Result::kCannotOpen)
    {
        cMessageBox::Show(this, QStringLiteral("Error opening test scenario file\n%1").arg(QString::fromStdString(sScenarioFile)));
        return;
    }
    for (const cTestScenario::Test& test : m_Scenario.Tests())
        m_pTestList->addItem(QString::fromStdString(test.sName));
    // The first test is selected even when a tag like MyTest ended the list early.
    if (m_Scenario.TestCount() > 0)
    {
        m_pTestList->setCurrentIndex(0);
        m_Stepper.Select(0);
    }
}

void cRC_SystemTestDlg::OnStartTest()
{
    m_Stepper.Start();
    m_Timer.Start();
    m_pTestList->setEnabled(false);
}

void cRC_SystemTestDlg::OnPauseTest()
{
    m_Timer.Stop();
    m_Stepper.Pause();
}

void cRC_SystemTestDlg::OnStopTest()
{
    m_Timer.Stop();
    m_Stepper.Stop();
    m_pTestList->setEnabled(true);
}

void cRC_SystemTestDlg::Step()
{
    m_Stepper.Tick();
}

void cRC_SystemTestDlg::OnStartStopLogging()
{
    if (m_bLogging)
    {
        m_Stepper.SetLog(nullptr);
        m_Log.Close();
        m_bLogging = false;
        m_pLogging->setText(QStringLiteral("Start Logging"));
        return;
    }
    if (!m_Log.Open(kLogFolder, kLogName))
    {
        // The button keeps saying "Start Logging": nothing is being logged.
        DbgLog(DBG_ERR, "cRC_SystemTestDlg::OnStartStopLogging", __LINE__,
               DbgLogFormat("Cannot open a test log in %s", kLogFolder));
        cMessageBox::Show(this, QStringLiteral("Error opening log file in %1").arg(QLatin1String(kLogFolder)));
        return;
    }
    m_bLogging = true;
    m_Stepper.SetLog(&m_Log);
    m_pLogging->setText(QStringLiteral("Stop Logging"));
}
