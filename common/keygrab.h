#pragma once

#include <QKeyCombination>
#include <QObject>
#include <QTimer>

namespace chimewell {

// A key as the X server names it: a keysym and the modifiers held with it
// (X's masks: Shift 1, Control 4, Mod1 = Alt 8, Mod4 = the logo key 64).
struct X11Key
{
    quint32 keysym = 0;
    quint16 modifiers = 0;
    bool isNull() const { return keysym == 0; }
    bool operator==(const X11Key &o) const { return keysym == o.keysym && modifiers == o.modifiers; }
};

// The X key of a combination as Qt reports it (Ctrl+Alt+T, Meta+F5); null for
// a modifier alone or a key without a keysym here.
X11Key x11Key(QKeyCombination combination);
// Whether a combination may be taken from every other program for the whole
// session: one with Ctrl, Alt or the logo key, or a key that types no text
// (F1 to F35, Pause, Print, Scroll Lock, the media keys).
bool isGlobalKeyCandidate(QKeyCombination combination);
// False on a Wayland desktop, where a key held on XWayland's X server reaches
// us only while one of our own windows has the focus.
bool globalKeysReachEverywhere();

// Holds one key on the X server for this program, so that it is reported
// pressed and released whichever window has the focus, Caps Lock and Num Lock
// on or off. The key repeating while held is no new press. Only under X11
// (Qt's xcb platform); elsewhere grab() says NoX11.
class KeyGrab final : public QObject
{
    Q_OBJECT
public:
    enum class Result { Grabbed, NoX11, NotOnKeyboard, Taken };

    explicit KeyGrab(QObject *parent = nullptr);
    ~KeyGrab() override;

    // Lets go of the key held so far and grabs `key`.
    Result grab(X11Key key);
    void ungrab();
    bool isGrabbed() const { return m_code != 0; }
    // The key held, if any.
    X11Key key() const { return isGrabbed() ? m_key : X11Key(); }

Q_SIGNALS:
    void pressed();
    void released();

private:
    class Filter;
    void keyEvent(bool press);

    Filter *m_filter = nullptr;
    void *m_connection = nullptr; // xcb_connection_t, Qt's own
    quint32 m_root = 0;
    quint8 m_code = 0;
    X11Key m_key;
    bool m_down = false;
    QTimer m_releaseTimer;
};

} // namespace chimewell
