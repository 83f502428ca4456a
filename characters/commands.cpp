// The answers of the two characters to the commands of their menus and voices.
#include "characters/clockcharacters.h"
#include "characters/clockwindow.h"

#include "common/clock.h"

#include <QLocale>
#include <QSet>

namespace chimewell::characters {

namespace {

QString introduction(const agent::Character *c)
{
    return QStringLiteral("Hello, my name is ") + (c ? c->name() : QString()) + QStringLiteral(". ")
        + (c ? c->description() : QString());
}

bool knownCommand(const QString &name, bool withFuture)
{
    static const QSet<QString> known = {
        QStringLiteral("default"), QStringLiteral("Properties"), QStringLiteral("Introduce"),
        QStringLiteral("Date"),    QStringLiteral("Shut"),       QStringLiteral("exit"),
    };
    return known.contains(name) || (withFuture && name == QLatin1String("Future"));
}

} // namespace

void ClockCharacters::Agent1_Command(const agent::UserInput &userInput)
{
    const QString &name = userInput.Name;
    if (!knownCommand(name, true))
        return;
    // Answer at once: whatever the character was still saying is dropped.
    if (m_char1)
        m_char1->stop();

    if (name == QLatin1String("Future")) {
        say(QStringLiteral("The future is Bright!. There will soon be an International Chimewell, which you can use "
                           "on your laptop. But dont tell anybody!"),
            CharacterSlot::One);
    } else if (name == QLatin1String("default")) {
        GenieMove();
    } else if (name == QLatin1String("Properties")) {
        m_agent1->propertySheet().setVisible(true);
    } else if (name == QLatin1String("Introduce")) {
        say(introduction(m_char1), CharacterSlot::One);
    } else if (name == QLatin1String("Date")) {
        // Weekday and month in the user's language.
        const QString date = QLocale::system().toString(Clock::current().date(), QStringLiteral("dddd MMMM dd, yyyy"));
        say(QStringLiteral("The date is ") + date + QLatin1Char('.'), CharacterSlot::One);
    } else if (name == QLatin1String("Shut")) {
        say(QStringLiteral("Hey ") + m_charName2
                + QStringLiteral(", please be quiet.. \\chr=\"Whisper\"\\Cant you whisper or something"),
            CharacterSlot::One);
    } else if (name == QLatin1String("exit")) {
        m_window.closeClock();
    }
}

void ClockCharacters::Agent2_Command(const agent::UserInput &userInput)
{
    const QString &name = userInput.Name;
    if (!knownCommand(name, false))
        return;
    if (m_char2)
        m_char2->stop();

    if (name == QLatin1String("default")) {
        GenieMove();
    } else if (name == QLatin1String("Properties")) {
        m_agent2->propertySheet().setVisible(true);
    } else if (name == QLatin1String("Introduce")) {
        say(introduction(m_char2), CharacterSlot::Two);
    } else if (name == QLatin1String("Date")) {
        say(QStringLiteral("I dont know, why dont you ask ") + m_charName1, CharacterSlot::Two);
    } else if (name == QLatin1String("Shut")) {
        say(QStringLiteral("Hey ") + m_charName1 + QStringLiteral(", I think you are cool, but please be quiet!"), CharacterSlot::Two);
    } else if (name == QLatin1String("exit")) {
        m_window.closeClock();
    }
}

} // namespace chimewell::characters
