#include "agent/agent_p.h"
#include "agent/balloon.h"
#include "agent/characterwindow.h"

#include "common/log.h"
#include "common/platform.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace chimewell::agent {

// --- Commands ----------------------------------------------------------------

bool Commands::add(const QString &name, const QString &caption, const QString &voice, bool enabled, bool visible)
{
    if (name.isEmpty())
        return false;
    for (const Command &c : std::as_const(m_items)) {
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return false;
    }
    m_items.append(Command{name, caption, voice, enabled, visible});
    service::refreshCommandsWindow();
    return true;
}

bool Commands::remove(const QString &name)
{
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).name.compare(name, Qt::CaseInsensitive) == 0) {
            m_items.removeAt(i);
            service::refreshCommandsWindow();
            return true;
        }
    }
    return false;
}

void Commands::removeAll()
{
    m_items.clear();
    service::refreshCommandsWindow();
}

// --- Characters --------------------------------------------------------------

bool Characters::load(const QString &id, const QString &file)
{
    logRequest(id, QStringLiteral("Load ") + file);
    if (id.trimmed().isEmpty()) {
        qCWarning(lcAgent, "cannot load %s: the character id is empty", qUtf8Printable(file));
        return false;
    }
    if (character(id)) {
        qCWarning(lcAgent, "cannot load %s as %s: the id is already loaded", qUtf8Printable(file), qUtf8Printable(id));
        return false;
    }
    const QString path = AgentControl::findCharacterFile(file);
    if (path.isEmpty()) {
        qCWarning(lcAgent, "cannot load %s as %s: no such character file", qUtf8Printable(file), qUtf8Printable(id));
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    QString error;
    // Without a HiDPI screen the 2x pictures are not read at all: quicker, and smaller.
    const QList<QScreen *> screens = QGuiApplication::screens();
    ParseOptions options;
    options.hiDpi = std::any_of(screens.begin(), screens.end(), [](QScreen *s) { return s->devicePixelRatio() > 1.0; });
    // Each picture is read from the open file when first decoded: loading reads
    // only the manifest and the pictures' headers, and no compressed copy is held.
    options.lazy = true;
    const std::optional<CharacterData> data = loadCharacterFile(path, &error, options);
    if (!data) {
        qCWarning(lcAgent, "cannot load %s as %s: %s", qUtf8Printable(path), qUtf8Printable(id), qUtf8Printable(error));
        return false;
    }
    qCDebug(lcAgent, "loaded %s as %s in %lld ms", qUtf8Printable(path), qUtf8Printable(id),
            static_cast<long long>(clock.elapsed()));
    auto *c = new Character(m_control, id, *data);
    m_control->m_loaded.append(c);
    if (m_control->m_host)
        AgentControl::placeInHost(c, m_control->m_host, false);
    service::refreshCommandsWindow();
    return true;
}

bool Characters::unload(const QString &id)
{
    logRequest(id, QStringLiteral("Unload"));
    Character *c = character(id);
    if (!c)
        return false;
    m_control->m_loaded.removeAll(c);
    // An unload from one of the character's own signals must not pull the object
    // from under the code that is emitting: it goes when that code has returned.
    if (c->d->isEntered()) {
        c->d->markUnloaded();
        c->setParent(nullptr);
        c->deleteLater();
    } else {
        delete c;
    }
    service::refreshCommandsWindow();
    return true;
}

Character *Characters::character(const QString &id) const
{
    for (const QPointer<Character> &c : std::as_const(m_control->m_loaded)) {
        if (c && !c->d->m_unloaded && c->id().compare(id, Qt::CaseInsensitive) == 0)
            return c;
    }
    return nullptr;
}

QStringList Characters::ids() const
{
    QStringList out;
    for (const QPointer<Character> &c : std::as_const(m_control->m_loaded)) {
        if (c && !c->d->m_unloaded)
            out.append(c->id());
    }
    return out;
}

// --- PropertySheet -------------------------------------------------------------

void PropertySheet::setVisible(bool visible) { service::setOptionsVisible(visible); }
bool PropertySheet::isVisible() const { return service::optionsVisible(); }

// --- AgentControl --------------------------------------------------------------

AgentControl::AgentControl(QObject *parent) : QObject(parent)
{
    Options::instance(); // the stored options apply from the first character on
    service::registerControl(this);
}

AgentControl::~AgentControl()
{
    const QList<QPointer<Character>> loaded = m_loaded;
    m_loaded.clear();
    for (const QPointer<Character> &c : loaded)
        delete c.data();
    service::unregisterControl(this);
}

void AgentControl::showCommandsWindow() { service::showCommandsWindow(); }

QString AgentControl::findCharacterFile(const QString &file)
{
    // One lookup for the whole project: programs that check for a character
    // before loading it find exactly what Load finds.
    return platform::findCharacterFile(file);
}

QWidget *AgentControl::hostWidget() const { return m_host; }

void AgentControl::setHostWidget(QWidget *host)
{
    if (m_host == host)
        return;
    disconnect(m_hostGone);
    m_host = host;
    if (host) {
        // A widget tells of its end before it deletes its children, so the
        // characters leave in time and are never deleted twice.
        m_hostGone = connect(host, &QObject::destroyed, this, [this] {
            m_host = nullptr;
            for (const QPointer<Character> &c : std::as_const(m_loaded)) {
                if (c)
                    placeInHost(c, nullptr, false);
            }
        });
    }
    for (const QPointer<Character> &c : std::as_const(m_loaded)) {
        if (c)
            placeInHost(c, host, true);
    }
}

void AgentControl::placeInHost(Character *c, QWidget *host, bool keepPlace)
{
    CharacterPrivate *d = c->d;
    CharacterWindow *w = d->m_window.get();
    const QWidget *before = w->parentWidget();
    const QPoint onScreen = before && keepPlace ? before->mapToGlobal(w->pos()) : w->pos();
    w->setHost(host);
    d->m_balloon->setHost(host);
    QPoint place = onScreen;
    if (host) {
        const QRect area = host->rect();
        place = host->mapFromGlobal(onScreen);
        if (!keepPlace || !area.intersects(QRect(place, w->size())))
            place = QPoint(area.right() - w->width() - 40, area.bottom() - w->height() - 40);
    }
    d->moveWindow(place);
    if (d->m_visible)
        w->show();
}

} // namespace chimewell::agent
