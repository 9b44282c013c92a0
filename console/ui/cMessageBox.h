#pragma once
#include <QString>
#include <functional>

class QWidget;

// The message boxes the operator must see. Tests replace the box with a
// recorder, since a modal box would wait for a click nobody makes.
class cMessageBox
{
public:
    static void Show(QWidget* pParent, const QString& sText);
    // An empty function brings the real box back.
    static void SetSink(std::function<void(const QString&)> fnSink);
};
