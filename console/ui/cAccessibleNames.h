#pragma once
#include <QString>

class QWidget;

// Gives every control and read-out of a window the name that screen readers
// and UI automation find it by: its caption, as the window's layouts place
// it. A form row's label names its field; in a grid, the caption to the left
// in the same row, with the column's heading when the grid has one; in a row
// of widgets, the caption before them. Several fields under one caption are
// numbered after the first ("IP Address", "IP Address 2", ...). A widget that
// no caption names takes its object name. A name set where the widget is made
// is kept. Buttons and group boxes are named by their own text, which Qt
// reports as it changes, so they are left alone. Run it once the window's
// widgets have their captions; again after captions change.
class cAccessibleNames
{
public:
    static void Apply(QWidget* pWindow);

    // Whether the widget is one that must have a name: a control or a read-out
    // the operator meets (not the parts of a composite control).
    static bool NeedsName(const QWidget* pWidget);
    // The name assistive tools are given for it (empty: none).
    static QString NameOf(const QWidget* pWidget);
    // A caption as a name: without the shortcut marker and a closing colon.
    static QString FromCaption(const QString& sCaption);
};
