// say and saytime: every spoken text of the clock passes through here.
#include "characters/clockcharacters.h"
#include "characters/clockwindow.h"
#include "characters/speechrules.h"

#include "common/clock.h"
#include "common/convert.h"
#include "common/pause.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QRegularExpression>

#include <array>

namespace chimewell::characters {

namespace rules {

QString timePhrase(int hour24, int minute)
{
    // A twelve-hour clock that keeps 0 and 12 as they are.
    const int h = hour24 > 12 ? hour24 - 12 : hour24;
    const QString hs = QString::number(h);
    const QString ms = QString::number(minute);
    if (minute == 0)
        return h == 0 ? QStringLiteral("the time is mindnight") : QStringLiteral("The time is ") + hs + QStringLiteral(" O clock ");
    if (minute == 1)
        return QStringLiteral("The time is ") + ms + QStringLiteral(" minute past ") + hs;
    if (minute < 30)
        return QStringLiteral("The time is ") + ms + QStringLiteral(" minutes past ") + hs;
    if (minute == 30)
        return QStringLiteral("The time is half past ") + hs;
    return QStringLiteral("the time is ") + hs + QLatin1Char(',') + ms;
}

bool isQuietHour(const QString &quietTime, int hour)
{
    static const QRegularExpression fourDigits(QStringLiteral("^[0-9]{4}$"));
    if (quietTime == QLatin1String("0000") || !fourDigits.match(quietTime).hasMatch())
        return false;
    const int from = quietTime.left(2).toInt();
    const int to = quietTime.mid(2, 2).toInt();
    if (to < from)
        return hour >= from || hour < to; // spans midnight
    if (to > from)
        return hour >= from && hour < to;
    return false;
}

QString greeting(int hour24)
{
    if (hour24 < 12)
        return QStringLiteral("good morning, ");
    if (hour24 < 17)
        return QStringLiteral("good afternoon, ");
    return QStringLiteral("good evening, ");
}

QString gesture(int index)
{
    static const std::array<const char *, 9> gestures = {
        "Congratulate", "Confused", "Decline", "DoMagic1", "Explain", "Greet", "LookDown", "Pleased", "Read",
    };
    if (index < 1 || index > int(gestures.size()))
        return QString();
    return QString::fromLatin1(gestures[std::size_t(index - 1)]);
}

} // namespace rules

void ClockCharacters::say(const QString &talk, const QString &who) { say(talk, slotFromWho(who)); }

void ClockCharacters::say(const QString &talk, CharacterSlot slot)
{
    m_whisperNow = rules::isQuietHour(store::value(keys::Data, keys::QuietTime, QStringLiteral("0000")),
                                      Clock::current().time().hour());

    agent::Character *c = slotCharacter(slot);
    const QString gesture = rules::gesture(m_gestureIndex);
    // One counter for both characters, so the gestures cycle whoever speaks.
    m_gestureIndex = m_gestureIndex >= 9 ? 1 : m_gestureIndex + 1;
    if (!c)
        return;

    c->stop();
    c->speak(QStringLiteral(" "));
    c->show(false);
    c->speak(m_whisperNow ? QStringLiteral("\\chr=\"Whisper\"\\") + talk : talk);
    c->play(gesture);

    // The two slots test their option differently, as the settings dialog
    // and older stores have always had it.
    const bool hide = slot == CharacterSlot::One
        ? store::value(keys::Data, keys::charhide, QStringLiteral("False")) == QLatin1String("True")
        : convert::toBoolean(store::value(keys::Data, keys::charhide2, QStringLiteral("False")));
    if (hide)
        c->hide(false);
}

void ClockCharacters::saytime()
{
    const QString now = Clock::current().toString(QStringLiteral("hh:mm:ss"));
    const int hour = now.left(2).toInt();
    const int minute = now.mid(3, 2).toInt();

    m_announcer = otherSlot(m_announcer);

    // A user who keeps the clock hidden still sees it while the time is said.
    const bool showClock = store::value(keys::Data, keys::minimise, QStringLiteral("False")) == QLatin1String("True");
    if (showClock) {
        ++m_clockShownForTime;
        m_window.setClockVisible(true);
    }

    say(rules::timePhrase(hour, minute), m_announcer);

    if (showClock) {
        QPointer<ClockCharacters> self(this);
        if (!pause(4) || !self)
            return;
        // Only the last of overlapping announcements hides it again, and not
        // when the user brought the clock back meanwhile.
        if (--m_clockShownForTime == 0
            && store::value(keys::Data, keys::minimise, QStringLiteral("False")) == QLatin1String("True"))
            m_window.setClockVisible(false);
    }
}

} // namespace chimewell::characters
