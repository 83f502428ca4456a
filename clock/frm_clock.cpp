#include "clock/frm_clock.h"

#include "characters/clockcharacters.h"

#include "common/convert.h"
#include "common/launcher.h"
#include "common/log.h"
#include "common/screenarea.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"
#include "common/clock.h"
#include "tray/frmSysTray.h"
#include "tray/traysetup.h"

#include <QCloseEvent>
#include <QLabel>
#include <QTimer>

namespace chimewell::clockcore {

namespace {

constexpr int kWindowWidthTwips = 1680;

QString readData(const char *key, const char *def)
{
    return store::value(QLatin1String(keys::Data), QLatin1String(key), QLatin1String(def));
}

} // namespace

frm_clock::frm_clock(QWidget *parent)
    : LabelWindow(QStringLiteral("frm_clock"), QStringLiteral("lab_time"), {keys::FormX, keys::FormY}, parent)
    , m_characters(std::make_unique<characters::ClockCharacters>(*this))
{
    label()->setText(QStringLiteral("00:00"));
    label()->setToolTip(QStringLiteral("Double click for the time, Right click for ALL the menus"));
    // The thin frame around the label.
    setAutoFillBackground(true);
    QPalette framePalette = palette();
    framePalette.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    setPalette(framePalette);

    m_clock = new QTimer(this);
    m_clock->setObjectName(QStringLiteral("clock"));
    m_clock->setTimerType(Qt::PreciseTimer);
    connect(m_clock, &QTimer::timeout, this, &frm_clock::clock_Timer);
    connect(this, &LabelWindow::labelDoubleClicked, this, &frm_clock::lab_time_DblClick);
    buildMenu();
}

frm_clock::~frm_clock() = default;

void frm_clock::Form_Load()
{
    // Step 1, one copy per user, is taken care of before any window exists.
    m_clock->setInterval(1000);

    // The screen is every monitor's available area taken together: a clock
    // left on a second monitor opens there again.
    QRect screen = screenarea::desktopArea(screenarea::monitors());
    if (screen.isEmpty())
        screen = QRect(0, 0, 1024, 768);
    const double screenRight = double(screen.right() + 1) * kTwipsPerPixel;
    const double screenBottom = double(screen.bottom() + 1) * kTwipsPerPixel;
    // A stored position that is not a number keeps the default place.
    double formX = convert::toNumber(readData(keys::FormX, "2000")).value_or(2000);
    double formY = convert::toNumber(readData(keys::FormY, "2000")).value_or(2000);
    if (formX > screenRight)
        formX = 0;
    if (formY > screenBottom)
        formY = 0;

    if (readData(keys::mode, "simple") == QLatin1String("simple")) {
        for (const char *name : {"mnu_chcharacters", "mnu_jollix", "mnu_colours"})
            m_entries.value(QLatin1String(name))->setVisible(false);
    }

    setColours(convert::toColour(readData(keys::ForeColour, "0")).value_or(QColor(Qt::black)),
               convert::toColour(readData(keys::BackColour, "16777215")).value_or(QColor(Qt::white)));

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

    moveToTwips(formX, formY);

    const QString format = store::value(QLatin1String(keys::data), QLatin1String(keys::format), QStringLiteral("1"));
    applyFormat(format);
    label()->setText(labelText(now.time(), format));
    // Sized now: a place that leaves the clock mostly off every monitor (one
    // unplugged, a hand-edited store) brings it back into view.
    keepInView();

    // Step 13: the tray icon, once per run.
    if (!m_frmSysTray) {
        m_frmSysTray = new tray::frmSysTray(this);
        tray::setUpTray(*m_frmSysTray, *this);
    }
    m_loaded = true;
    startTakingCommands();
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
    label()->setFont(font);
    const int w = toPixels(kWindowWidthTwips);
    const int h = toPixels(windowH);
    const int lw = toPixels(labelW);
    const int lh = toPixels(labelH);
    label()->setGeometry((w - lw) / 2, (h - lh) / 2, lw, lh);
    setFixedSize(w, h);
}

int frm_clock::tickInterval() const { return m_clock->isActive() ? m_clock->interval() : -1; }

void frm_clock::closeEvent(QCloseEvent *event)
{
    // Form_Unload: nothing is saved here, every value was stored when it changed.
    m_clock->stop();
    event->accept();
    endProgram();
}

} // namespace chimewell::clockcore
