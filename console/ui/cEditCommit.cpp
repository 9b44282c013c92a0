#include "cEditCommit.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>

cEditCommit::cEditCommit(QLineEdit* pField, std::function<bool(const QString&)> fnSend)
    : QObject(pField), m_pField(pField), m_fnSend(std::move(fnSend))
{
    m_pField->installEventFilter(this);
    connect(m_pField, &QLineEdit::textEdited, this, [this] {
        m_bEditing = true;
        m_bTyped = true;
    });
    connect(m_pField, &QLineEdit::returnPressed, this, [this] { Commit(); });
}

void cEditCommit::Show(const QString& sText)
{
    m_sShown = sText;
    if (!m_bEditing && m_pField->text() != sText)
        m_pField->setText(sText);
}

void cEditCommit::Commit()
{
    // Sending may open a box or move the focus, which would commit again.
    if (m_bCommitting)
        return;
    m_bCommitting = true;
    const bool bTyped = m_bTyped;
    m_bEditing = false;
    m_bTyped = false;
    const bool bSent = bTyped && m_fnSend && m_pField->isEnabled() && !m_pField->isReadOnly() && m_fnSend(m_pField->text());
    if (!bSent && m_pField->text() != m_sShown)
        m_pField->setText(m_sShown);
    m_bCommitting = false;
}

void cEditCommit::Stop()
{
    m_pField->removeEventFilter(this);
    disconnect(m_pField, nullptr, this, nullptr);
    m_fnSend = {};
}

bool cEditCommit::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pField && (pEvent->type() == QEvent::FocusIn || pEvent->type() == QEvent::FocusOut))
    {
        const Qt::FocusReason eReason = static_cast<QFocusEvent*>(pEvent)->reason();
        if (pEvent->type() == QEvent::FocusIn)
        {
            // The focus a window hands its first field on opening is not the
            // operator's doing: that field keeps updating.
            if (eReason == Qt::MouseFocusReason || eReason == Qt::TabFocusReason || eReason == Qt::BacktabFocusReason ||
                eReason == Qt::ShortcutFocusReason)
                m_bEditing = true;
        }
        else if (eReason != Qt::PopupFocusReason && (m_bEditing || m_bTyped))
        {
            Commit();
        }
    }
    return QObject::eventFilter(pWatched, pEvent);
}
