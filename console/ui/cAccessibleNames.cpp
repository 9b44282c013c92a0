#include "cAccessibleNames.h"

#include "cReadoutLabel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QBoxLayout>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTextEdit>
#include <algorithm>
#include <vector>

namespace
{
// A label that names others: it says something in words and shows no value.
bool IsCaption(const QWidget* pWidget)
{
    const auto* pLabel = qobject_cast<const QLabel*>(pWidget);
    if (!pLabel || dynamic_cast<const cReadoutLabel*>(pLabel))
        return false;
    const QString sText = pLabel->text();
    return std::any_of(sText.begin(), sText.end(), [](QChar c) { return c.isLetter(); });
}

// A label that shows text of its own (a caption, a separator) rather than a
// value: it is named by that text, never by a caption beside it.
bool IsFixedText(const QWidget* pWidget)
{
    const auto* pLabel = qobject_cast<const QLabel*>(pWidget);
    return pLabel && !dynamic_cast<const cReadoutLabel*>(pLabel) && !pLabel->text().isEmpty();
}

// The widgets a layout item holds, nested layouts included, in order.
void WidgetsOf(QLayoutItem* pItem, std::vector<QWidget*>& widgets)
{
    if (!pItem)
        return;
    if (QWidget* pWidget = pItem->widget())
    {
        widgets.push_back(pWidget);
        return;
    }
    if (QLayout* pLayout = pItem->layout())
        for (int n = 0; n < pLayout->count(); ++n)
            WidgetsOf(pLayout->itemAt(n), widgets);
}

class Namer
{
public:
    // Names the unnamed fields under one caption, numbering all but the first.
    void Name(const QString& sCaption, const std::vector<QWidget*>& fields)
    {
        if (sCaption.isEmpty())
            return;
        for (QWidget* pField : fields)
        {
            if (pField->accessibleName().isEmpty() && cAccessibleNames::NeedsName(pField) && !IsFixedText(pField))
            {
                const int nUse = ++m_Uses[sCaption];
                pField->setAccessibleName(nUse == 1 ? sCaption : QStringLiteral("%1 %2").arg(sCaption).arg(nUse));
            }
        }
    }

private:
    QMap<QString, int> m_Uses;
};

void NameForm(QFormLayout* pForm, Namer& namer)
{
    for (int nRow = 0; nRow < pForm->rowCount(); ++nRow)
    {
        QLayoutItem* pLabel = pForm->itemAt(nRow, QFormLayout::LabelRole);
        if (!pLabel || !IsCaption(pLabel->widget()))
            continue;
        std::vector<QWidget*> fields;
        WidgetsOf(pForm->itemAt(nRow, QFormLayout::FieldRole), fields);
        namer.Name(cAccessibleNames::FromCaption(static_cast<QLabel*>(pLabel->widget())->text()), fields);
    }
}

void NameGrid(QGridLayout* pGrid, Namer& namer)
{
    auto captionAt = [pGrid](int nRow, int nColumn) -> QString {
        QLayoutItem* pItem = pGrid->itemAtPosition(nRow, nColumn);
        return pItem && IsCaption(pItem->widget()) ? cAccessibleNames::FromCaption(static_cast<QLabel*>(pItem->widget())->text())
                                                   : QString();
    };
    for (int nRow = 0; nRow < pGrid->rowCount(); ++nRow)
    {
        for (int nColumn = 0; nColumn < pGrid->columnCount(); ++nColumn)
        {
            QLayoutItem* pItem = pGrid->itemAtPosition(nRow, nColumn);
            if (!pItem || IsCaption(pItem->widget()))
                continue;
            // A widget spanning several cells is met once, at its first.
            int nItemRow = 0, nItemColumn = 0, nRows = 0, nColumns = 0;
            pGrid->getItemPosition(pGrid->indexOf(pItem), &nItemRow, &nItemColumn, &nRows, &nColumns);
            if (nItemRow != nRow || nItemColumn != nColumn)
                continue;
            QString sRow;
            for (int nLeft = nColumn - 1; nLeft >= 0 && sRow.isEmpty(); --nLeft)
                sRow = captionAt(nRow, nLeft);
            const QString sColumn = nRow > 0 ? captionAt(0, nColumn) : QString();
            std::vector<QWidget*> fields;
            WidgetsOf(pItem, fields);
            namer.Name(sColumn.isEmpty() ? sRow : sRow.isEmpty() ? sColumn : sRow + QLatin1Char(' ') + sColumn, fields);
        }
    }
}

void NameRow(QBoxLayout* pBox, Namer& namer)
{
    QString sCaption;
    for (int n = 0; n < pBox->count(); ++n)
    {
        std::vector<QWidget*> widgets;
        WidgetsOf(pBox->itemAt(n), widgets);
        for (QWidget* pWidget : widgets)
        {
            if (IsCaption(pWidget))
                sCaption = cAccessibleNames::FromCaption(static_cast<QLabel*>(pWidget)->text());
            else
                namer.Name(sCaption, {pWidget});
        }
    }
}
} // namespace

QString cAccessibleNames::FromCaption(const QString& sCaption)
{
    QString sName = sCaption;
    sName.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    sName = sName.trimmed();
    while (sName.endsWith(QLatin1Char(':')))
        sName.chop(1);
    return sName.trimmed();
}

bool cAccessibleNames::NeedsName(const QWidget* pWidget)
{
    // The parts Qt builds inside a control (a line edit's clear button, a
    // view's scroll bars and headers) are named by the control.
    for (const QWidget* pParent = pWidget->parentWidget(); pParent && !pParent->isWindow(); pParent = pParent->parentWidget())
        if (qobject_cast<const QLineEdit*>(pParent) || qobject_cast<const QComboBox*>(pParent) ||
            qobject_cast<const QAbstractScrollArea*>(pParent) || qobject_cast<const QAbstractSpinBox*>(pParent))
            return false;
    return qobject_cast<const QAbstractButton*>(pWidget) || qobject_cast<const QLineEdit*>(pWidget) ||
           qobject_cast<const QAbstractSlider*>(pWidget) || qobject_cast<const QComboBox*>(pWidget) ||
           qobject_cast<const QAbstractSpinBox*>(pWidget) || qobject_cast<const QProgressBar*>(pWidget) ||
           qobject_cast<const QLabel*>(pWidget) || qobject_cast<const QAbstractItemView*>(pWidget) ||
           qobject_cast<const QPlainTextEdit*>(pWidget) || qobject_cast<const QTextEdit*>(pWidget);
}

QString cAccessibleNames::NameOf(const QWidget* pWidget)
{
    if (!pWidget->accessibleName().isEmpty())
        return pWidget->accessibleName();
    if (const auto* pButton = qobject_cast<const QAbstractButton*>(pWidget))
        return FromCaption(pButton->text().isEmpty() ? pButton->toolTip() : pButton->text());
    if (const auto* pBox = qobject_cast<const QGroupBox*>(pWidget))
        return FromCaption(pBox->title());
    return {};
}

void cAccessibleNames::Apply(QWidget* pWindow)
{
    Namer namer;
    std::vector<QLayout*> layouts;
    if (pWindow->layout())
        layouts.push_back(pWindow->layout());
    for (QLayout* pLayout : pWindow->findChildren<QLayout*>())
        if (pLayout != pWindow->layout())
            layouts.push_back(pLayout);
    for (QLayout* pLayout : layouts)
    {
        if (auto* pForm = qobject_cast<QFormLayout*>(pLayout))
            NameForm(pForm, namer);
        else if (auto* pGrid = qobject_cast<QGridLayout*>(pLayout))
            NameGrid(pGrid, namer);
        else if (auto* pBox = qobject_cast<QBoxLayout*>(pLayout); pBox && pBox->direction() <= QBoxLayout::RightToLeft)
            NameRow(pBox, namer);
    }
    for (QWidget* pWidget : pWindow->findChildren<QWidget*>())
    {
        if (!NeedsName(pWidget) || !pWidget->accessibleName().isEmpty() || qobject_cast<QAbstractButton*>(pWidget))
            continue;
        // Text of its own, else what its tool tip or object name says, else the
        // title of the group it is alone in.
        QString sName;
        if (IsFixedText(pWidget) && IsCaption(pWidget))
            sName = FromCaption(static_cast<QLabel*>(pWidget)->text());
        if (sName.isEmpty())
            sName = FromCaption(pWidget->toolTip());
        if (sName.isEmpty() && IsFixedText(pWidget))
            sName = static_cast<QLabel*>(pWidget)->text();
        if (sName.isEmpty())
            sName = pWidget->objectName();
        if (const auto* pGroup = qobject_cast<const QGroupBox*>(pWidget->parentWidget()); sName.isEmpty() && pGroup)
        {
            const auto siblings = pGroup->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            if (std::count_if(siblings.begin(), siblings.end(), [](const QWidget* p) { return NeedsName(p); }) == 1)
                sName = FromCaption(pGroup->title());
        }
        if (!sName.isEmpty())
            pWidget->setAccessibleName(sName);
    }
}
