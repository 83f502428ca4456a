// Spoken commands in the character service: the listening key, the "Listen" entries,
// the tip that says what is going on, and the way from what was heard to the
// character's Command event. Recognition itself runs in listen/, off this thread.
#include "agent/agent_p.h"

#include "agent/characterwindow.h"
#include "common/backgroundwork.h"
#include "common/keygrab.h"
#include "common/log.h"
#include "listen/recognizer.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace chimewell::agent {

namespace {

constexpr int kHeardMs = 2500;       // how long "Heard: ..." and the like stay
constexpr int kUnavailableMs = 5000; // and the message that listening cannot work
constexpr int kGrammarDelayMs = 300; // commands come in bursts: the grammar is made once they settle

QString ownerKey(const AgentControl *control, const QString &id)
{
    return QString::number(quintptr(control), 16) + QLatin1Char('/') + id;
}

// The keys offered in the options window, by their X names.
X11Key listeningKey(const QString &name)
{
    static const QHash<QString, quint32> syms = {
        {QStringLiteral("Scroll_Lock"), 0xff14}, {QStringLiteral("Pause"), 0xff13},
        {QStringLiteral("F9"), 0xffc6},          {QStringLiteral("F10"), 0xffc7},
        {QStringLiteral("F11"), 0xffc8},         {QStringLiteral("F12"), 0xffc9},
        {QStringLiteral("Menu"), 0xff67},        {QStringLiteral("Control_R"), 0xffe4},
        {QStringLiteral("Insert"), 0xff63},
    };
    return {syms.value(name, 0), 0};
}

class Listening final : public QObject
{
public:
    // Made on first use; gone, with the recogniser's thread, when the program
    // stops its background work, and not made again after that (nullptr then).
    static Listening *instance()
    {
        static QPointer<Listening> l;
        if (!l && !backgroundWorkStopped() && QCoreApplication::instance()) {
            l = new Listening(QCoreApplication::instance());
            onStopBackgroundWork([] { delete l.data(); });
        }
        return l;
    }

    void commandsChanged()
    {
        if (!m_grammarTimer.isActive())
            m_grammarTimer.start(kGrammarDelayMs);
    }

    void listen(Character *who, bool once)
    {
        if (!who || m_recognizer.isListening())
            return;
        if (m_grammarTimer.isActive()) {
            m_grammarTimer.stop();
            rebuildGrammar();
        }
        m_who = who;
        m_unavailable = false;
        CharacterPrivate::get(who)->setListening(true);
        showTip(who, QStringLiteral("Listening\u2026"), 0);
        m_recognizer.setMuted(anyCharacterSpeaking());
        m_recognizer.start(ownerKey(who->control(), who->id()), once);
    }

    void stop()
    {
        if (m_recognizer.isListening())
            m_recognizer.stop();
    }

    void speakingChanged() { m_recognizer.setMuted(anyCharacterSpeaking()); }

    void grabKey()
    {
        const QString name = Options::instance().listeningKey();
        switch (m_grab.grab(listeningKey(name))) {
        case KeyGrab::Result::NotOnKeyboard:
            qCWarning(lcListen, "the listening key %s is not on this keyboard", qUtf8Printable(name));
            break;
        case KeyGrab::Result::Taken:
            qCWarning(lcListen, "the listening key %s is taken by another program", qUtf8Printable(name));
            break;
        case KeyGrab::Result::Grabbed:
        case KeyGrab::Result::NoX11:
            break;
        }
    }

private:
    explicit Listening(QObject *parent) : QObject(parent)
    {
        m_grammarTimer.setSingleShot(true);
        connect(&m_grammarTimer, &QTimer::timeout, this, [this] { rebuildGrammar(); });
        m_tipTimer.setSingleShot(true);
        connect(&m_tipTimer, &QTimer::timeout, this, [this] {
            if (m_tip)
                m_tip->hide();
        });
        connect(&m_recognizer, &listen::Recognizer::heard, this, &Listening::heard);
        connect(&m_recognizer, &listen::Recognizer::unavailable, this, &Listening::unavailable);
        connect(&m_recognizer, &listen::Recognizer::grammarProblems, this, [](const QStringList &problems) {
            for (const QString &p : problems)
                qCWarning(lcListen, "cannot listen for %s", qUtf8Printable(p));
        });
        connect(&m_grab, &KeyGrab::pressed, this, [this] { listen(keyListener(), false); });
        connect(&m_grab, &KeyGrab::released, this, &Listening::stop);
        grabKey();
    }

    // Who listens when the key is held: the first visible character.
    static Character *keyListener()
    {
        for (AgentControl *control : service::controls()) {
            for (const QString &id : control->characters().ids()) {
                Character *c = control->characters().character(id);
                if (c && c->isVisible())
                    return c;
            }
        }
        return nullptr;
    }

    void rebuildGrammar()
    {
        QList<listen::Grammar::Entry> entries;
        m_targets.clear();
        for (AgentControl *control : service::controls()) {
            for (const QString &id : control->characters().ids()) {
                Character *c = control->characters().character(id);
                if (!c)
                    continue;
                for (const Commands::Command &cmd : c->commands().items()) {
                    if (!cmd.enabled || cmd.voice.trimmed().isEmpty())
                        continue;
                    entries.append({ownerKey(control, id), cmd.name, cmd.voice});
                    m_targets.append({QPointer<AgentControl>(control), id, cmd.name});
                }
            }
        }
        if (entries == m_entries)
            return;
        m_entries = entries;
        const listen::Grammar grammar(entries);
        if (!grammar.isEmpty())
            m_recognizer.setGrammar(grammar);
    }

    void heard(const listen::Heard &h, const QString &)
    {
        QPointer<Character> who = m_who;
        m_who = nullptr;
        if (who)
            CharacterPrivate::get(who)->setListening(false);
        if (m_unavailable) {
            m_unavailable = false;
            return;
        }
        qCDebug(lcListen, "confidence %.2f over %d frames", h.confidence, h.frames);
        if (h.entry < 0 || h.entry >= m_targets.size()) {
            qCInfo(lcListen, "not understood \"%s\"", qUtf8Printable(h.words));
            showTip(who, QStringLiteral("I didn't understand"), kHeardMs);
            return;
        }
        const Target t = m_targets.at(h.entry);
        Character *target = t.control ? t.control->characters().character(t.id) : nullptr;
        qCInfo(lcListen, "heard \"%s\" as %s %s", qUtf8Printable(h.words), qUtf8Printable(t.id), qUtf8Printable(t.name));
        showTip(target ? target : who.data(), QStringLiteral("Heard: ") + h.words, kHeardMs);
        if (!target)
            return;
        CharacterPrivate *d = CharacterPrivate::get(target);
        d->playHearing();
        // The same way as a menu choice: after the present handling is over.
        QMetaObject::invokeMethod(d, [d, name = t.name] { d->emitCommand(name); }, Qt::QueuedConnection);
    }

    void unavailable(const QString &reason, bool first)
    {
        m_unavailable = true;
        // Said once; later attempts end quietly (the microphone may come back meanwhile).
        if (first) {
            qCWarning(lcListen, "listening is unavailable: %s", qUtf8Printable(reason));
            showTip(m_who, QStringLiteral("Listening is unavailable: ") + reason, kUnavailableMs);
        } else if (m_tip) {
            m_tip->hide();
        }
    }

    // The small tip above the character (or above the screen's middle without one).
    void showTip(Character *near, const QString &text, int ms)
    {
        if (!m_tip) {
            m_tip = new QLabel;
            m_tip->setObjectName(QStringLiteral("agent_listen_tip"));
            m_tip->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
            m_tip->setAttribute(Qt::WA_ShowWithoutActivating);
            m_tip->setMargin(4);
            m_tip->setStyleSheet(QStringLiteral("QLabel { background: #ffffe1; color: black; border: 1px solid #767676; }"));
        }
        m_tip->setText(text);
        m_tip->adjustSize();
        QPoint at;
        CharacterPrivate *d = near ? CharacterPrivate::get(near) : nullptr;
        if (d && d->m_window && d->m_window->isVisible()) {
            const QRect frame(d->m_window->mapToGlobal(QPoint(0, 0)), d->m_window->size());
            at = QPoint(frame.center().x() - m_tip->width() / 2, frame.top() - m_tip->height() - 2);
        } else if (QScreen *s = QGuiApplication::primaryScreen()) {
            at = s->availableGeometry().center() - QPoint(m_tip->width() / 2, m_tip->height() / 2);
        }
        if (QScreen *s = QGuiApplication::screenAt(at); s || QGuiApplication::primaryScreen()) {
            const QRect area = (s ? s : QGuiApplication::primaryScreen())->availableGeometry();
            at.setX(qBound(area.left(), at.x(), qMax(area.left(), area.right() - m_tip->width())));
            at.setY(qBound(area.top(), at.y(), qMax(area.top(), area.bottom() - m_tip->height())));
        }
        m_tip->move(at);
        m_tip->show();
        m_tip->raise();
        if (ms > 0)
            m_tipTimer.start(ms);
        else
            m_tipTimer.stop();
    }

    struct Target
    {
        QPointer<AgentControl> control;
        QString id;
        QString name;
    };

    listen::Recognizer m_recognizer;
    KeyGrab m_grab;
    QTimer m_grammarTimer;
    QTimer m_tipTimer;
    QPointer<QLabel> m_tip;
    QPointer<Character> m_who;
    QList<listen::Grammar::Entry> m_entries;
    QList<Target> m_targets;
    bool m_unavailable = false;
};

} // namespace

namespace service {

void listen(Character *who, bool once)
{
    if (Listening *l = Listening::instance())
        l->listen(who, once);
}

void stopListening()
{
    if (Listening *l = Listening::instance())
        l->stop();
}

void commandsChanged()
{
    if (Listening *l = Listening::instance())
        l->commandsChanged();
}

void speakingChanged()
{
    if (Listening *l = Listening::instance())
        l->speakingChanged();
}

void listeningKeyChanged()
{
    if (Listening *l = Listening::instance())
        l->grabKey();
}

} // namespace service
} // namespace chimewell::agent
