#include "settings/frm_settings.h"
#include "settings/settingshost.h"

#include "common/dialogs.h"
#include "common/platform_dummy.h"
#include "common/settingsstore.h"
#include "tests/support/logcapture.h"
#include "tests/support/temphome.h"
#include "tests/support/testclock.h"
#include "tests/support/warnings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <functional>

using namespace chimewell;
using setup::frm_settings;

namespace {

// The clock as the dialog sees it: records what it is asked.
class FakeHost final : public setup::SettingsHost
{
public:
    void say(const QString &talk, const QString &who) override { said << who + QStringLiteral(": ") + talk; }
    void newcharacter() override
    {
        changes << 1;
        if (duringChange)
            duringChange();
    }
    void newcharacter2() override
    {
        changes << 2;
        if (duringChange)
            duringChange();
    }
    QColor clockForeColour() const override { return fore; }
    QColor clockBackColour() const override { return back; }
    void setClockForeColour(const QColor &c) override { fore = c; }
    void setClockBackColour(const QColor &c) override { back = c; }
    void applyTimeFormat(const QString &format) override { formats << format; }
    void restart() override { ++restarts; }

    QStringList said;
    QList<int> changes;
    std::function<void()> duringChange;
    QColor fore = Qt::black;
    QColor back = Qt::white;
    QStringList formats;
    int restarts = 0;
};

const QString kMissing; // a null text: the key is not in the store

void set(const char *key, const QString &value)
{
    store::setValue(QStringLiteral("Data"), QLatin1String(key), value);
}

QString get(const char *key, const QString &section = QStringLiteral("Data"))
{
    return store::value(section, QLatin1String(key), QStringLiteral("<missing>"));
}

// Every stored value, to prove that something wrote nothing.
QStringList storeContents()
{
    QStringList out;
    for (const store::Entry &e : store::list(QStringLiteral("ChimewellIIV")))
        out << e.section + QLatin1Char('/') + e.key + QLatin1Char('=') + e.value;
    return out;
}

QString odd100k()
{
    return QStringLiteral("<b>\"x\"</b>&amp;\\\x01\x7f").repeated(100000 / 17).left(100000);
}

} // namespace

class TestFrmSettings final : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<testing::TempHome> m_home;
    std::unique_ptr<testing::TestClock> m_clock;
    std::unique_ptr<FakeHost> m_host;
    QPointer<frm_settings> m_dialog;

    frm_settings &open()
    {
        m_dialog = new frm_settings(*m_host);
        m_dialog->Form_Load();
        return *m_dialog;
    }
    template <typename T> T *child(const QByteArray &name) const
    {
        T *w = m_dialog->findChild<T *>(QLatin1String(name));
        if (!w)
            qWarning("no control %s", name.constData());
        return w;
    }
    QString text(const QByteArray &name) const
    {
        if (auto *line = m_dialog->findChild<QLineEdit *>(QLatin1String(name)))
            return line->text();
        if (auto *combo = m_dialog->findChild<QComboBox *>(QLatin1String(name)))
            return combo->currentText();
        if (auto *plain = m_dialog->findChild<QPlainTextEdit *>(QLatin1String(name)))
            return plain->toPlainText();
        return QStringLiteral("<no control %1>").arg(QLatin1String(name));
    }
    bool checked(const QByteArray &name) const { return child<QCheckBox>(name)->isChecked(); }
    void click(const QByteArray &name) { child<QAbstractButton>(name)->click(); }

private Q_SLOTS:
    void initTestCase()
    {
        QApplication::setApplicationName(QStringLiteral("Chimewell")); // the title of its message boxes
        testing::startLogCapture();
    }

    void init()
    {
        testing::failOnUnexpectedWarnings();
        m_home = std::make_unique<testing::TempHome>();
        m_clock = std::make_unique<testing::TestClock>();
        m_host = std::make_unique<FakeHost>();
        platform::dummy::reset();
        dialogs::takeShownMessages();
        testing::capturedLog().clear();
    }

    void cleanup()
    {
        delete m_dialog.data();
        m_host.reset();
        m_clock.reset();
        m_home.reset();
    }

    // What a new user sees, and that opening it wrote nothing.
    void emptyStore()
    {
        open();
        QCOMPARE(storeContents(), QStringList());
        QCOMPARE(m_host->said, QStringList{QStringLiteral("genie: Main Options, you are in simple mode!")});
        QCOMPARE(m_dialog->windowTitle(), QStringLiteral("General Settings"));
        QStringList tabs;
        for (int i = 0; i < m_dialog->SSTab1()->count(); ++i)
            tabs << m_dialog->SSTab1()->tabText(i);
        QCOMPARE(tabs, (QStringList{QStringLiteral(" Alarm 1 settings"), QStringLiteral(" Alarm 2 settings"),
                                    QStringLiteral("Characters"), QStringLiteral("Colours"), QStringLiteral("Help"),
                                    QStringLiteral("Type and Speak"), QStringLiteral("Misc")}));
        const QList<std::pair<const char *, QString>> shown{{"txt_hour1", "99"},
                                                            {"txt_min1", "99"},
                                                            {"txt_hour2", "99"},
                                                            {"txt_min2", "99"},
                                                            {"txt_launch1", ""},
                                                            {"txt_message2", ""},
                                                            {"txt_character1", ""},
                                                            {"Combo2", ""},
                                                            {"txt_quiet1", "00"},
                                                            {"txt_quiet2", "00"},
                                                            {"com_format", "24 Hour"},
                                                            {"Combo1", ""},
                                                            {"txt_startupmessage", "Welcome To Chimewell"},
                                                            {"txt_username", "Nobody"}};
        for (const auto &[name, value] : shown)
            QVERIFY2(text(name) == value, name);
        for (auto *box : m_dialog->findChildren<QCheckBox *>())
            QVERIFY2(!box->isChecked(), qPrintable(box->objectName()));
        auto *combo2 = child<QComboBox>("Combo2");
        QStringList items;
        for (int i = 0; i < combo2->count(); ++i)
            items << combo2->itemText(i);
        QCOMPARE(items.join(QLatin1Char(',')), QStringLiteral("5,10,15,20,30,60"));
        QVERIFY(child<QPlainTextEdit>("txt_speech")->toPlainText().startsWith(QLatin1String("Type in some text")));
        QCOMPARE(child<QLineEdit>("txt_quiet1")->toolTip(), QStringLiteral("This is the HOUR to be quet FROM"));
    }

    // Whatever is stored, the dialog shows what the rules make of it and writes nothing.
    void storedValuesShown_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shown"); // a text, or "checked" / "unchecked"
        QTest::newRow("alarm time in two halves") << "AlarmTime1"
                                                  << "0730"
                                                  << "txt_min1"
                                                  << "30";
        QTest::newRow("short alarm time: empty minute") << "AlarmTime2"
                                                        << "x"
                                                        << "txt_min2"
                                                        << "";
        QTest::newRow("long alarm time: first four characters") << "AlarmTime1"
                                                                << "123456"
                                                                << "txt_min1"
                                                                << "34";
        QTest::newRow("quiet time of tags") << "QuietTime"
                                            << "<b>x"
                                            << "txt_quiet2"
                                            << ">x";
        QTest::newRow("format other than 0 is 12 hour") << "format"
                                                        << "garbage"
                                                        << "com_format"
                                                        << "12 Hour am/pm";
        QTest::newRow("announce keeps any text") << "Announce"
                                                 << "<i>'\""
                                                 << "Combo2"
                                                 << "<i>'\"";
        QTest::newRow("repeat true in small letters") << "Repeat1"
                                                      << "true"
                                                      << "chk_repeat1"
                                                      << "unchecked";
        QTest::newRow("repeat True") << "Repeat2"
                                     << "True"
                                     << "chk_repeat2"
                                     << "checked";
        QTest::newRow("effects TRUE") << "effects1"
                                      << "TRUE"
                                      << "chk_effects1"
                                      << "unchecked";
        QTest::newRow("start with desktop 1") << "LoadWithWindows"
                                              << "1"
                                              << "chk_LWW"
                                              << "unchecked";
        QTest::newRow("hide True") << "charhide2"
                                   << "True"
                                   << "chk_hide2"
                                   << "checked";
        QTest::newRow("character name with quotes") << "LastCharacter"
                                                    << "\"Max\" & co"
                                                    << "Combo1"
                                                    << "\"Max\" & co";
        QTest::newRow("empty start-up message stays empty") << "StartupMessage"
                                                            << ""
                                                            << "txt_startupmessage"
                                                            << "";
        QTest::newRow("long message whole") << "AlarmMessage" << odd100k() << "txt_message1" << odd100k();
        QTest::newRow("control characters in a name") << "UserName"
                                                      << "a\tb\x02"
                                                      << "txt_username"
                                                      << "a\tb\x02";
    }
    void storedValuesShown()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, control);
        QFETCH(QString, shown);
        store::setValue(key == QLatin1String("format") ? QStringLiteral("data") : QStringLiteral("Data"), key, stored);
        const QStringList before = storeContents();
        testing::capturedLog().clear();
        open();
        const QByteArray name = control.toLatin1();
        if (shown == QLatin1String("checked") || shown == QLatin1String("unchecked"))
            QCOMPARE(checked(name), shown == QLatin1String("checked"));
        else
            QCOMPARE(text(name), shown);
        QCOMPARE(storeContents(), before);
        QCOMPARE(testing::capturedLines(QStringLiteral("chimewell.settings")),
                 QStringList()); // not even the same value
        QCOMPARE(m_host->said.size(), 1);
    }

    void modes_data()
    {
        QTest::addColumn<QString>("mode"); // null: not stored
        QTest::addColumn<bool>("simple");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("switchesTo"); // null: the click does nothing
        const QString simpleCaption = QStringLiteral("YOU ARE IN SIMPLE MODE, CLICK HERE ----> CLICK <---- TO CHANGE");
        QTest::newRow("missing is simple") << kMissing << true << simpleCaption << "advanced";
        QTest::newRow("advanced") << "advanced" << false
                                  << "YOU ARE IN ADVANCED MODE, CLICK HERE ----> CLICK <---- TO CHANGE"
                                  << "simple";
        QTest::newRow("other text: nothing hidden, no switch") << "Expert" << false << simpleCaption << kMissing;
    }
    void modes()
    {
        QFETCH(QString, mode);
        QFETCH(bool, simple);
        QFETCH(QString, caption);
        QFETCH(QString, switchesTo);
        if (!mode.isNull())
            set("mode", mode);
        open();
        const QString said = mode.isNull() ? QStringLiteral("simple") : mode;
        QCOMPARE(m_host->said, QStringList{QStringLiteral("genie: Main Options, you are in %1 mode!").arg(said)});
        QCOMPARE(m_dialog->SSTab1()->isTabEnabled(frm_settings::AlarmTab2), !simple);
        for (const char *name : {"chk_effects1", "chk_effects2", "txt_startupmessage", "com_clear1"})
            QVERIFY2(child<QWidget>(name)->isHidden() == simple, name);
        QVERIFY(!child<QWidget>("txt_username")->isHidden());
        QVERIFY(!child<QWidget>("com_clear2")->isHidden());
        auto *label = child<QLabel>("lab_mode");
        QCOMPARE(label->text(), caption);
        // A simple-mode user cannot reach the second alarm, not even with the keyboard.
        m_dialog->showTab(frm_settings::AlarmTab1);
        QTest::keyClick(m_dialog->SSTab1()->tabBar(), Qt::Key_Right);
        QCOMPARE(m_dialog->SSTab1()->currentIndex(),
                 simple ? int(frm_settings::CharactersTab) : int(frm_settings::AlarmTab2));

        QTest::keyClick(label, Qt::Key_Space);
        QCOMPARE(get("mode"), switchesTo.isNull() ? (mode.isNull() ? QStringLiteral("<missing>") : mode) : switchesTo);
        QCOMPARE(m_host->restarts, switchesTo.isNull() ? 0 : 1);
    }

    void setAlarm_data()
    {
        QTest::addColumn<int>("alarm");
        QTest::addColumn<QString>("hour");
        QTest::addColumn<QString>("minute");
        QTest::addColumn<QString>("message"); // empty: accepted
        const QString valid = QStringLiteral("You must enter a valid time in 24 hour format");
        const QString two = QStringLiteral("You must enter TWO digits in each time box, e.g. 02 21");
        QTest::newRow("07 30 set, said by character 2") << 1 << "07"
                                                        << "30"
                                                        << "";
        QTest::newRow("alarm 2 said by character 1") << 2 << "23"
                                                     << "59"
                                                     << "";
        QTest::newRow("midnight") << 1 << "00"
                                  << "00"
                                  << "";
        QTest::newRow("7 needs two digits") << 1 << "7"
                                            << "30" << two;
        QTest::newRow("007 needs two digits") << 2 << "007"
                                              << "30" << two;
        QTest::newRow("minute 5 needs two digits") << 1 << "10"
                                                   << "5" << two;
        QTest::newRow("hour 24") << 1 << "24"
                                 << "00" << valid;
        QTest::newRow("minute 60") << 2 << "12"
                                   << "60" << valid;
        QTest::newRow("empty hour") << 1 << ""
                                    << "30" << valid;
        QTest::newRow("letters") << 1 << "ab"
                                 << "30" << valid;
        QTest::newRow("the 99 of no alarm") << 1 << "99"
                                            << "99" << valid;
        QTest::newRow("negative") << 1 << "-1"
                                  << "30" << valid;
        QTest::newRow("huge paste") << 1 << QString(100000, QLatin1Char('9')) << "30" << valid;
        QTest::newRow("range is checked before length") << 1 << "7"
                                                        << "75" << valid;
    }
    void setAlarm()
    {
        QFETCH(int, alarm);
        QFETCH(QString, hour);
        QFETCH(QString, minute);
        QFETCH(QString, message);
        set("mode", QStringLiteral("advanced"));
        open();
        m_host->said.clear();
        const QByteArray n = QByteArray::number(alarm);
        child<QLineEdit>("txt_hour" + n)->setText(hour);
        child<QLineEdit>("txt_min" + n)->setText(minute);
        if (!message.isEmpty())
            dialogs::setNextAnswer(QMessageBox::Ok);
        click("com_set" + n);
        const char *key = alarm == 1 ? "AlarmTime1" : "AlarmTime2";
        if (message.isEmpty()) {
            QCOMPARE(dialogs::takeShownMessages(), QStringList());
            QCOMPARE(get(key), hour + minute);
            const QString who = alarm == 1 ? QStringLiteral("peedy") : QStringLiteral("genie");
            QCOMPARE(m_host->said, QStringList{who + QStringLiteral(": Your alarm has been set")});
        } else {
            QCOMPARE(dialogs::takeShownMessages(), QStringList{QStringLiteral("Chimewell\n") + message});
            QCOMPARE(get(key), QStringLiteral("<missing>"));
            QCOMPARE(m_host->said, QStringList());
            QCOMPARE(text("txt_hour" + n), hour); // the user's text stays to be mended
        }
    }

    // Clear, the launch program (chosen and cancelled) and the message, for both twins.
    void alarmControls_data()
    {
        QTest::addColumn<int>("alarm");
        QTest::newRow("alarm 1") << 1;
        QTest::newRow("alarm 2") << 2;
    }
    void alarmControls()
    {
        QFETCH(int, alarm);
        set("mode", QStringLiteral("advanced"));
        const QByteArray n = QByteArray::number(alarm);
        set(alarm == 1 ? "AlarmTime1" : "AlarmTime2", QStringLiteral("0615"));
        set(alarm == 1 ? "Launch1" : "Launch2", QStringLiteral("/usr/bin/old"));
        open();
        m_host->said.clear();
        QCOMPARE(text("txt_hour" + n), QStringLiteral("06"));

        click("com_clear" + n);
        QCOMPARE(get(alarm == 1 ? "AlarmTime1" : "AlarmTime2"), QStringLiteral("9999"));
        QCOMPARE(text("txt_hour" + n) + text("txt_min" + n), QStringLiteral("9999"));

        const QString program = QStringLiteral("/usr/bin/my \"odd\" program");
        dialogs::setNextFile(program);
        click("com_change" + n);
        QCOMPARE(get(alarm == 1 ? "Launch1" : "Launch2"), program);
        QCOMPARE(text("txt_launch" + n), program);
        dialogs::setNextFile(QString()); // Cancel is how the user removes the program
        click("com_change" + n);
        QCOMPARE(get(alarm == 1 ? "Launch1" : "Launch2"), QString());
        QCOMPARE(text("txt_launch" + n), QString());

        testing::capturedLog().clear();
        auto *message = child<QLineEdit>("txt_message" + n);
        message->setFocus();
        QTest::keyClicks(message, QStringLiteral("Up!"));
        const QString key = alarm == 1 ? QStringLiteral("AlarmMessage") : QStringLiteral("AlarmMessage2");
        QCOMPARE(testing::capturedLines(QStringLiteral("chimewell.settings")),
                 (QStringList{QStringLiteral("write Data/%1=U").arg(key), QStringLiteral("write Data/%1=Up").arg(key),
                              QStringLiteral("write Data/%1=Up!").arg(key)}));
        QCOMPARE(m_host->said, QStringList()); // nothing of this speaks
    }

    // The boxes that show a stored "True": a click stores the opposite of the
    // stored value (not of the box) and sets the box to match.
    void storedCheckBoxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("answer"); // to the restart question; NoButton: none asked
        const int none = QMessageBox::NoButton;
        QTest::newRow("repeat: missing becomes True") << "chk_repeat1"
                                                      << "Repeat1" << kMissing << "True" << none;
        QTest::newRow("repeat 2: True becomes False") << "chk_repeat2"
                                                      << "Repeat2"
                                                      << "True"
                                                      << "False" << none;
        QTest::newRow("hide: garbage becomes True") << "chk_hide1"
                                                    << "charhide"
                                                    << "yes"
                                                    << "True" << none;
        QTest::newRow("hide 2: True becomes False") << "chk_hide2"
                                                    << "charhide2"
                                                    << "True"
                                                    << "False" << none;
        QTest::newRow("effects: missing counts as True, No keeps running")
            << "chk_effects1"
            << "effects1" << kMissing << "False" << int(QMessageBox::No);
        QTest::newRow("effects 2: False becomes True, Yes restarts") << "chk_effects2"
                                                                     << "effects2"
                                                                     << "False"
                                                                     << "True" << int(QMessageBox::Yes);
    }
    void storedCheckBoxes()
    {
        QFETCH(QString, box);
        QFETCH(QString, key);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(int, answer);
        set("mode", QStringLiteral("advanced"));
        if (!before.isNull())
            store::setValue(QStringLiteral("Data"), key, before);
        open();
        m_host->said.clear();
        if (answer != QMessageBox::NoButton)
            dialogs::setNextAnswer(QMessageBox::StandardButton(answer));
        click(box.toLatin1());
        QCOMPARE(store::value(QStringLiteral("Data"), key), after);
        QCOMPARE(checked(box.toLatin1()), after == QLatin1String("True"));
        const QStringList asked = dialogs::takeShownMessages();
        if (answer == QMessageBox::NoButton) {
            QCOMPARE(asked, QStringList());
        } else {
            QCOMPARE(asked.size(), 1);
            QVERIFY(asked.first().startsWith(QLatin1String("Warning!\nYou will need to re start Chimewell")));
        }
        QCOMPARE(m_host->restarts, answer == QMessageBox::Yes ? 1 : 0);
        QCOMPARE(m_host->said, QStringList());
    }

    void announce_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // null: nothing
        QTest::addColumn<QString>("said");   // null: nothing
        const QString complaint =
            QStringLiteral("genie: Hey, you entered an invalid number, please choose one between zero and 60");
        QTest::newRow("20") << "20"
                            << "20"
                            << "genie: I will announce the time, every 20 minutes!";
        QTest::newRow("zero passes") << "0"
                                     << "0"
                                     << "genie: I will announce the time, every 0 minutes!";
        QTest::newRow("60") << "60"
                            << "60"
                            << "genie: I will announce the time, every 60 minutes!";
        QTest::newRow("a fraction is kept as typed") << "7.5"
                                                     << "7.5"
                                                     << "genie: I will announce the time, every 7.5 minutes!";
        QTest::newRow("61") << "61" << kMissing << complaint;
        QTest::newRow("-1") << "-1" << kMissing << complaint;
        QTest::newRow("letters") << "ten" << kMissing << complaint;
        QTest::newRow("huge paste") << QString(100000, QLatin1Char('1')) << kMissing << complaint;
        QTest::newRow("emptied: silence") << "" << kMissing << kMissing;
        QTest::newRow("2 is not completed to 20") << "2"
                                                  << "2"
                                                  << "genie: I will announce the time, every 2 minutes!";
        QTest::newRow("1 is not completed to 10") << "1"
                                                  << "1"
                                                  << "genie: I will announce the time, every 1 minutes!";
    }
    void announce()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, said);
        set("Announce", QStringLiteral("15"));
        open().showTab(frm_settings::CharactersTab);
        QVERIFY(QTest::qWaitForWindowActive(m_dialog));
        auto *box = child<QComboBox>("Combo2");
        box->setFocus();
        m_host->said.clear();
        const QDateTime before = Clock::current();
        // One digit comes as a key press, as a user types it, which is where
        // the box's own list could complete a 2 into 20.
        if (typed.size() == 1) {
            box->lineEdit()->selectAll();
            QTest::keyClick(box->lineEdit(), typed.at(0).toLatin1());
            QTest::qWait(50);
        } else {
            box->setEditText(typed);
        }
        QCOMPARE(before.secsTo(Clock::current()), 1); // the wait for the rest of the number
        QCOMPARE(get("Announce"), stored.isNull() ? QStringLiteral("15") : stored);
        QCOMPARE(m_host->said, said.isNull() ? QStringList() : QStringList{said});
    }

    void quietHours_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("shown"); // the two boxes after SET
        QTest::addColumn<bool>("accepted");
        QTest::newRow("7 and 9 padded") << "7"
                                        << "9"
                                        << "07 09" << true;
        QTest::newRow("over midnight") << "23"
                                       << "07"
                                       << "23 07" << true;
        QTest::newRow("0 and 0") << "0"
                                 << "0"
                                 << "00 00" << true;
        QTest::newRow("24") << "24"
                            << "06"
                            << "24 06" << false;
        QTest::newRow("empty") << ""
                               << "06"
                               << " 06" << false;
        QTest::newRow("letter padded, then refused") << "a"
                                                     << "06"
                                                     << "0a 06" << false;
    }
    void quietHours()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, shown);
        QFETCH(bool, accepted);
        open();
        m_host->said.clear();
        child<QLineEdit>("txt_quiet1")->setText(from);
        child<QLineEdit>("txt_quiet2")->setText(to);
        click("com_setquiet");
        QCOMPARE(text("txt_quiet1") + QLatin1Char(' ') + text("txt_quiet2"), shown);
        const QStringList parts = shown.split(QLatin1Char(' '));
        if (accepted) {
            QCOMPARE(get("QuietTime"), parts.join(QString()));
            QCOMPARE(m_host->said, QStringList{QStringLiteral("peedy: \\chr=\"Whisper\"\\We will whisper between %1 "
                                                              "and %2 hours")
                                                   .arg(parts[0], parts[1])});
        } else {
            QCOMPARE(get("QuietTime"), QStringLiteral("<missing>"));
            QCOMPARE(m_host->said, QStringList{QStringLiteral(
                                       "peedy: Hey, you did not enter a vaild hour from and to, please try again")});
        }
        QCOMPARE(dialogs::takeShownMessages(), QStringList());
    }

    void timeFormat_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("stored"); // null: refused
        QTest::newRow("24 Hour") << "24 Hour"
                                 << "0";
        QTest::newRow("12 Hour am/pm") << "12 Hour am/pm"
                                       << "1";
        QTest::newRow("small h") << "24 hour" << kMissing;
        QTest::newRow("empty") << "" << kMissing;
        QTest::newRow("tags around") << "<b>24 Hour</b>" << kMissing;
    }
    void timeFormat()
    {
        QFETCH(QString, choice);
        QFETCH(QString, stored);
        open();
        child<QComboBox>("com_format")->setEditText(choice);
        if (stored.isNull())
            dialogs::setNextAnswer(QMessageBox::Ok);
        click("Command2");
        if (stored.isNull()) {
            QCOMPARE(dialogs::takeShownMessages(),
                     QStringList{QStringLiteral("Chimewell\nYou didn`t enter a correct format, please try again")});
            QCOMPARE(get("format", QStringLiteral("data")), QStringLiteral("<missing>"));
            QCOMPARE(m_host->formats, QStringList());
        } else {
            QCOMPARE(dialogs::takeShownMessages(), QStringList());
            QCOMPARE(get("format", QStringLiteral("data")), stored);
            QCOMPARE(m_host->formats, QStringList{stored}); // the clock redrawn at once
        }
    }

    void colours_data()
    {
        QTest::addColumn<bool>("fore");
        QTest::addColumn<QColor>("chosen"); // invalid: the dialog was cancelled
        QTest::addColumn<QString>("stored");
        QTest::newRow("red text") << true << QColor(255, 0, 0) << "255";
        QTest::newRow("blue background") << false << QColor(0, 0, 255) << "16711680";
        QTest::newRow("text dialog cancelled") << true << QColor() << kMissing;
        QTest::newRow("background dialog cancelled") << false << QColor() << kMissing;
    }
    void colours()
    {
        QFETCH(bool, fore);
        QFETCH(QColor, chosen);
        QFETCH(QString, stored);
        m_host->fore = QColor(0, 128, 0);
        m_host->back = QColor(255, 255, 0);
        open();
        const QColor oldFore = m_host->fore, oldBack = m_host->back;
        auto *swatch = child<QLineEdit>(fore ? "txt_forecolour" : "txt_backcolour");
        QCOMPARE(swatch->palette().color(QPalette::Base), fore ? oldFore : oldBack); // from the clock, not the store
        dialogs::setNextColour(chosen);
        click(fore ? "com_changefore" : "com_changeback");
        const QColor expected = chosen.isValid() ? chosen : (fore ? oldFore : oldBack);
        QCOMPARE(swatch->palette().color(QPalette::Base), expected);
        QCOMPARE(fore ? m_host->fore : m_host->back, expected);
        QCOMPARE(fore ? m_host->back : m_host->fore, fore ? oldBack : oldFore);
        QCOMPARE(get(fore ? "ForeColour" : "BackColour"), stored.isNull() ? QStringLiteral("<missing>") : stored);
    }

    void typeAndSpeak_data()
    {
        QTest::addColumn<QString>("character1");
        QTest::addColumn<QString>("character2");
        QTest::addColumn<QString>("chosen"); // null: as loaded (character 1)
        QTest::addColumn<QString>("talk");
        QTest::addColumn<QString>("who");
        const QString tags = QStringLiteral("\\emp\\Hello \\chr=\"Whisper\"\\<b>there</b>\n\"quoted\"");
        QTest::newRow("as loaded: character 1") << "max"
                                                << "plany" << kMissing << tags << "genie";
        QTest::newRow("character 2 chosen") << "max"
                                            << "plany"
                                            << "plany"
                                            << "hi"
                                            << "peedy";
        QTest::newRow("other text: character 2") << "max"
                                                 << "plany"
                                                 << "Max"
                                                 << "hi"
                                                 << "peedy";
        QTest::newRow("same names: character 1") << "max"
                                                 << "max"
                                                 << "max"
                                                 << "hi"
                                                 << "genie";
        QTest::newRow("empty text is said") << "max"
                                            << "plany" << kMissing << ""
                                            << "genie";
        QTest::newRow("100000 characters whole") << "max"
                                                 << "plany" << kMissing << odd100k() << "genie";
    }
    void typeAndSpeak()
    {
        QFETCH(QString, character1);
        QFETCH(QString, character2);
        QFETCH(QString, chosen);
        QFETCH(QString, talk);
        QFETCH(QString, who);
        set("LastCharacter", character1);
        set("LastCharacter2", character2);
        open();
        m_host->said.clear();
        auto *combo = child<QComboBox>("Combo1");
        QCOMPARE(combo->itemText(0) + QLatin1Char(',') + combo->itemText(1),
                 character2 + QLatin1Char(',') + character1);
        QCOMPARE(combo->currentText(), character1);
        if (!chosen.isNull())
            combo->setEditText(chosen);
        child<QPlainTextEdit>("txt_speech")->setPlainText(talk);
        click("com_speak");
        QCOMPARE(m_host->said, QStringList{who + QStringLiteral(": ") + talk});
    }

    void startWithDesktop_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("entryBefore");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("said"); // null: a message box instead
        QTest::newRow("on") << kMissing << false << false << "True"
                            << "peedy: Chimewell will now start with windows";
        QTest::newRow("off") << "True" << true << false << "False"
                             << "genie: Chimewell will no longer start when windows does!";
        QTest::newRow("off, entry already gone") << "True" << false << false << "False"
                                                 << "genie: Chimewell will no longer start when windows does!";
        QTest::newRow("on fails: stays off") << "False" << false << true << "False" << kMissing;
        QTest::newRow("off fails: stays on") << "True" << true << true << "True" << kMissing;
        QTest::newRow("on fails but an entry is there") << "False" << true << true << "True" << kMissing;
    }
    void startWithDesktop()
    {
        QFETCH(QString, before);
        QFETCH(bool, entryBefore);
        QFETCH(bool, fails);
        QFETCH(QString, after);
        QFETCH(QString, said);
        if (!before.isNull())
            set("LoadWithWindows", before);
        platform::dummy::state().autostartEntry = entryBefore;
        open();
        m_host->said.clear();
        platform::dummy::state().autostartFails = fails;
        if (said.isNull())
            dialogs::setNextAnswer(QMessageBox::Ok);
        click("chk_LWW");
        QCOMPARE(get("LoadWithWindows"), after);
        QCOMPARE(checked("chk_LWW"), after == QLatin1String("True"));
        QCOMPARE(platform::dummy::state().autostartEntry, after == QLatin1String("True"));
        const QStringList messages = dialogs::takeShownMessages();
        if (said.isNull()) {
            QCOMPARE(messages.size(), 1);
            QVERIFY(messages.first().startsWith(QLatin1String("Chimewell\nChimewell could not")));
            QCOMPARE(m_host->said, QStringList());
        } else {
            QCOMPARE(messages, QStringList());
            QCOMPARE(m_host->said, QStringList{said});
        }
    }

    // Text boxes take anything and store exactly that.
    void textBoxesStoreAnything_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        const QString odd = QStringLiteral("<script>'\"\\n\t=;[Data]\x01\x1f\x7f é €");
        QTest::newRow("alarm message, odd") << "txt_message1"
                                            << "AlarmMessage" << odd;
        QTest::newRow("alarm 2 message, 100000") << "txt_message2"
                                                 << "AlarmMessage2" << odd100k();
        QTest::newRow("start-up message, odd") << "txt_startupmessage"
                                               << "StartupMessage" << odd;
        QTest::newRow("user name, 100000") << "txt_username"
                                           << "UserName" << odd100k();
        QTest::newRow("user name emptied") << "txt_username"
                                           << "UserName"
                                           << "";
    }
    void textBoxesStoreAnything()
    {
        QFETCH(QString, box);
        QFETCH(QString, key);
        QFETCH(QString, text);
        set("mode", QStringLiteral("advanced"));
        open();
        auto *line = child<QLineEdit>(box.toLatin1());
        line->setFocus();
        line->selectAll();
        line->insert(text); // as a paste does
        QCOMPARE(line->text(), text);
        QCOMPARE(store::value(QStringLiteral("Data"), key, QStringLiteral("<missing>")), text);
    }

    void flashingModeLabel()
    {
        open();
        auto *label = child<QLabel>("lab_mode");
        const QColor start = label->palette().color(QPalette::Window);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));
        m_dialog->Timer1_Timer();
        QCOMPARE(label->palette().color(QPalette::Window), QColor(255, 0, 0));
        m_dialog->Timer1_Timer();
        QCOMPARE(label->palette().color(QPalette::Window), start);
        QPalette pal = label->palette();
        pal.setColor(QPalette::Window, Qt::green); // any other colour is left alone
        label->setPalette(pal);
        m_dialog->Timer1_Timer();
        QCOMPARE(label->palette().color(QPalette::Window), QColor(Qt::green));
    }

    // Change calls the clock's change and closes the dialog, also when the
    // clock has closed it on the way.
    void changeCharacter_data()
    {
        QTest::addColumn<int>("character");
        QTest::addColumn<bool>("clockCloses");
        QTest::newRow("character 1") << 1 << false;
        QTest::newRow("character 2, closed by the clock") << 2 << true;
    }
    void changeCharacter()
    {
        QFETCH(int, character);
        QFETCH(bool, clockCloses);
        open().showTab(frm_settings::CharactersTab);
        QPointer<frm_settings> dialog = m_dialog;
        if (clockCloses)
            m_host->duringChange = [dialog] { dialog->close(); };
        click(character == 1 ? "com_changechar1" : "com_changechar2");
        QCOMPARE(m_host->changes, QList<int>{character});
        QVERIFY(!dialog->isVisible());
        QTRY_VERIFY(!dialog); // closed means gone: the next opening loads afresh
    }

    // Tab walks every control of a page in reading order, and each one has a name for screen readers.
    void keyboard_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("order");
        QTest::newRow("alarm 1") << 0 << "txt_hour1 txt_min1 com_set1 chk_repeat1 txt_launch1 com_change1 txt_message1";
        QTest::newRow("characters")
            << 2
            << "txt_character1 com_changechar1 chk_hide1 txt_character2 com_changechar2 chk_hide2 Combo2 txt_quiet1 "
               "txt_quiet2 com_setquiet";
        QTest::newRow("colours") << 3 << "com_changefore com_changeback";
        QTest::newRow("help") << 4 << "Text1";
        QTest::newRow("type and speak") << 5 << "txt_speech Combo1 com_speak";
        QTest::newRow("misc") << 6 << "chk_LWW com_format Command2 key_saytime com_nokey txt_username lab_mode";
    }
    void keyboard()
    {
        QFETCH(int, tab);
        QFETCH(QString, order);
        open().showTab(tab);
        QVERIFY(QTest::qWaitForWindowActive(m_dialog));
        m_host->said.clear();
        QStringList walked;
        for (int i = 0; i < 20; ++i) {
            QVERIFY(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *w = QApplication::focusWidget();
            QVERIFY(w);
            if (w == m_dialog->SSTab1()->tabBar())
                break;
            walked << w->objectName();
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
        QCOMPARE(walked.join(QLatin1Char(' ')), order);
        // Entering the announce box with the keyboard brings its spoken hint, once.
        const QStringList hint{QStringLiteral("peedy: You can enter any number between 1 and 60 in this box")};
        QCOMPARE(m_host->said, tab == frm_settings::CharactersTab ? hint : QStringList());
        // Every label that names a box is tied to it.
        for (QLabel *label : m_dialog->SSTab1()->widget(tab)->findChildren<QLabel *>()) {
            if (label->text().startsWith(QLatin1String("This is")) || label->text().startsWith(QLatin1String("Alarm")))
                QVERIFY2(label->buddy(), qPrintable(label->text()));
        }
    }

    // Boxes select their whole text when they get the focus, so typing replaces it.
    void selectAllOnFocus()
    {
        set("AlarmTime1", QStringLiteral("0730"));
        open().showTab(frm_settings::AlarmTab1);
        QVERIFY(QTest::qWaitForWindowActive(m_dialog));
        m_dialog->focusAlarmHour();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("08"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("45"));
        QCOMPARE(text("txt_hour1") + text("txt_min1"), QStringLiteral("0845"));
    }
};

QTEST_MAIN(TestFrmSettings)
#include "tst_frm_settings.moc"
