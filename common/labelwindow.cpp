#include "common/labelwindow.h"

#include "common/backgroundwork.h"
#include "common/log.h"
#include "common/screenarea.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"
#include "common/windowmanager.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace chimewell {

// Stores the window's place off the UI thread, at most every kInterval ms
// while a drag goes on and once more when it ends, so a slow disk never holds
// up the pointer and a crash in mid-drag loses only the last moments of it.
// One write at a time: while one waits for the disk, later places only
// replace the one to write next, so a slow disk never builds up a queue of
// stale places behind it.
class LabelWindow::PlaceWriter final
{
public:
    static constexpr int kInterval = 200;

    explicit PlaceWriter(PlaceKeys keys) : m_keys(keys)
    {
        m_pool.setMaxThreadCount(1);
        m_timer.setSingleShot(true);
        m_timer.setInterval(kInterval);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { write(); });
        // A program that ends without closing its windows (the X server gone)
        // still writes the last place and joins the writer first.
        onStopBackgroundWork([alive = QPointer<QTimer>(&m_timer), this] {
            if (alive)
                flush();
        });
    }
    ~PlaceWriter() { flush(); }

    void schedule(const QPoint &twips)
    {
        m_pending = twips;
        m_dirty = true;
        if (!m_timer.isActive())
            m_timer.start();
    }
    void write()
    {
        m_timer.stop();
        // A write under way picks up the latest place when it is done.
        if (!m_dirty || m_busy)
            return;
        m_dirty = false;
        m_busy = true;
        const PlaceKeys keys = m_keys;
        const QPoint p = m_pending;
        m_pool.start([this, keys, p] {
            store::setValue(QLatin1String(keys::Data), QLatin1String(keys.left), QString::number(p.x()));
            store::setValue(QLatin1String(keys::Data), QLatin1String(keys.top), QString::number(p.y()));
            QMetaObject::invokeMethod(&m_timer, [this] { written(); }, Qt::QueuedConnection);
        });
    }
    void flush()
    {
        m_pool.waitForDone();
        m_busy = false;
        write();
        m_pool.waitForDone();
        m_busy = false;
    }

private:
    void written()
    {
        m_busy = false;
        write();
    }

    PlaceKeys m_keys;
    QThreadPool m_pool;
    QTimer m_timer;
    QPoint m_pending;
    bool m_dirty = false;
    bool m_busy = false;
};

LabelWindow::LabelWindow(const QString &formName, const QString &labelName, PlaceKeys keys, QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint)
    , m_label(new QLabel(this))
    , m_keys(keys)
    , m_writer(std::make_unique<PlaceWriter>(keys))
{
    setObjectName(formName);
    setWindowTitle(QStringLiteral("Chimewell"));
    m_label->setObjectName(labelName);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setAutoFillBackground(true);
    m_label->installEventFilter(this);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &LabelWindow::screenGone);
}

LabelWindow::~LabelWindow() = default;

int LabelWindow::toPixels(double twips)
{
    // Far beyond any desktop, and still a whole number of pixels.
    constexpr double kFar = 1 << 24;
    return int(std::lround(std::clamp(twips / kTwipsPerPixel, -kFar, kFar)));
}

void LabelWindow::setColours(const QColor &fore, const QColor &back)
{
    QPalette pal = m_label->palette();
    pal.setColor(QPalette::WindowText, fore);
    pal.setColor(QPalette::Window, back);
    m_label->setPalette(pal);
}

void LabelWindow::moveToTwips(double left, double top) { move(toPixels(left), toPixels(top)); }

void LabelWindow::keepInView()
{
    move(screenarea::keptInView(QRect(pos(), size())).topLeft());
}

void LabelWindow::screenGone()
{
    // Once Qt has taken the monitor off its list; a drag under way goes on.
    QTimer::singleShot(0, this, [this] {
        if (!m_dragging)
            keepInView();
    });
}

void LabelWindow::flushPlace() { m_writer->flush(); }

void LabelWindow::dragTo(const QPoint &globalPos)
{
    WindowManager &manager = WindowManager::instance();
    if (manager.ignoresMoves()) {
        handOverDrag();
        return;
    }
    move(globalPos - m_grip);
    manager.checkMove(this, pos());
    m_writer->schedule(pos() * kTwipsPerPixel);
}

void LabelWindow::handOverDrag()
{
    // The button is still down: the manager takes the drag from here, and
    // the places it reports are stored as they come (moveEvent). Until then
    // the window stands where the server has it, whatever we asked before we
    // knew; Qt and the store are told so.
    m_dragging = false;
    if (const std::optional<QPoint> place = WindowManager::placeOnServer(this); place && *place != pos()) {
        move(*place);
        m_writer->schedule(*place * kTwipsPerPixel);
    }
    QWindow *window = windowHandle();
    m_managerMoves = window && window->startSystemMove();
    qCInfo(lcDesktop, "%s moved by the window manager %s", qUtf8Printable(objectName()),
           m_managerMoves ? "ok" : "refused");
}

void LabelWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (!m_managerMoves || !event->spontaneous())
        return;
    // Where the X server has the window: the manager's own idea of a frame
    // can put Qt's off.
    const QPoint place = WindowManager::placeOnServer(this).value_or(pos());
    m_writer->schedule(place * kTwipsPerPixel);
}

void LabelWindow::endDrag()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    m_writer->write();
}

bool LabelWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_label)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *me = static_cast<QMouseEvent *>(event);
        // A right press never starts a drag.
        if (me->button() == Qt::LeftButton && !m_dragging) {
            m_dragging = true;
            m_managerMoves = false;
            m_grip = me->globalPosition().toPoint() - pos();
        }
        return true;
    }
    case QEvent::MouseMove:
        if (m_dragging)
            dragTo(static_cast<QMouseEvent *>(event)->globalPosition().toPoint());
        return true;
    case QEvent::MouseButtonRelease: {
        auto *me = static_cast<QMouseEvent *>(event);
        endDrag();
        if (me->button() == Qt::RightButton && m_popup) {
            const QPoint at = me->globalPosition().toPoint();
            m_popup->popup(QPoint(at.x() - m_popup->sizeHint().width() / 2, at.y()));
        }
        return true;
    }
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            Q_EMIT labelDoubleClicked();
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

} // namespace chimewell
