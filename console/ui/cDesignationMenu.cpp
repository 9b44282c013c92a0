#include "cDesignationMenu.h"

#include <QMenu>

QMenu* cDesignationMenu::Popup(QWidget* pParent, const QPoint& globalPoint, bool bCanDesignate,
                               std::function<void()> fnDesignate, std::function<void()> fnCancel)
{
    auto* pMenu = new QMenu(pParent);
    pMenu->setAttribute(Qt::WA_DeleteOnClose);
    pMenu->addAction(QStringLiteral("Designate here"), pMenu, std::move(fnDesignate))->setEnabled(bCanDesignate);
    pMenu->addAction(QStringLiteral("Cancel track"), pMenu, std::move(fnCancel));
    pMenu->popup(globalPoint);
    return pMenu;
}
