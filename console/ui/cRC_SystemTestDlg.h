#pragma once
#include "cCsvLogFile.h"
#include "cRefreshTimer.h"
#include "cTestScenario.h"
#include "cTestStepper.h"

#include <QDialog>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class cRC_IO_Pages;

// Runs the system tests of a scenario file: pick a test, start, pause or stop
// it, and log the commands it sends. The stepper ticks on a QTimer of this
// dialog's thread, so the buttons and the steps never run at the same time.
// Closing the window only hides it: a running test goes on until "Stop Test".
class cRC_SystemTestDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kLogFolder = "TestLogs";  // relative to the working directory
    static constexpr const char* kLogName = "Test";

    // pRC_IO_Pages belongs to the main dialog and outlives this one's ticks.
    cRC_SystemTestDlg(cRC_IO_Pages* pRC_IO_Pages, const std::string& sScenarioFile, QWidget* pParent = nullptr);
    ~cRC_SystemTestDlg() override;

    void OnStartTest();
    void OnPauseTest();
    void OnStopTest();
    void OnStartStopLogging();
    // One timer tick.
    void Step();

    const cTestScenario& Scenario() const { return m_Scenario; }
    const cTestStepper& Stepper() const { return m_Stepper; }
    QComboBox* TestList() const { return m_pTestList; }
    QPushButton* StartButton() const { return m_pStart; }
    QPushButton* PauseButton() const { return m_pPause; }
    QPushButton* StopButton() const { return m_pStop; }
    QPushButton* LoggingButton() const { return m_pLogging; }
    QLabel* StatusLine() const { return m_pStatus; }
    bool IsTicking() const { return m_Timer.IsRunning(); }
    bool IsLogging() const { return m_bLogging; }
    const std::string& LogPath() const { return m_Log.Path(); }

private:
    void LoadScenario(const std::string& sScenarioFile);

    cTestScenario m_Scenario;
    cTestStepper m_Stepper;
    cCsvLogFile m_Log;
    bool m_bLogging = false;

    QComboBox* m_pTestList = nullptr;
    QPushButton* m_pStart = nullptr;
    QPushButton* m_pStop = nullptr;
    QPushButton* m_pPause = nullptr;
    QPushButton* m_pLogging = nullptr;
    QLabel* m_pStatus = nullptr;
    cRefreshTimer m_Timer;
};
