// Spoken commands in the character service: the listening key, the "Listen" entries,
// the tip that says what is going on, and the way from what was heard to the
// character's Command event. Recognition itself runs in listen/, off this thread.
#include "agent/agent_p.h"

#include "agent/characterwindow.h"
#include "common/backgroundwork.h"
#include "common/log.h"
#include "listen/recognizer.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <xcb/xcb.h>

#include <memory>

namespace chimewell::agent {

namespace {

constexpr int kHeardMs = 2500;       // how long "Heard: ..." and the like stay
constexpr int kUnavailableMs = 5000; // and the message that listening cannot work
constexpr int kGrammarDelayMs = 300; // commands come in bursts: the grammar is made once they settle
constexpr int kReleaseMs = 60;       // a key release followed this soon by a press is the key repeating

QString ownerKey(const AgentControl *control, const QString &id)
{
    return QString::number(quintptr(control), 16) + QLatin1Char('/') + id;
}

// Holds the listening key on the X server for this program and reports it pressed and
// released. Only under X11 (Qt's xcb platform); elsewhere the key simply does nothing.
class KeyGrab final : public QAbstractNativeEventFilter
{
public:
    std::function<void()> pressed;
    std::function<void()> released;

    ~KeyGrab() override { ungrab(); }

    // Grabs `keyName` (an X key name); false, with the reason logged, when it cannot.
    bool grab(const QString &keyName)
    {
        ungrab();
        auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        xcb_connection_t *c = x11 ? x11->connection() : nullptr;
        if (!c)
            return false;
        const xcb_setup_t *setup = xcb_get_setup(c);
        const xcb_screen_t *screen = setup ? xcb_setup_roots_iterator(setup).data : nullptr;
        if (!screen)
            return false;
        const xcb_keycode_t code = keycodeFor(c, setup, keysymFor(keyName));
        if (code == 0) {
            qCWarning(lcListen, "the listening key %s is not on this keyboard", qUtf8Printable(keyName));
            return false;
        }
        // With Caps Lock and Num Lock on or off alike.
        for (uint16_t mods : {uint16_t(0), uint16_t(XCB_MOD_MASK_LOCK), uint16_t(XCB_MOD_MASK_2),
                              uint16_t(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2)}) {
            const xcb_void_cookie_t cookie = xcb_grab_key_checked(c, 1, screen->root, mods, code,
                                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            if (xcb_generic_error_t *e = xcb_request_check(c, cookie)) {
                qCWarning(lcListen, "the listening key %s is taken by another program (X error %d)",
                          qUtf8Printable(keyName), int(e->error_code));
                free(e);
                ungrabOn(c, screen->root, code);
                return false;
            }
        }
        m_connection = c;
        m_root = screen->root;
        m_code = code;
        QCoreApplication::instance()->installNativeEventFilter(this);
        return true;
    }

    void ungrab()
    {
        if (!m_connection)
            return;
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
        ungrabOn(m_connection, m_root, m_code);
        m_connection = nullptr;
        m_code = 0;
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t" || !m_code)
            return false;
        auto *event = static_cast<xcb_generic_event_t *>(message);
        const uint8_t kind = event->response_type & 0x7f;
        if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE)
            return false;
        auto *key = reinterpret_cast<xcb_key_press_event_t *>(event);
        if (key->detail != m_code || key->event != m_root)
            return false;
        if (kind == XCB_KEY_PRESS) {
            if (pressed)
                pressed();
        } else if (released) {
            released();
        }
        return true;
    }

private:
    static void ungrabOn(xcb_connection_t *c, xcb_window_t root, xcb_keycode_t code)
    {
        xcb_ungrab_key(c, code, root, XCB_MOD_MASK_ANY);
        xcb_flush(c);
    }

    static xcb_keysym_t keysymFor(const QString &name)
    {
        // The keys offered in the options window.
        static const QHash<QString, xcb_keysym_t> syms = {
            {QStringLiteral("Scroll_Lock"), 0xff14}, {QStringLiteral("Pause"), 0xff13},
            {QStringLiteral("F9"), 0xffc6},          {QStringLiteral("F10"), 0xffc7},
            {QStringLiteral("F11"), 0xffc8},         {QStringLiteral("F12"), 0xffc9},
            {QStringLiteral("Menu"), 0xff67},        {QStringLiteral("Control_R"), 0xffe4},
            {QStringLiteral("Insert"), 0xff63},
        };
        return syms.value(name, 0);
    }

    static xcb_keycode_t keycodeFor(xcb_connection_t *c, const xcb_setup_t *setup, xcb_keysym_t sym)
    {
        if (!sym)
            return 0;
        const uint8_t first = setup->min_keycode;
        const int count = setup->max_keycode - setup->min_keycode + 1;
        xcb_get_keyboard_mapping_reply_t *reply
            = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, uint8_t(count)), nullptr);
        if (!reply)
            return 0;
        const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
        const int per = reply->keysyms_per_keycode;
        const int total = xcb_get_keyboard_mapping_keysyms_length(reply);
        xcb_keycode_t code = 0;
        for (int i = 0; i < total && !code; ++i)
            if (syms[i] == sym && per > 0)
                code = xcb_keycode_t(first + i / per);
        free(reply);
        return code;
    }

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
    xcb_keycode_t m_code = 0;
};

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
        m_grab.grab(Options::instance().listeningKey());
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
        m_releaseTimer.setSingleShot(true);
        connect(&m_releaseTimer, &QTimer::timeout, this, [this] { stop(); });
        connect(&m_recognizer, &listen::Recognizer::heard, this, &Listening::heard);
        connect(&m_recognizer, &listen::Recognizer::unavailable, this, &Listening::unavailable);
        connect(&m_recognizer, &listen::Recognizer::grammarProblems, this, [](const QStringList &problems) {
            for (const QString &p : problems)
                qCWarning(lcListen, "cannot listen for %s", qUtf8Printable(p));
        });
        m_grab.pressed = [this] {
            if (m_releaseTimer.isActive()) {
                m_releaseTimer.stop(); // the key repeats: it is still held
                return;
            }
            listen(keyListener(), false);
        };
        m_grab.released = [this] { m_releaseTimer.start(kReleaseMs); };
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
    QTimer m_releaseTimer;
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
