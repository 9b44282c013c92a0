#pragma once
#include <QObject>
#include <QString>
#include <functional>

class QLineEdit;

// How every value field of the console commits what the operator typed, in
// page dialogs and landing dialogs alike: Return, or leaving the field,
// commits. Only typed text is a demand: a field merely visited sends nothing.
// While the operator is in the field, new values wait; text that is not sent
// (it does not parse, does not fit, or the field is disabled under the
// operator's hands) gives way to the last value received. A menu opening
// takes the focus only for a moment: that is no leaving.
class cEditCommit : public QObject
{
public:
    // fnSend sends the text and says whether it did. The field must outlive this
    // object, or own it (it is made the field's child).
    cEditCommit(QLineEdit* pField, std::function<bool(const QString&)> fnSend);

    // A value received: shown at once unless the operator is editing.
    void Show(const QString& sText);
    bool IsEditing() const { return m_bEditing; }
    bool IsTyped() const { return m_bTyped; }
    // What Return and leaving the field do.
    void Commit();
    // Nothing is sent after this: for an owner going away while its fields may still lose the focus.
    void Stop();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    QLineEdit* m_pField;
    std::function<bool(const QString&)> m_fnSend;
    QString m_sShown;  // the latest value received
    bool m_bEditing = false;  // the operator is in the field
    bool m_bTyped = false;    // and has changed its text
    bool m_bCommitting = false;
};
