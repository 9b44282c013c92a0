#pragma once
#include <QPoint>
#include <functional>

class QMenu;
class QWidget;

// The context menu of a picture that designates: "Designate here" (greyed
// where nothing can be designated) and "Cancel track". Popped up rather than
// run in a loop of its own, so that a stop signal never finds a nested loop
// here; it deletes itself when it closes.
class cDesignationMenu
{
public:
    static QMenu* Popup(QWidget* pParent, const QPoint& globalPoint, bool bCanDesignate,
                        std::function<void()> fnDesignate, std::function<void()> fnCancel);
};
