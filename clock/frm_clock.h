#pragma once

#include "clock/ticklogic.h"

#include <QHash>
#include <QWidget>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QTimer;

namespace chimewell::clockcore {

// The clock window: a small frameless window holding the time label, the
// minute tick and the context menu.
class frm_clock : public QWidget
{
    Q_OBJECT
public:
    explicit frm_clock(QWidget *parent = nullptr);
    ~frm_clock() override;

    // Prepares the window from the stored settings (position, colours, mode,
    // format, add-ons that start with the clock).
    void Form_Load();

    // What the tick makes the characters do; set by the program when its
    // characters are in place. Until then the tick only logs.
    std::function<void()> onSaytime;
    std::function<void(const QString &)> onAlarmclock;
    std::function<void()> onExit;

    void saytime();
    void alarmclock(const QString &a);

    // One pass of the timer `clock`.
    void clock_Timer();

    QLabel *lab_time() const { return m_labTime; }
    QMenu *mnu_settings() const { return m_menu; }
    QAction *menuEntry(const QString &name) const { return m_entries.value(name); }
    bool waitingForMinute() const { return m_waitingForMinute; }
    int minuteNow() const { return m_minuteNow; }
    // The next tick's delay in milliseconds (for tests and the log).
    int tickInterval() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenu();
    void applyFormat(const QString &format);
    void handleMinute(const QDateTime &minute, bool present);
    void scheduleNextTick();
    qint64 suspendedSinceLastTick();

    QLabel *m_labTime = nullptr;
    QTimer *m_clock = nullptr;
    QMenu *m_menu = nullptr;
    QHash<QString, QAction *> m_entries;

    bool m_waitingForMinute = true;
    int m_minuteNow = 0;
    bool m_inTick = false;
    MinuteSchedule m_schedule;
    qint64 m_lastMonotonicMs = -1;
    qint64 m_lastBoottimeMs = -1;
};

} // namespace chimewell::clockcore
