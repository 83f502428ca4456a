#include "common/keygrab.h"

#include <QAbstractNativeEventFilter>
#include <QChar>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>

#include <xcb/xcb.h>

#include <cstdlib>

namespace chimewell {

namespace {

constexpr int kReleaseMs = 60; // a release followed this soon by a press is the key repeating
// Caps Lock and Num Lock (Mod2 on every usual layout) change nothing.
constexpr quint16 kLockMasks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr quint16 kModifierMask =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;

quint32 specialKeysym(int key)
{
    static const QHash<int, quint32> syms = {
        {Qt::Key_Escape, 0xff1b},
        {Qt::Key_Tab, 0xff09},
        {Qt::Key_Backtab, 0xff09},
        {Qt::Key_Backspace, 0xff08},
        {Qt::Key_Return, 0xff0d},
        {Qt::Key_Enter, 0xff8d},
        {Qt::Key_Insert, 0xff63},
        {Qt::Key_Delete, 0xffff},
        {Qt::Key_Pause, 0xff13},
        {Qt::Key_Print, 0xff61},
        {Qt::Key_SysReq, 0xff15},
        {Qt::Key_Home, 0xff50},
        {Qt::Key_End, 0xff57},
        {Qt::Key_Left, 0xff51},
        {Qt::Key_Up, 0xff52},
        {Qt::Key_Right, 0xff53},
        {Qt::Key_Down, 0xff54},
        {Qt::Key_PageUp, 0xff55},
        {Qt::Key_PageDown, 0xff56},
        {Qt::Key_ScrollLock, 0xff14},
        {Qt::Key_Menu, 0xff67},
        {Qt::Key_Help, 0xff6a},
        {Qt::Key_VolumeDown, 0x1008ff11},
        {Qt::Key_VolumeMute, 0x1008ff12},
        {Qt::Key_VolumeUp, 0x1008ff13},
        {Qt::Key_MediaPlay, 0x1008ff14},
        {Qt::Key_MediaStop, 0x1008ff15},
        {Qt::Key_MediaPrevious, 0x1008ff16},
        {Qt::Key_MediaNext, 0x1008ff17},
        {Qt::Key_MediaPause, 0x1008ff31},
    };
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return 0xffbe + quint32(key - Qt::Key_F1);
    return syms.value(key, 0);
}

bool typesNoText(int key)
{
    switch (key) {
    case Qt::Key_Pause:
    case Qt::Key_Print:
    case Qt::Key_SysReq:
    case Qt::Key_ScrollLock:
    case Qt::Key_Help:
    case Qt::Key_VolumeDown:
    case Qt::Key_VolumeMute:
    case Qt::Key_VolumeUp:
    case Qt::Key_MediaPlay:
    case Qt::Key_MediaStop:
    case Qt::Key_MediaPrevious:
    case Qt::Key_MediaNext:
    case Qt::Key_MediaPause:
        return true;
    default:
        return key >= Qt::Key_F1 && key <= Qt::Key_F35;
    }
}

xcb_connection_t *qtConnection()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_keycode_t keycodeFor(xcb_connection_t *c, const xcb_setup_t *setup, xcb_keysym_t sym)
{
    const uint8_t first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t *reply =
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, uint8_t(count)), nullptr);
    if (!reply)
        return 0;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int per = reply->keysyms_per_keycode;
    const int total = xcb_get_keyboard_mapping_keysyms_length(reply);
    xcb_keycode_t code = 0;
    for (int i = 0; per > 0 && i < total && !code; ++i)
        if (syms[i] == sym)
            code = xcb_keycode_t(first + i / per);
    std::free(reply);
    return code;
}

void ungrabOn(xcb_connection_t *c, xcb_window_t root, xcb_keycode_t code, quint16 modifiers)
{
    for (quint16 locks : kLockMasks)
        xcb_ungrab_key(c, code, root, quint16(modifiers | locks));
    xcb_flush(c);
}

} // namespace

X11Key x11Key(QKeyCombination combination)
{
    const int key = combination.key();
    quint32 sym = specialKeysym(key);
    // Qt names a character's key by the character, upper case for letters;
    // X's keysyms for Latin-1 are the characters, and a key's first is the
    // small letter.
    if (!sym && key >= 0x20 && key <= 0xff)
        sym = QChar(key).toLower().unicode();
    if (!sym)
        return {};
    const Qt::KeyboardModifiers m = combination.keyboardModifiers();
    quint16 mods = 0;
    if (m & Qt::ShiftModifier)
        mods |= XCB_MOD_MASK_SHIFT;
    if (m & Qt::ControlModifier)
        mods |= XCB_MOD_MASK_CONTROL;
    if (m & Qt::AltModifier)
        mods |= XCB_MOD_MASK_1;
    if (m & Qt::MetaModifier)
        mods |= XCB_MOD_MASK_4;
    return {sym, mods};
}

bool isGlobalKeyCandidate(QKeyCombination combination)
{
    if (x11Key(combination).isNull())
        return false;
    if (combination.keyboardModifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return true;
    return typesNoText(combination.key());
}

bool globalKeysReachEverywhere()
{
    return !qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
           qEnvironmentVariable("XDG_SESSION_TYPE") != QLatin1String("wayland");
}

class KeyGrab::Filter final : public QAbstractNativeEventFilter
{
public:
    explicit Filter(KeyGrab &grab) : m_grab(grab) {}

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t" || !m_grab.m_code)
            return false;
        auto *event = static_cast<xcb_generic_event_t *>(message);
        const uint8_t kind = event->response_type & 0x7f;
        if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE)
            return false;
        auto *key = reinterpret_cast<xcb_key_press_event_t *>(event);
        if (key->detail != m_grab.m_code || key->event != m_grab.m_root)
            return false;
        const bool press = kind == XCB_KEY_PRESS;
        // Once down, the key is ours whatever else is held; before that, the
        // same key with other modifiers may be another grab's.
        if (!m_grab.m_down && (!press || (key->state & kModifierMask) != m_grab.m_key.modifiers))
            return false;
        m_grab.keyEvent(press);
        return true;
    }

private:
    KeyGrab &m_grab;
};

KeyGrab::KeyGrab(QObject *parent) : QObject(parent), m_filter(new Filter(*this))
{
    m_releaseTimer.setSingleShot(true);
    m_releaseTimer.setInterval(kReleaseMs);
    connect(&m_releaseTimer, &QTimer::timeout, this, [this] {
        m_down = false;
        Q_EMIT released();
    });
}

KeyGrab::~KeyGrab()
{
    ungrab();
    delete m_filter;
}

KeyGrab::Result KeyGrab::grab(X11Key key)
{
    ungrab();
    xcb_connection_t *c = qtConnection();
    if (!c)
        return Result::NoX11;
    const xcb_setup_t *setup = xcb_get_setup(c);
    const xcb_screen_t *screen = setup ? xcb_setup_roots_iterator(setup).data : nullptr;
    if (!screen)
        return Result::NoX11;
    const xcb_keycode_t code = key.isNull() ? 0 : keycodeFor(c, setup, key.keysym);
    if (code == 0)
        return Result::NotOnKeyboard;
    for (quint16 locks : kLockMasks) {
        // Not owner_events: while the key is down, its release comes to the
        // root window too, not to one of our windows that has the focus.
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(c, 0, screen->root, quint16(key.modifiers | locks), code,
                                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t *e = xcb_request_check(c, cookie)) {
            std::free(e);
            // The variants held so far go too: half a key is no key.
            ungrabOn(c, screen->root, code, key.modifiers);
            return Result::Taken;
        }
    }
    m_connection = c;
    m_root = screen->root;
    m_code = code;
    m_key = key;
    QCoreApplication::instance()->installNativeEventFilter(m_filter);
    return Result::Grabbed;
}

void KeyGrab::ungrab()
{
    m_releaseTimer.stop();
    m_down = false;
    if (!m_connection)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(m_filter);
    // Qt's connection is gone with the application; the server dropped the grab then.
    if (qtConnection() == m_connection)
        ungrabOn(static_cast<xcb_connection_t *>(m_connection), m_root, m_code, m_key.modifiers);
    m_connection = nullptr;
    m_code = 0;
}

void KeyGrab::keyEvent(bool press)
{
    if (!press) {
        m_releaseTimer.start();
        return;
    }
    if (m_releaseTimer.isActive()) {
        m_releaseTimer.stop(); // the key repeats: it is still held
        return;
    }
    if (m_down)
        return;
    m_down = true;
    Q_EMIT pressed();
}

} // namespace chimewell
