#include "settings/frm_wait.h"

#include "common/dialogs.h"
#include "common/launcher.h"
#include "common/platform.h"
#include "common/program.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace chimewell::setup {

namespace {
const QColor kYellow(255, 255, 0); // colour value 65535
const QColor kRed(255, 0, 0);      // colour value 255
} // namespace

frm_wait::frm_wait(QWidget *parent) : QWidget(parent, Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frm_wait"));
    setWindowTitle(QStringLiteral("Chimewell"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kYellow);
    setPalette(pal);

    m_label1 = new QLabel(QStringLiteral("PLEASE WAIT! Essential files are now being installed on to your system. "
                                         "This will take approx. 30 seconds"),
                          this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setWordWrap(true);
    m_label1->setAlignment(Qt::AlignCenter);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(14);
    f.setBold(true);
    m_label1->setFont(f);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label1);
    resize(420, 160);
    if (const QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    m_timer2->setInterval(1000);
    connect(m_timer2, &QTimer::timeout, this, &frm_wait::Timer2_Timer);
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setSingleShot(true);
    m_timer1->setInterval(40000);
    connect(m_timer1, &QTimer::timeout, this, &frm_wait::Timer1_Timer);
    m_timer2->start();
    m_timer1->start();
}

void frm_wait::Timer2_Timer()
{
    if (m_ticks == 0)
        startShipped(QStringLiteral("chimewell-setup"), {QStringLiteral("agent"), QStringLiteral("/Q:A")});
    if (m_ticks == 15)
        startShipped(QStringLiteral("chimewell-setup"), {QStringLiteral("speech"), QStringLiteral("/Q:A")});
    ++m_ticks;
    m_red = !m_red;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, m_red ? kRed : kYellow);
    setPalette(pal);
}

void frm_wait::Timer1_Timer()
{
    // A round that left something missing would only lead to the same wait
    // after the restart, for ever: say once what to install, and end.
    const QStringList missing = platform::missingComponents();
    if (missing.isEmpty()) {
        restartProgram();
        return;
    }
    m_timer2->stop();
    dialogs::message(this, QStringLiteral("Chimewell"),
                     QStringLiteral("Chimewell cannot start yet.\n\n") + missing.join(QStringLiteral("\n\n"))
                         + QStringLiteral("\n\nThen start Chimewell again."),
                     QMessageBox::Ok, QMessageBox::Warning);
    endProgram();
}

} // namespace chimewell::setup
