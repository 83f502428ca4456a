#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QApplication;
class QWidget;

namespace chimewell {

class SecondStartListener;

// Ends the program at once: every window goes, the event loops (nested ones
// of a pause included) stop, and main() returns, also when the main loop has
// not started yet. Handlers that pause see pause() return false and stop.
void endProgram(int code = 0);
// True once endProgram has been called.
bool isEnding();
// Forgets an endProgram, for tests that end a form and go on testing.
void clearEnding();
// Starts the restart program from the program folder, then ends this run.
void restartProgram();
// When the settings store cannot be read (too large, not a file, no
// permission, an I/O error), tells the user so, once a run, in a message box
// that names the file and the reason, and returns true. The program then goes
// on with its defaults; the store never writes over such a file.
bool tellIfStoreUnreadable(QWidget *parent = nullptr);

// What every windowed program does before its first window: a clean quit on
// SIGTERM and SIGHUP, the display choice, the application's name and version, one running copy per program
// and user, and the "show" log. Typical use:
//
//     GuiProgram program(argc, argv);
//     if (!program.claimInstance(QStringLiteral("date")))
//         return 0;
//     ... build the first form; start its work from the event loop, e.g.
//     QTimer::singleShot(0, &form, &Form::Form_Load) ...
//     return program.exec();
class GuiProgram final
{
public:
    GuiProgram(int &argc, char **argv);
    ~GuiProgram();

    QApplication &app();
    // Takes the one-instance lock named `lockName`; false when another copy
    // holds it (the program should then end at once, showing nothing; the
    // running copy has been told, with `arguments`, see secondStarts()).
    bool claimInstance(const QString &lockName, const QStringList &arguments = {});
    // After a claimInstance that returned false: whether the running copy took the message.
    bool runningCopyTold() const;
    // Raises secondStart() when the program is started again while it runs;
    // null before claimInstance succeeded.
    SecondStartListener *secondStarts() const;
    // Runs the event loop; returns at once when the program already ended.
    int exec();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace chimewell
