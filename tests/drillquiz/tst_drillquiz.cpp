// The quiz as the child meets it: what the character is asked to say, in
// which order, for every kind of answer, time-out and end of game.
#include "addons/drillquiz/frm_xtables.h"
#include "addons/drillquiz/quizrules.h"
#include "common/screenarea.h"
#include "common/dialogs.h"
#include "common/platform_dummy.h"
#include "common/program.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"
#include "tests/support/logcapture.h"
#include "tests/support/temphome.h"
#include "tests/support/testclock.h"
#include "tests/support/warnings.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace chimewell;
using namespace chimewell::drillquiz;
using chimewell::testing::TempHome;
using chimewell::testing::TestClock;

namespace {
const int kFactors[12] = {5, 2, 8, 12, 1, 9, 3, 11, 4, 10, 6, 7};
QString question(int table, int factor)
{
    return QStringLiteral("What is %1, times %2 ?").arg(table).arg(factor);
}
const QString kRight = QStringLiteral("Well Done!, try another");
const QString kRightLast = QStringLiteral("Well Done!, that was the last question");
} // namespace

class DrillquizTest final : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<frm_xtables> m_form;
    int m_table = 7;
    int m_draws = 0;

    QLineEdit *answerBox() { return m_form->findChild<QLineEdit *>(QStringLiteral("txt_answer")); }
    QString shown(const char *name) { return m_form->findChild<QLineEdit *>(QLatin1String(name))->text(); }
    QPushButton *newTableButton() { return m_form->findChild<QPushButton *>(QStringLiteral("Command1")); }

    static QStringList requests() { return testing::capturedLines(QStringLiteral("chimewell.agent")); }
    // What `id` was asked to say, in order.
    static QStringList speech(const QString &id = QStringLiteral("max"))
    {
        QStringList out;
        const QString prefix = id + QStringLiteral(" Speak ");
        for (const QString &l : requests()) {
            if (l.startsWith(prefix))
                out << l.mid(prefix.size());
        }
        return out;
    }
    static void clearLog() { testing::capturedLog().clear(); }

    // Start-up, then the table is drawn: the first question is open.
    void startGame()
    {
        m_form->Form_Load();
        m_form->Timer1_Timer();
        QVERIFY(m_form->awaitingAnswer());
        QCOMPARE(m_form->tableNo(), m_table);
    }
    void answer(const QString &text)
    {
        answerBox()->setText(text);
        QTest::keyClick(answerBox(), Qt::Key_Return);
    }
    void answerRight(int questions)
    {
        for (int q = 0; q < questions; ++q)
            answer(QString::number(m_table * kFactors[m_form->questionNo() - 1]));
    }
    void runOutOfTime()
    {
        for (int s = 0; s < 15; ++s)
            m_form->timer2_Timer();
    }

private Q_SLOTS:
    void initTestCase() { testing::startLogCapture(); }

    void init()
    {
        testing::failOnUnexpectedWarnings();
        m_home = std::make_unique<TempHome>();
        platform::dummy::reset();
        platform::dummy::state().programFolder = m_home->programFolder();
        QVERIFY(m_home->addCharacter(QStringLiteral("max")));
        QVERIFY(m_home->addCharacter(QStringLiteral("check")));
        store::setValue(keys::Data, keys::LastCharacter, QStringLiteral("check"));
        store::setValue(keys::Data, keys::LastCharacter2, QStringLiteral("max"));
        m_clock = std::make_unique<TestClock>(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 30)));
        m_table = 7;
        m_draws = 0;
        m_form = std::make_unique<frm_xtables>();
        // A draw that gives m_table in whatever second it is made; a second-0
        // draw gives 0 however it is made. Should the quiz draw on and on
        // within one second, time is moved on, so the test fails instead of hanging.
        m_form->setRandomSource([this] {
            if (++m_draws % 1000 == 0)
                m_clock->advance(1000);
            const int s = m_clock->now().time().second();
            return s == 0 ? 0.5 : (m_table + 0.2) / (s * 50.0);
        });
        clearLog();
    }

    void cleanup()
    {
        m_form.reset();
        clearEnding();
        m_clock.reset();
        m_home.reset();
    }

    // The whole game right: the start-up, the factor order, the count, the
    // best summary, and No ends the quiz and starts the clock again.
    void wholeGameInOrder()
    {
        dialogs::setNextAnswer(QMessageBox::No);
        startGame();
        answerRight(12);
        QStringList expected{QStringLiteral("Hello there, are you ready to learn your times tables?"),
                             QStringLiteral("Okay, I will choose which table to learn today"),
                             QStringLiteral("Right then, I have chosen to do the, 7 times table !")};
        for (int i = 0; i < 12; ++i)
            expected << question(7, kFactors[i]) << (i < 11 ? kRight : kRightLast);
        expected << QStringLiteral("Well done, you are very clever. You got 12, correct out of 12 questions")
                 << QStringLiteral("Do you want to play again?");
        QCOMPARE(speech(), expected);
        QCOMPARE(requests().mid(0, 4), QStringList({"max Load max.acs", "max Show", "max MoveTo 50,50,200",
                                                    "max Speak " + expected.first()}));
        QCOMPARE(dialogs::takeShownMessages(), QStringList{"Attention!\nDo you want to play again?"});
        QCOMPARE(shown("txt_correct"), QStringLiteral("12"));
        QCOMPARE(shown("txt_question"), QStringLiteral("12"));
        QVERIFY(isEnding());
        QCOMPARE(testing::capturedLines(QStringLiteral("chimewell.launch")),
                 QStringList{"start " + m_home->programFolder() + "/chimewell failed"});
    }

    void judging_data()
    {
        QTest::addColumn<int>("questionNo");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("reply");
        const QString wrong35 = QStringLiteral("Wrong, the answer was 35, try again.");
        QTest::newRow("right") << 1 << "35" << kRight;
        QTest::newRow("35.4 counts as 35") << 1 << "35.4" << kRight;
        QTest::newRow("blanks around the number") << 1 << "  35 " << kRight;
        QTest::newRow("34.5 rounds to the even 34") << 1 << "34.5" << wrong35;
        QTest::newRow("wrong") << 1 << "36" << wrong35;
        QTest::newRow("empty counts as 0") << 1 << "" << wrong35;
        QTest::newRow("letters count as 0") << 1 << "thirty five" << wrong35;
        QTest::newRow("too large for a whole number counts as 0") << 1 << "65571" << wrong35;
        QTest::newRow("right on question 11") << 11 << "42" << kRight;
        QTest::newRow("right on the last question") << 12 << "49" << kRightLast;
        QTest::newRow("wrong on the last question")
            << 12 << "48" << QStringLiteral("Wrong, That was the last question, the answer was 49");
    }
    // An answer is judged once, what the character still says is cut, and
    // the next question follows (never the same one again).
    void judging()
    {
        QFETCH(int, questionNo);
        QFETCH(QString, typed);
        QFETCH(QString, reply);
        dialogs::setNextAnswer(QMessageBox::No);
        startGame();
        answerRight(questionNo - 1);
        QCOMPARE(m_form->questionNo(), questionNo);
        const int before = m_form->correctCount();
        clearLog();
        answer(typed);
        const QStringList log = requests();
        QVERIFY2(log.size() >= 3, qPrintable(log.join('\n')));
        QCOMPARE(log.at(0), QStringLiteral("max Stop"));
        QCOMPARE(log.at(1), "max Speak " + reply);
        const bool right = reply == kRight || reply == kRightLast;
        QCOMPARE(m_form->correctCount(), before + (right ? 1 : 0));
        if (questionNo < 12)
            QCOMPARE(log.at(2), "max Speak " + question(7, kFactors[questionNo]));
        else
            QVERIFY(log.at(2).startsWith(QStringLiteral("max Speak Well done, you are very clever. You got 1")));
        QCOMPARE(log.filter(QStringLiteral("Speak What is")).size(), questionNo < 12 ? 1 : 0);
    }

    void timeOut_data()
    {
        QTest::addColumn<int>("questionNo");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("next");
        const QString again = QStringLiteral("\\emp\\You ran out of time!, try another!");
        QTest::newRow("question 1") << 1 << again << question(7, 2);
        QTest::newRow("question 11") << 11 << again << question(7, 7);
        QTest::newRow("question 12") << 12 << QStringLiteral("\\emp\\You ran out of time!, that was the last question!")
                                     << QStringLiteral(
                                            "Well done, you are very clever. You got 11, correct out of 12 questions");
    }
    // Fifteen ticks count the time down to 0; the character says so and the
    // quiz goes on with the next question (or the end of the game).
    void timeOut()
    {
        QFETCH(int, questionNo);
        QFETCH(QString, reply);
        QFETCH(QString, next);
        dialogs::setNextAnswer(QMessageBox::No);
        startGame();
        answerRight(questionNo - 1);
        clearLog();
        QStringList countdown;
        for (int s = 0; s < 14; ++s) {
            m_form->timer2_Timer();
            countdown << shown("txt_remaining");
        }
        QCOMPARE(countdown.first(), QStringLiteral("14"));
        QCOMPARE(countdown.last(), QStringLiteral("1"));
        QVERIFY(requests().isEmpty());
        m_form->timer2_Timer();
        QCOMPARE(speech().mid(0, 2), QStringList({reply, next}));
        QVERIFY(!requests().contains(QStringLiteral("max Stop")));
    }

    void summaries_data()
    {
        QTest::addColumn<int>("right");
        QTest::addColumn<QString>("summary");
        QTest::newRow("10 right") << 10 << "Well done, you are very clever. You got 10, correct out of 12 questions";
        QTest::newRow("9 right")
            << 9
            << "You did okay, lets see if you can do better next time!, you got 9 right answers out of 12 questions";
        QTest::newRow("6 right")
            << 6
            << "You did okay, lets see if you can do better next time!, you got 6 right answers out of 12 questions";
        QTest::newRow("5 right") << 5
                                 << "Hey, its not so bad, you were just having a bad time!, why dont you try again";
        QTest::newRow("none right") << 0
                                    << "Hey, its not so bad, you were just having a bad time!, why dont you try again";
    }
    // The summary follows the count; Yes starts a new game with a new table.
    void summaries()
    {
        QFETCH(int, right);
        QFETCH(QString, summary);
        dialogs::setNextAnswer(QMessageBox::Yes);
        startGame();
        answerRight(right);
        for (int q = right; q < 12; ++q)
            answer(QStringLiteral("0"));
        // Yes: the next game is under way, its first question open and scored afresh.
        const QStringList said = speech();
        const int at = said.indexOf(summary);
        QVERIFY2(at > 0, qPrintable(said.join('\n')));
        QCOMPARE(said.mid(at + 1, 3),
                 QStringList({QStringLiteral("Do you want to play again?"),
                              QStringLiteral("Right then, I have chosen to do the, 7 times table !"), question(7, 5)}));
        QVERIFY(m_form->awaitingAnswer());
        QCOMPARE(m_form->questionNo(), 1);
        QCOMPARE(shown("txt_correct"), QStringLiteral("0"));
        QVERIFY(!isEnding());
    }

    void characters_data()
    {
        QTest::addColumn<QString>("stored"); // xtables/LastCharacter before the start
        QTest::addColumn<bool>("named");     // the clock has stored its character names
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QString>("written");
        QTest::newRow("first start: character 2") << QString() << true << "max"
                                                  << "2";
        QTest::newRow("after 1: character 2") << "1" << true << "max"
                                              << "2";
        QTest::newRow("1 as a number") << " 1.0" << true << "max"
                                       << "2";
        QTest::newRow("after 2: character 1") << "2" << true << "check"
                                              << "1";
        QTest::newRow("not a number: character 1") << "x" << true << "check"
                                                   << "1";
        QTest::newRow("no stored name: Max") << "1" << false << "Max"
                                             << "2";
        QTest::newRow("no stored name: Check") << "2" << false << "Check"
                                               << "1";
    }
    // The quiz takes the clock's characters in turn, character 2 first.
    void characters()
    {
        QFETCH(QString, stored);
        QFETCH(bool, named);
        QFETCH(QString, loaded);
        QFETCH(QString, written);
        if (!named)
            QVERIFY(QFile::remove(store::filePath(QString::fromLatin1(store::kApplication))));
        if (!stored.isNull())
            store::setValue(keys::xtables, keys::LastCharacter, stored);
        m_form->Form_Load();
        QCOMPARE(requests().first(), loaded + " Load " + loaded + ".acs");
        QCOMPARE(m_form->speaker().id(), loaded);
        QCOMPARE(store::value(keys::xtables, keys::LastCharacter), written);
    }

    // Two starts in a row: character 2, then character 1.
    void twoStartsAlternate()
    {
        QStringList ids;
        for (int run = 0; run < 2; ++run) {
            m_form = std::make_unique<frm_xtables>();
            m_form->Form_Load();
            ids << m_form->speaker().id();
        }
        QCOMPARE(ids, QStringList({"max", "check"}));
    }

    void inputWithoutOpenQuestion_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<QString>("input");
        for (const char *when : {"before the first table", "while a time-out is said"}) {
            for (const char *input : {"ENTER", "Enter key", "CHOOSE A NEW TABLE"})
                QTest::addRow("%s %s", input, when) << when << input;
        }
    }
    // Without an open question input does nothing; after a time-out exactly
    // one next question follows whatever the user does in the wait.
    void inputWithoutOpenQuestion()
    {
        QFETCH(QString, when);
        QFETCH(QString, input);
        auto act = [this, input] {
            answerBox()->setText(QStringLiteral("35"));
            if (input == QLatin1String("ENTER"))
                m_form->Command2_Click();
            else if (input == QLatin1String("Enter key"))
                QTest::keyClick(answerBox(), Qt::Key_Return);
            else
                m_form->Command1_Click();
        };
        if (when.startsWith(QLatin1String("before"))) {
            m_form->Form_Load();
            clearLog();
            act();
            QCOMPARE(requests(), QStringList());
            QCOMPARE(m_form->correctCount(), 0);
            return;
        }
        startGame();
        for (int s = 0; s < 14; ++s)
            m_form->timer2_Timer();
        QVERIFY(newTableButton()->isVisibleTo(m_form.get()));
        clearLog();
        // Runs inside the wait that follows the time-out.
        QTimer::singleShot(0, m_form.get(), act);
        m_form->timer2_Timer();
        QCOMPARE(speech(), QStringList({QStringLiteral("\\emp\\You ran out of time!, try another!"), question(7, 2)}));
        QCOMPARE(requests().size(), 2);
        QCOMPARE(m_form->questionNo(), 2);
        QVERIFY(m_form->awaitingAnswer());
    }

    // CHOOSE A NEW TABLE while a question is open: the speech is cut, a new
    // table is drawn and the score starts again.
    void newTable()
    {
        startGame();
        answerRight(2);
        QCOMPARE(m_form->correctCount(), 2);
        clearLog();
        m_table = 3;
        QTest::mouseClick(newTableButton(), Qt::LeftButton);
        QCOMPARE(requests(), QStringList({"max Stop", "max Speak Right then, I have chosen to do the, 3 times table !",
                                          "max Speak " + question(3, 5)}));
        QCOMPARE(m_form->questionNo(), 1);
        QCOMPARE(m_form->correctCount(), 0);
        QCOMPARE(shown("txt_correct"), QStringLiteral("0"));
    }

    void secondZero_data()
    {
        QTest::addColumn<QTime>("at");
        QTest::newRow("start of second 0") << QTime(10, 1, 0, 0);
        QTest::newRow("end of second 0") << QTime(10, 1, 0, 999);
    }
    // A draw in second 0 of a minute can give no table: the quiz waits for the
    // next second instead of drawing in vain, then draws from it.
    void secondZero()
    {
        QFETCH(QTime, at);
        m_form->Form_Load();
        m_clock->set(at);
        clearLog();
        m_draws = 0;
        m_form->Timer1_Timer();
        QVERIFY2(m_draws <= 2, qPrintable(QString::number(m_draws)));
        QCOMPARE(speech().value(0), QStringLiteral("Right then, I have chosen to do the, 7 times table !"));
        // The wait ends at the change of second, then the table speech's 9 s and the question's 1 s.
        QCOMPARE(m_clock->now().time(), QTime(10, 1, 11));
    }

    // The window fits the monitor at any scale, and neither the character
    // nor its balloon covers it: the character keeps its place where there
    // is room, the fonts shrink only as far as they must.
    void layoutFitsTheScreen_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QSize>("character");
        QTest::addColumn<double>("scale");
        QTest::addColumn<bool>("usualPlace");
        const QSize plany(160, 128);
        QTest::newRow("1280x1024") << QRect(0, 0, 1280, 1024) << plany << 1.0 << true;
        QTest::newRow("1280x1024 at scale 2 (640x512)") << QRect(0, 0, 640, 512) << plany << 0.7 << false;
        QTest::newRow("800x600: no room by the usual place") << QRect(0, 0, 800, 600) << plany << 1.0 << false;
        QTest::newRow("a second monitor") << QRect(1280, 0, 1024, 768) << plany << 1.0 << false;
        QTest::newRow("no character") << QRect(0, 0, 640, 512) << QSize() << 0.9 << true;
    }
    void layoutFitsTheScreen()
    {
        QFETCH(QRect, area);
        QFETCH(QSize, character);
        QFETCH(double, scale);
        QFETCH(bool, usualPlace);
        // Like the quiz's window: 662 x 317 at the design's fonts, in step with them.
        const auto sizeAt = [](double s) { return (QSizeF(662, 317) * s).toSize(); };
        const QuizLayout layout = arrangeQuiz(area, character, sizeAt);
        QCOMPARE(layout.fontScale, scale);
        QCOMPARE(layout.window.size(), sizeAt(scale));
        QVERIFY(area.contains(layout.window));
        QCOMPARE(layout.character == kCharacterPlace, usualPlace);
        if (character.isValid()) {
            const QRect stands(layout.character, character);
            QVERIFY(area.contains(stands));
            QVERIFY(!screenarea::speakingRoom(stands, area).intersects(layout.window));
        }
    }
};

QTEST_MAIN(DrillquizTest)
#include "tst_drillquiz.moc"
