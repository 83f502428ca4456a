// checkboxes and characterset: bringing both characters to life beside the clock.
#include "characters/clockcharacters.h"
#include "characters/clockwindow.h"
#include "characters/speechrules.h"

#include "common/clock.h"
#include "common/pause.h"
#include "common/platform.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QRect>

#include <cmath>

namespace chimewell::characters {

namespace {

// Twips to pixels, centred on the character, rounded to nearest with halves
// to even (the default rounding mode) as the clock has always placed them.
int homeCoordinate(double twips, double twipsPerPixel, int charSize)
{
    if (!(twipsPerPixel > 0.0))
        twipsPerPixel = 15.0;
    return int(std::nearbyint(twips / twipsPerPixel - charSize / 2.0));
}

QString defaultName1() { return QLatin1String(platform::kStandardCharacter1); }
QString defaultName2() { return QLatin1String(platform::kStandardCharacter2); }

} // namespace

QPoint ClockCharacters::homePosition1(int charWidth, int charHeight) const
{
    const QRect g = m_window.geometryTwips();
    return keptBesideClock({homeCoordinate(double(g.left()) + g.width() + 800, m_window.twipsPerPixelX(), charWidth),
                            homeCoordinate(double(g.top()) + g.height() - 900, m_window.twipsPerPixelY(), charHeight)},
                           QSize(charWidth, charHeight));
}

QPoint ClockCharacters::homePosition2(int charWidth, int charHeight) const
{
    const QRect g = m_window.geometryTwips();
    return keptBesideClock({homeCoordinate(double(g.left()) - 800, m_window.twipsPerPixelX(), charWidth),
                            homeCoordinate(double(g.top()) + g.height() - 900, m_window.twipsPerPixelY(), charHeight)},
                           QSize(charWidth, charHeight));
}

QPoint ClockCharacters::keptBesideClock(const QPoint &home, const QSize &size) const
{
    // A clock at an edge of its monitor would send a character past it, out
    // of reach: it stands at the edge instead, on the clock's monitor.
    const QRect g = m_window.geometryTwips();
    const double tpx = m_window.twipsPerPixelX() > 0.0 ? m_window.twipsPerPixelX() : 15.0;
    const double tpy = m_window.twipsPerPixelY() > 0.0 ? m_window.twipsPerPixelY() : 15.0;
    const QRect clock(int(std::lround(g.left() / tpx)), int(std::lround(g.top() / tpy)),
                      int(std::lround(g.width() / tpx)), int(std::lround(g.height() / tpy)));
    const QRect area = screenarea::availableAreaFor(clock, m_window.monitors());
    return screenarea::keptInside(QRect(home, size), area).topLeft();
}

void ClockCharacters::sendHome(agent::Character &character, CharacterSlot slot)
{
    const QPoint p = slot == CharacterSlot::One ? homePosition1(character.width(), character.height())
                                       : homePosition2(character.width(), character.height());
    character.moveTo(p.x(), p.y());
}

void ClockCharacters::registerCommands(agent::Character &character, CharacterSlot slot)
{
    agent::Commands &commands = character.commands();
    // A character that was not reloaded still has the old captions; start afresh.
    commands.removeAll();
    const bool one = slot == CharacterSlot::One;
    commands.add(QStringLiteral("Properties"), QStringLiteral("Alter Character Properties"),
                 QStringLiteral("[Character] Properties"));
    commands.add(QStringLiteral("Introduce"),
                 one ? QStringLiteral("Introduce ") + m_charName1 : QStringLiteral("Info about ") + m_charName2,
                 QStringLiteral("(Introduction | Introduce)"));
    commands.add(QStringLiteral("default"), QStringLiteral("Move me home"), QStringLiteral("[Move Me]Home "));
    commands.add(QStringLiteral("Date"), one ? QStringLiteral("What is the date") : QStringLiteral("What date is it"),
                 QStringLiteral("What is the [date]?"));
    commands.add(QStringLiteral("Shut"),
                 QStringLiteral("Tell ") + (one ? m_charName2 : m_charName1) + QStringLiteral(" to be quiet"),
                 one ? QStringLiteral("tell [Shut Up]") : QStringLiteral("[Tell] to be quiet"));
    if (one)
        commands.add(QStringLiteral("Future"), QStringLiteral("What does the future hold"), QStringLiteral("[Future]"));
    commands.add(QStringLiteral("exit"), QStringLiteral("Exit Chimewell"), QStringLiteral("[Exit] Chimewell"));
}

void ClockCharacters::applySoundEffects(agent::Character &character, const char *key)
{
    // "True" means the user turned the effects off; a missing value too.
    character.setSoundEffectsOn(store::value(keys::Data, key, QStringLiteral("True")) != QLatin1String("True"));
}

void ClockCharacters::checkboxes()
{
    const QString name1 = store::value(keys::Data, keys::LastCharacter, defaultName1());
    m_charName2 = store::value(keys::Data, keys::LastCharacter2, defaultName2());
    m_agent1->characters().load(name1, name1 + QStringLiteral(".acs"));
    m_agent2->characters().load(m_charName2, m_charName2 + QStringLiteral(".acs"));
    characterset();
}

void ClockCharacters::characterset()
{
    const int run = ++m_charactersetRun;
    m_charName1 = store::value(keys::Data, keys::LastCharacter, defaultName1());
    m_charName2 = store::value(keys::Data, keys::LastCharacter2, defaultName2());

    m_char1 = m_agent1->characters().character(m_charName1);
    if (m_char1) {
        registerCommands(*m_char1, CharacterSlot::One);
        applySoundEffects(*m_char1, keys::effects1);
        m_char1->show(false);
        m_char1->commands().setCaption(QStringLiteral("Chimewell Character 1"));
        m_char1->commands().setVisible(true);
    }

    const int hour = Clock::current().toString(QStringLiteral("hh:mm:ss")).left(2).toInt();
    say(rules::greeting(hour) + store::value(keys::Data, keys::UserName, QStringLiteral("Nobody")), CharacterSlot::One);

    if (m_char1) {
        sendHome(*m_char1, CharacterSlot::One);
        if (store::value(keys::Data, keys::charhide) == QLatin1String("True"))
            m_char1->hide(false);
    }

    // Character 2 comes on once character 1 has had its say.
    QPointer<ClockCharacters> self(this);
    if (!pause(8) || !self || run != m_charactersetRun)
        return; // ending, gone, or a newer characterset (a character change) has taken over

    m_char2 = m_agent2->characters().character(m_charName2);
    if (m_char2) {
        registerCommands(*m_char2, CharacterSlot::Two);
        applySoundEffects(*m_char2, keys::effects2);
        m_char2->show(false);
        m_char2->commands().setCaption(QStringLiteral("Chimewell Character 2"));
        m_char2->commands().setVisible(true);
    }

    say(store::value(keys::Data, keys::StartupMessage, QStringLiteral("Welcome to Chimewell")), CharacterSlot::Two);

    if (m_char2) {
        sendHome(*m_char2, CharacterSlot::Two);
        if (store::value(keys::Data, keys::charhide2) == QLatin1String("True"))
            m_char2->hide(false);
    }
}

} // namespace chimewell::characters
