#pragma once

#include "characters/clockwindow.h"

#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// What the character tests share: a clock window that only records, the
// character service's request log, and a private home for settings and
// character files.
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

    QRect geometry{3000, 2000, 1500, 600};
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

// Makes the running test function fail on any warning but the few the
// headless platform always gives; tests that expect one say so with
// QTest::ignoreMessage.
void failOnUnexpectedWarnings();

// Writes a small but complete character file: one 128 x 128 frame shared by
// the animations the clock plays.
bool writeCharacterFile(const QString &path, const QString &name, const QString &description, int width = 128,
                        int height = 128);

// A fresh XDG_CONFIG_HOME and XDG_DATA_HOME (with an empty character folder)
// for one test; the previous ones are removed.
class TestHome final
{
public:
    TestHome();
    ~TestHome();
    QString characterFolder() const;
    QString root() const { return m_dir->path(); }
    // Puts a character file named `id`.acs into the character folder.
    bool addCharacter(const QString &id, const QString &name = QString(), const QString &description = QString());

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

} // namespace chimewell::characters::test
