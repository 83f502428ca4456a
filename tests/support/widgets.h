#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>

namespace chimewell::testing {

// The top-level window of that object name, or null: how the tests find the
// windows a program makes for itself (characters, balloons, dialogs).
inline QWidget *topLevel(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name)
            return w;
    }
    return nullptr;
}

} // namespace chimewell::testing
