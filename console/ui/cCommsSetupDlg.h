#pragma once
#include "CommsSettings.h"
#include "cRefreshTimer.h"

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Edits the owner's CommsSettings in place, box by box as the operator leaves
// each one; "OK" stores them per user and fires sigSettingsApplied. Enter in a
// box applies nothing: only "OK" does.
class cCommsSetupDlg : public QDialog
{
    Q_OBJECT

public:
    // The boxes, in the order of the fields they edit.
    enum Box
    {
        kComPort,
        kOctet1,
        kOctet2,
        kOctet3,
        kOctet4,
        kRcTarget,
        kRcHost,
        kEoTarget,
        kEoHost,
        kBoxCount,
    };

    explicit cCommsSetupDlg(CommsSettings* pSettings, QWidget* pParent = nullptr);
    ~cCommsSetupDlg() override;

    // Fills the boxes from the settings; the first timer tick runs it.
    void UpdateControls();
    void SetMode(int32_t nCommsMethod);
    void ParseBox(Box eBox);
    void OnOk();

    QLineEdit* BoxEdit(Box eBox) const { return m_Boxes[eBox]; }
    QRadioButton* SerialButton() const { return m_pSerial; }
    QRadioButton* UdpButton() const { return m_pUdp; }
    QPushButton* OkButton() const { return m_pOk; }
    QLabel* EoLabel() const { return m_pEoLabel; }
    bool RefreshPending() const { return m_bRefresh; }

signals:
    void sigSettingsApplied();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void OnTick();
    void StopTimer();

    CommsSettings* m_pSettings;
    bool m_bRefresh = true;  // the next tick fills the boxes
    std::array<QLineEdit*, kBoxCount> m_Boxes{};
    QRadioButton* m_pSerial = nullptr;
    QRadioButton* m_pUdp = nullptr;
    QLabel* m_pEoLabel = nullptr;
    QPushButton* m_pOk = nullptr;
    cRefreshTimer m_Timer;
};
