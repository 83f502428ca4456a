#include "common/program.h"

#include "common/launcher.h"

#include <QApplication>
#include <QWidget>

namespace chimewell {

namespace {
bool g_ending = false;
}

void endProgram(int code)
{
    g_ending = true;
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows)
            w->hide();
    }
    QCoreApplication::exit(code);
}

bool isEnding() { return g_ending; }

void restartProgram()
{
    // If the restart program cannot start, this run still ends, as asked.
    startShipped(QStringLiteral("chimewell-restart"));
    endProgram();
}

} // namespace chimewell
