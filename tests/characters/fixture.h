#pragma once

#include "characters/clockwindow.h"

#include <QRect>
#include <QString>
#include <QStringList>
#include "tests/support/characterfile.h"
#include "tests/support/temphome.h"
#include "tests/support/warnings.h"

// What the character tests share: a clock window that only records and the
// character service's request log (on top of tests/support).
namespace chimewell::characters::test {

class FakeClockWindow final : public ClockWindow
{
public:
    QRect geometryTwips() const override { return geometry; }
    bool isClockVisible() const override { return visible; }
    void setClockVisible(bool v) override
    {
        visible = v;
        visibilityChanges << v;
    }
    bool isMinimised() const override { return minimised; }
    void closeClock() override { ++closed; }
    void endProgram() override { ++ended; }
    void hideSettingsDialog() override { ++settingsHidden; }
    void closeSettingsDialog() override { ++settingsClosed; }
    QWidget *dialogParent() override { return nullptr; }
    QList<screenarea::Monitor> monitors() const override { return desk.isEmpty() ? ClockWindow::monitors() : desk; }

    QRect geometry{3000, 2000, 1500, 600};
    QList<screenarea::Monitor> desk; // empty: the screens there are
    bool visible = true;
    bool minimised = false;
    QList<bool> visibilityChanges;
    int closed = 0;
    int ended = 0;
    int settingsHidden = 0;
    int settingsClosed = 0;
};

// Captures the chimewell.agent lines ("<id> <Operation>[ <argument>]").
namespace agentlog {
void install();
void clear();
// Every request since the last clear, in order.
QStringList all();
// Only those of one character, without the id.
QStringList of(const QString &id);
// Only the texts one character was asked to speak.
QStringList speechOf(const QString &id);
} // namespace agentlog

using testing::failOnUnexpectedWarnings;
using testing::writeCharacterFile;
using TestHome = testing::TempHome;

} // namespace chimewell::characters::test
