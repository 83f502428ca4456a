#include "common/dialogs.h"

#include "common/log.h"
#include "common/screenarea.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QCursor>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <utility>
#include <optional>
#include <utility>

namespace chimewell::dialogs {

namespace {

std::optional<QMessageBox::StandardButton> g_nextAnswer;
std::optional<QString> g_nextFile;
std::optional<QColor> g_nextColour;
QStringList g_shown;

const char kPlaced[] = "chimewell_placed";
const char kOpenedAt[] = "chimewell_opened_at";
// How long after it opens a question box takes the keyboard back from another program's new window.
constexpr qint64 kRegainMs = 3000;

// Milliseconds on a steady clock: a moment of the screen, not of the user's day.
qint64 sinceStart()
{
    static QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

bool staysOnTop(const QWidget *w)
{
    if (w->windowFlags() & Qt::WindowStaysOnTopHint)
        return true;
    const QWindow *handle = w->windowHandle();
    return handle && (handle->flags() & Qt::WindowStaysOnTopHint);
}

// A window with a title bar that the window manager places: a dialog, a
// question box, the about box, a file or colour dialog. The program's own
// frameless windows keep the places they choose themselves.
bool isBox(const QWidget *w)
{
    if (!w->isWindow() || (w->windowFlags() & (Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)))
        return false;
    const Qt::WindowType type = w->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

// What keeps the program's boxes in full view: windows that stay above the
// others (the characters, their balloons, the comic show's button), but no
// menu, tool tip or a window that covers the screen outright.
bool isObstacle(const QWidget *w)
{
    if (!w->isWindow() || !w->isVisible() || isBox(w) || !staysOnTop(w))
        return false;
    const Qt::WindowType type = w->windowType();
    return type != Qt::Popup && type != Qt::ToolTip && !(w->windowFlags() & Qt::X11BypassWindowManagerHint);
}

// A character: on top, never taking the focus, taking clicks (its balloon lets them through).
bool isCharacter(const QWidget *w)
{
    const Qt::WindowFlags f = w->windowFlags();
    return (f & Qt::WindowDoesNotAcceptFocus) && !(f & Qt::WindowTransparentForInput);
}

QList<QWidget *> obstacles()
{
    QList<QWidget *> out;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (isObstacle(w))
            out << w;
    }
    return out;
}

// Opens each box on the monitor of the window that opened it (or under the
// pointer), inside that monitor's available area and clear of the characters
// and the room their balloons take; where no such place is left, the box is
// stacked above them. Later, a character that comes over an open box puts
// that box above the characters until it has gone again, so a box is always
// read and answered in full. Question boxes take the keyboard focus, and
// Enter presses a focused button, as on the rest of the desktop.
class WindowCare final : public QObject
{
public:
    explicit WindowCare(QObject *parent) : QObject(parent)
    {
        m_restack.setSingleShot(true);
        m_restack.setInterval(0);
        QObject::connect(&m_restack, &QTimer::timeout, this, [this] { restack(); });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Show:
            if (watched->isWidgetType())
                shown(static_cast<QWidget *>(watched));
            break;
        case QEvent::Move:
        case QEvent::Hide:
            if (watched->isWidgetType() && !m_boxes.isEmpty()) {
                auto *w = static_cast<QWidget *>(watched);
                if (w->isWindow() && !isBox(w) && staysOnTop(w))
                    m_restack.start();
            }
            break;
        case QEvent::WindowDeactivate:
            if (watched->isWidgetType())
                deactivated(static_cast<QWidget *>(watched));
            break;
        case QEvent::KeyPress:
            return pressFocusedButton(watched, static_cast<QKeyEvent *>(event));
        default:
            break;
        }
        return false;
    }

private:
    void shown(QWidget *w)
    {
        if (!w->isWindow())
            return;
        if (!w->objectName().isEmpty() && !qobject_cast<QMessageBox *>(w))
            qCInfo(lcUi).noquote() << "show" << w->objectName();
        nameComboParts(w);
        if (isBox(w) && !w->testAttribute(Qt::WA_DontShowOnScreen)) {
            if (!w->property(kPlaced).toBool()) {
                w->setProperty(kPlaced, true);
                // A place the program chose itself stays.
                if (!w->testAttribute(Qt::WA_Moved))
                    place(w);
            }
            track(w);
            // The answer is wanted now: the box takes the keyboard, whichever
            // window had it, and takes it back once from a window that comes
            // up just after it (an add-on started a moment before asks for it too).
            if (w->isModal()) {
                w->setProperty(kOpenedAt, sinceStart());
                activateSoon(w);
            }
        } else if (!m_boxes.isEmpty() && isObstacle(w)) {
            // A character or balloon that comes up raises itself: an open
            // box it covers goes back above it.
            m_raiseCovered = true;
            m_restack.start();
        }
    }

    // A combo box's own editor and list carry no name of their own: a
    // screen reader that enters them says the box's name instead of nothing.
    static void nameComboParts(QWidget *window)
    {
        for (QComboBox *combo : window->findChildren<QComboBox *>()) {
            QAccessibleInterface *self = QAccessible::queryAccessibleInterface(combo);
            const QString name = self ? self->text(QAccessible::Name) : QString();
            if (name.isEmpty())
                continue;
            if (QLineEdit *editor = combo->lineEdit(); editor && editor->accessibleName().isEmpty())
                editor->setAccessibleName(name);
            if (QAbstractItemView *list = combo->view(); list && list->accessibleName().isEmpty())
                list->setAccessibleName(name);
        }
    }

    static void activateSoon(QWidget *box)
    {
        QTimer::singleShot(0, box, [box] {
            box->raise();
            box->activateWindow();
        });
    }

    static void deactivated(QWidget *box)
    {
        const QVariant opened = box->property(kOpenedAt);
        if (!opened.isValid() || !box->isVisible() || QApplication::activeWindow())
            return;
        box->setProperty(kOpenedAt, QVariant());
        if (sinceStart() - opened.toLongLong() < kRegainMs)
            activateSoon(box);
    }

    void place(QWidget *box)
    {
        QWidget *opener = box->parentWidget() ? box->parentWidget()->window() : nullptr;
        const bool byOpener = opener && opener->isVisible();
        const QRect openerRect = byOpener ? opener->frameGeometry() : QRect(QCursor::pos(), QSize(1, 1));
        const QRect area = screenarea::availableAreaFor(openerRect);
        if (area.isEmpty())
            return;
        const QMargins frame = screenarea::kFrameAllowance;
        // Qt sizes a new window to at most part of its screen; a box the program
        // has not sized itself gets all it asks for that the area has room for.
        const QSize room = area.size().shrunkBy(frame);
        QSize size = box->size();
        if (!box->testAttribute(Qt::WA_Resized))
            size = size.expandedTo(box->sizeHint());
        size = size.boundedTo(room).expandedTo(box->minimumSize());
        if (size != box->size())
            box->resize(size);
        const QSize outer = box->size().grownBy(frame);
        const QPoint centre = byOpener ? openerRect.center() : area.center();
        const QPoint preferred = centre - QPoint(outer.width() / 2, outer.height() / 2);

        // Clear of the characters and the room their balloons take; on a
        // crowded screen clear of the characters alone (a balloon that comes
        // over the box later goes under it).
        QList<QRect> windows;
        QList<QRect> rooms;
        for (const QWidget *o : obstacles()) {
            windows << o->frameGeometry();
            rooms << (isCharacter(o) ? screenarea::speakingRoom(o->frameGeometry(), area) : o->frameGeometry());
        }
        std::optional<QRect> clear = screenarea::clearPlace(outer, preferred, area, rooms);
        if (!clear)
            clear = screenarea::clearPlace(outer, preferred, area, windows);
        box->move(clear ? clear->topLeft() : screenarea::keptInside(QRect(preferred, outer), area).topLeft());
        if (!clear)
            setAbove(box, true);
    }

    void track(QWidget *box)
    {
        for (const QPointer<QWidget> &b : std::as_const(m_boxes)) {
            if (b == box)
                return;
        }
        m_boxes << box;
    }

    static void setAbove(QWidget *box, bool above)
    {
        if (QWindow *handle = box->windowHandle())
            handle->setFlag(Qt::WindowStaysOnTopHint, above);
    }

    void restack()
    {
        const bool raiseCovered = std::exchange(m_raiseCovered, false);
        m_boxes.removeAll(nullptr);
        QList<QRect> taken;
        for (const QWidget *o : obstacles())
            taken << o->frameGeometry();
        for (const QPointer<QWidget> &box : std::as_const(m_boxes)) {
            if (!box->isVisible())
                continue;
            const QRect at = box->frameGeometry();
            const bool covered =
                std::any_of(taken.begin(), taken.end(), [&](const QRect &r) { return r.intersects(at); });
            const bool wasAbove = staysOnTop(box);
            if (covered != wasAbove)
                setAbove(box, covered);
            if (covered && (!wasAbove || raiseCovered))
                box->raise();
        }
    }

    static bool pressFocusedButton(QObject *watched, QKeyEvent *key)
    {
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || key->isAutoRepeat())
            return false;
        auto *button = qobject_cast<QPushButton *>(watched);
        // A default button, or one that may become it, answers Enter itself.
        if (!button || !button->hasFocus() || button->autoDefault() || button->isDefault() || !button->isEnabled())
            return false;
        button->animateClick();
        return true;
    }

    QList<QPointer<QWidget>> m_boxes;
    QTimer m_restack;
    bool m_raiseCovered = false;
};

} // namespace

QMessageBox::StandardButton message(QWidget *parent, const QString &title, const QString &text,
                                    QMessageBox::StandardButtons buttons, QMessageBox::Icon icon)
{
    qCInfo(lcUi).noquote() << QStringLiteral("message \"%1\" %2").arg(title, text);
    g_shown << title + QLatin1Char('\n') + text;
    if (g_nextAnswer) {
        const auto answer = *g_nextAnswer;
        g_nextAnswer.reset();
        return answer;
    }
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return QMessageBox::NoButton;
    QMessageBox box(icon, title, text, buttons, parent);
    box.setObjectName(QStringLiteral("message_box"));
    // A message box works out its size as it is shown: a first showing that
    // never reaches the screen gives it that size, so it can be placed whole.
    box.setAttribute(Qt::WA_DontShowOnScreen);
    box.show();
    box.hide();
    box.setAttribute(Qt::WA_DontShowOnScreen, false);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void inform(QWidget *parent, const QString &title, const QString &text)
{
    qCInfo(lcUi).noquote() << QStringLiteral("message \"%1\" %2").arg(title, text);
    g_shown << title + QLatin1Char('\n') + text;
    if (std::exchange(g_nextAnswer, std::nullopt) || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    auto *box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("message_box"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

bool ask(QWidget *parent, const QString &title, const QString &text)
{
    return message(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) == QMessageBox::Yes;
}

QString openFile(QWidget *parent, const QString &caption, const QString &folder, const QString &filter)
{
    if (g_nextFile) {
        const QString f = *g_nextFile;
        g_nextFile.reset();
        return f;
    }
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

QColor chooseColour(QWidget *parent, const QColor &initial)
{
    if (g_nextColour) {
        const QColor c = *g_nextColour;
        g_nextColour.reset();
        return c;
    }
    return QColorDialog::getColor(initial, parent);
}

void setNextAnswer(QMessageBox::StandardButton answer) { g_nextAnswer = answer; }
void setNextFile(const QString &path) { g_nextFile = path; }
void setNextColour(const QColor &colour) { g_nextColour = colour; }

QStringList takeShownMessages()
{
    QStringList s;
    s.swap(g_shown);
    return s;
}

void installShowLog()
{
    if (auto *app = QCoreApplication::instance())
        app->installEventFilter(new WindowCare(app));
}

} // namespace chimewell::dialogs
