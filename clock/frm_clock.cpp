#include "clock/frm_clock.h"

#include "common/convert.h"
#include "common/launcher.h"
#include "common/log.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"
#include "common/clock.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

namespace chimewell::clockcore {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kWindowWidthTwips = 1680;

QString readData(const char *key, const char *def)
{
    return store::value(QLatin1String(keys::Data), QLatin1String(key), QLatin1String(def));
}

int toPixels(double twips) { return int(std::lround(twips / kTwipsPerPixel)); }

} // namespace

frm_clock::frm_clock(QWidget *parent) : QWidget(parent, Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frm_clock"));
    setWindowTitle(QStringLiteral("Chimewell"));
    m_labTime = new QLabel(QStringLiteral("00:00"), this);
    m_labTime->setObjectName(QStringLiteral("lab_time"));
    m_labTime->setAlignment(Qt::AlignCenter);
    m_labTime->setAutoFillBackground(true);
    m_labTime->setToolTip(QStringLiteral("Double click for the time, Right click for ALL the menus"));
    m_labTime->installEventFilter(this);
    // The thin frame around the label.
    setAutoFillBackground(true);
    QPalette framePalette = palette();
    framePalette.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    setPalette(framePalette);

    m_clock = new QTimer(this);
    m_clock->setObjectName(QStringLiteral("clock"));
    m_clock->setTimerType(Qt::PreciseTimer);
    connect(m_clock, &QTimer::timeout, this, &frm_clock::clock_Timer);
    buildMenu();
}

frm_clock::~frm_clock() = default;

void frm_clock::buildMenu()
{
    struct Entry
    {
        int level;
        const char *name;
        const char *caption;
    };
    static const Entry tree[] = {
        {1, "mnu_character", "Characters"},
        {2, "mnu_movehome", "Summon the characters to the clock"},
        {2, "mnu_chcharacters", "Change characters and settings"},
        {1, "hyp1", "-"},
        {1, "mnu_addons", "Add On's and FUN"},
        {2, "mnu_drillquiz", "Start the Times Tables add on"},
        {2, "mnu_showdate", "Show the date add on"},
        {2, "mnu_millenium", "Show the Millenium add on"},
        {2, "mnu_jollix", "Start the Jollix add on"},
        {2, "mnu_tands", "Type and Speak !"},
        {1, "hellohyp", "-"},
        {1, "mnu_clock", "Clock options"},
        {2, "mnu_format", "Alter time format (12 or 24 hour)"},
        {2, "mnu_colours", "Change colours"},
        {2, "mnu_hideshow", "Hide the clock"},
        {1, "hyp999", "-"},
        {1, "mnu_settings1", "Main Options"},
        {1, "hyp3", "-"},
        {1, "mnu_about", "About Chimewell"},
        {1, "hyp011", "-"},
        {1, "mnu_exit", "Exit"},
    };
    m_menu = new QMenu(QStringLiteral("Settings"), this);
    m_menu->setObjectName(QStringLiteral("mnu_settings"));
    QMenu *sub = nullptr;
    for (const Entry &e : tree) {
        const QString name = QLatin1String(e.name);
        const QString caption = QLatin1String(e.caption);
        QMenu *parentMenu = e.level == 1 ? m_menu : sub;
        QAction *action = nullptr;
        if (caption == QLatin1String("-")) {
            action = parentMenu->addSeparator();
        } else if (e.level == 1 && (name == QLatin1String("mnu_character") || name == QLatin1String("mnu_addons")
                                    || name == QLatin1String("mnu_clock"))) {
            sub = parentMenu->addMenu(caption);
            sub->setObjectName(name);
            action = sub->menuAction();
        } else {
            action = parentMenu->addAction(caption);
        }
        action->setObjectName(name);
        m_entries.insert(name, action);
    }
    connect(m_entries.value(QStringLiteral("mnu_exit")), &QAction::triggered, this, &QWidget::close);
}

void frm_clock::Form_Load()
{
    // Step 1, one copy per user, is taken care of before any window exists.
    m_clock->setInterval(1000);

    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize screenPx = screen ? screen->geometry().size() : QSize(1024, 768);
    const double screenW = double(screenPx.width()) * kTwipsPerPixel;
    const double screenH = double(screenPx.height()) * kTwipsPerPixel;
    // A stored position that is not a number keeps the default place.
    double formX = convert::toNumber(readData(keys::FormX, "2000")).value_or(2000);
    double formY = convert::toNumber(readData(keys::FormY, "2000")).value_or(2000);
    if (formX > screenW)
        formX = 0;
    if (formY > screenH)
        formY = 0;

    if (readData(keys::mode, "simple") == QLatin1String("simple")) {
        for (const char *name : {"mnu_chcharacters", "mnu_jollix", "mnu_colours"})
            m_entries.value(QLatin1String(name))->setVisible(false);
    }

    QPalette pal = m_labTime->palette();
    if (const auto fore = convert::toColour(readData(keys::ForeColour, "0")))
        pal.setColor(QPalette::WindowText, *fore);
    else
        pal.setColor(QPalette::WindowText, Qt::black);
    if (const auto back = convert::toColour(readData(keys::BackColour, "16777215")))
        pal.setColor(QPalette::Window, *back);
    else
        pal.setColor(QPalette::Window, Qt::white);
    m_labTime->setPalette(pal);

    const QDateTime now = Clock::current();
    m_minuteNow = now.time().minute();
    m_waitingForMinute = true;
    m_schedule = MinuteSchedule();
    m_schedule.start(now);

    setWindowState(Qt::WindowNoState);

    if (readData(keys::DateStart, "0") == QLatin1String("1"))
        startShipped(QStringLiteral("date"));
    if (readData(keys::MilleniumStart, "0") == QLatin1String("1"))
        startShipped(QStringLiteral("millenium"));

    move(toPixels(formX), toPixels(formY));

    const QString format = store::value(QLatin1String(keys::data), QLatin1String(keys::format), QStringLiteral("1"));
    applyFormat(format);
    m_labTime->setText(labelText(now.time(), format));
    m_clock->start();
}

void frm_clock::applyFormat(const QString &format)
{
    QFont font(QStringLiteral("Arial"));
    int labelW = 1665, labelH = 465, windowH = 525;
    if (format == QLatin1String("0")) {
        font.setPointSize(28);
        labelH = 690;
        windowH = 750;
    } else {
        font.setPointSize(18);
    }
    m_labTime->setFont(font);
    const int w = toPixels(kWindowWidthTwips);
    const int h = toPixels(windowH);
    const int lw = toPixels(labelW);
    const int lh = toPixels(labelH);
    m_labTime->setGeometry((w - lw) / 2, (h - lh) / 2, lw, lh);
    setFixedSize(w, h);
}

int frm_clock::tickInterval() const { return m_clock->isActive() ? m_clock->interval() : -1; }

void frm_clock::saytime()
{
    qCInfo(lcClock) << "saytime";
    if (onSaytime)
        onSaytime();
}

void frm_clock::alarmclock(const QString &a)
{
    qCInfo(lcClock).noquote() << "alarmclock" << a;
    if (onAlarmclock)
        onAlarmclock(a);
}

void frm_clock::closeEvent(QCloseEvent *event)
{
    // Form_Unload: nothing is saved here, every value was stored when it changed.
    m_clock->stop();
    event->accept();
    if (onExit)
        onExit();
}

bool frm_clock::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_labTime && event->type() == QEvent::MouseButtonRelease) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::RightButton) {
            const QPoint pos = me->globalPosition().toPoint();
            // Centred horizontally on the pointer.
            const QSize hint = m_menu->sizeHint();
            m_menu->popup(QPoint(pos.x() - hint.width() / 2, pos.y()));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace chimewell::clockcore
