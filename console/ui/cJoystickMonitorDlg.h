#pragma once
#include "cRefreshTimer.h"

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

class QLabel;
class QProgressBar;
class QTableWidget;
class cJoystickMapping;
class cUserControls;

// Shows the joystick live, so that an operator can check a stick and the
// definitions file before flying: whether a device is connected, its latest
// record (axes as bars, hat, 32 buttons), the current demand of each axis
// slot, and what each mapped button runs next. It only reads: the record and
// the demands are snapshots the polling thread leaves, picked up by a 100 ms
// timer on the UI thread while the window is visible.
class cJoystickMonitorDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kAxes = 8;
    static constexpr int kButtons = 32;

    // Both objects belong to the main window and outlive this dialog.
    cJoystickMonitorDlg(const cUserControls& controls, const cJoystickMapping& mapping, const std::string& sPlugin,
                        const std::string& sDefinitionsFile, QWidget* pParent = nullptr);

    void Refresh();

    QLabel* StatusLabel() const { return m_pStatus; }
    QProgressBar* AxisBar(int nAxis) const { return m_AxisBars.at(static_cast<size_t>(nAxis)); }
    QLabel* HatLabel() const { return m_pHat; }
    bool ButtonLit(int nButton) const { return m_ButtonLit.at(static_cast<size_t>(nButton)); }
    QLabel* DemandLabel(int nSlot) const { return m_DemandLabels.at(static_cast<size_t>(nSlot)); }
    QTableWidget* ButtonTable() const { return m_pButtonTable; }

protected:
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;

private:
    void BuildButtonTable();
    QString FunctionText(int32_t nFunction) const;
    QString DemandText(int nSlot) const;

    const cUserControls& m_Controls;
    const cJoystickMapping& m_Mapping;
    const std::string m_sPlugin;

    QLabel* m_pStatus = nullptr;
    std::array<QProgressBar*, kAxes> m_AxisBars{};
    std::array<QLabel*, kAxes> m_AxisValues{};
    QLabel* m_pHat = nullptr;
    std::array<QLabel*, kButtons> m_ButtonLamps{};
    std::array<bool, kButtons> m_ButtonLit{};
    std::array<QLabel*, 2> m_DemandLabels{};
    QTableWidget* m_pButtonTable = nullptr;
    std::array<int, 16> m_ButtonRow{};  // table row of each mapped button, -1 when unmapped
    cRefreshTimer m_Timer;
};
