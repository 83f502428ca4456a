#include "addons/drillquiz/frm_xtables.h"

#include "addons/drillquiz/quizrules.h"
#include "common/clock.h"
#include "common/convert.h"
#include "common/dialogs.h"
#include "common/launcher.h"
#include "common/pause.h"
#include "common/program.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"
#include "voice/tone.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>

namespace chimewell::drillquiz {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kSeconds = 15;
// Draws in one second before giving that second up; the odds of a table are
// worst in second 59 (about one draw in 250), so this only ever stops a broken generator.
constexpr int kMaxDrawsPerSecond = 100000;

constexpr double kLabelPoints = 24;
constexpr double kButtonPoints = 18;

QLabel *label(QWidget *parent, const char *name, const QString &text, const QColor &colour)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
    return l;
}

QLineEdit *textBox(QWidget *parent, const char *name, bool readOnly, const QString &accessible)
{
    auto *t = new QLineEdit(parent);
    t->setObjectName(QLatin1String(name));
    t->setReadOnly(readOnly);
    t->setAlignment(Qt::AlignCenter);
    t->setAccessibleName(accessible);
    if (readOnly)
        t->setFocusPolicy(Qt::NoFocus);
    return t;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QFont sansSerif(double points)
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSizeF(points);
    return f;
}

} // namespace

frm_xtables::frm_xtables(QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint), m_speaker(new agent::SpeakingCharacter(QStringLiteral("Agent1"), this)),
      m_tone(new voice::TonePlayer(this))
{
    setObjectName(QStringLiteral("frm_xtables"));
    setWindowTitle(QStringLiteral("Times Tables"));
    // Not seeded from the clock: the draw mixes in the seconds of the time.
    auto generator = std::make_shared<QRandomGenerator>();
    m_random = [generator] { return generator->generateDouble(); };

    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);

    Label1 = label(this, "Label1", QStringLiteral("YOUR ANSWER IS"), Qt::white);
    Label2 = label(this, "Label2", QStringLiteral("TIME REMAINING"), Qt::yellow);
    Label3 = label(this, "Label3", QStringLiteral("QUESTION NUMBER"), Qt::green);
    // A blue that reads on black.
    Label4 = label(this, "Label4", QStringLiteral("YOU HAVE GOT"), QColor(0x40, 0x70, 0xff));
    Label5 = label(this, "Label5", QStringLiteral("CORRECT"), QColor(0x40, 0x70, 0xff));
    txt_answer = textBox(this, "txt_answer", false, QStringLiteral("Your answer is"));
    txt_remaining = textBox(this, "txt_remaining", true, QStringLiteral("Time remaining"));
    txt_remaining->setText(QString::number(kSeconds));
    txt_question = textBox(this, "txt_question", true, QStringLiteral("Question number"));
    txt_correct = textBox(this, "txt_correct", true, QStringLiteral("Answers correct"));
    Label1->setBuddy(txt_answer);
    Command1 = button(this, "Command1", QStringLiteral("CHOOSE A NEW TABLE"));
    Command2 = button(this, "Command2", QStringLiteral("ENTER"));
    Command3 = button(this, "Command3", QStringLiteral("EXIT"));
    Command2->setAccessibleDescription(QStringLiteral("Give the answer typed"));
    // Shown only while a question is open: its room is kept, so the window
    // never has to grow over the character when it comes.
    QSizePolicy keep = Command1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    Command1->setSizePolicy(keep);

    m_grid = new QGridLayout(this);
    m_grid->addWidget(Label1, 0, 0);
    m_grid->addWidget(txt_answer, 0, 1);
    m_grid->addWidget(Command2, 0, 2);
    m_grid->addWidget(Label2, 1, 0);
    m_grid->addWidget(txt_remaining, 1, 1);
    m_grid->addWidget(Label3, 2, 0);
    m_grid->addWidget(txt_question, 2, 1);
    m_grid->addWidget(Label4, 3, 0);
    m_grid->addWidget(txt_correct, 3, 1);
    m_grid->addWidget(Label5, 3, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addStretch(1);
    buttons->addWidget(Command3);
    m_grid->addLayout(buttons, 4, 0, 1, 3);
    m_grid->setRowStretch(4, 1);
    m_grid->setColumnStretch(2, 1);
    setFontScale(1.0);
    arrange(QSize());

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setSingleShot(true);
    timer2.setObjectName(QStringLiteral("timer2"));
    timer2.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &frm_xtables::Timer1_Timer);
    connect(&timer2, &QTimer::timeout, this, &frm_xtables::timer2_Timer);
    connect(Command1, &QPushButton::clicked, this, &frm_xtables::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frm_xtables::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frm_xtables::Command3_Click);
    connect(txt_answer, &QLineEdit::returnPressed, this, &frm_xtables::judge);
    txt_answer->installEventFilter(this);
}

frm_xtables::~frm_xtables() = default;

void frm_xtables::setRandomSource(RandomSource source)
{
    if (source)
        m_random = std::move(source);
}

void frm_xtables::Form_Load()
{
    m_awaitingAnswer = false;
    Command1->hide();

    // The quiz takes the clock's two characters in turn, character 2 first.
    const QString last =
        store::value(QLatin1String(keys::xtables), QLatin1String(keys::LastCharacter), QStringLiteral("1"));
    const bool useTwo = convert::toNumber(last) == 1.0;
    store::setValue(QLatin1String(keys::xtables), QLatin1String(keys::LastCharacter),
                    useTwo ? QStringLiteral("2") : QStringLiteral("1"));
    if (useTwo)
        m_speaker->loadStored(CharacterSlot::Two, QStringLiteral("Max"));
    else
        m_speaker->loadStored(CharacterSlot::One, QStringLiteral("Check"));
    m_speaker->show();
    // The window makes room for the character and its balloon, so neither
    // covers the answer or the time left; on a small screen the fonts shrink.
    const agent::Character *c = m_speaker->character();
    const QPoint place = arrange(c ? QSize(c->width(), c->height()) : QSize());
    m_speaker->moveTo(place.x(), place.y(), 200);

    m_speaker->speak(greetingText());
    if (!pause(8))
        return;
    m_speaker->speak(choosingText());
    Timer1.start(9000);
    show();
}

void frm_xtables::setFontScale(double scale)
{
    const QFont text = sansSerif(kLabelPoints * scale);
    for (QWidget *w : std::initializer_list<QWidget *>{Label1, Label2, Label3, Label4, Label5, txt_answer,
                                                       txt_remaining, txt_question, txt_correct})
        w->setFont(text);
    for (QLineEdit *t : {txt_answer, txt_remaining, txt_question, txt_correct})
        t->setFixedWidth(t->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    const QFont buttons = sansSerif(kButtonPoints * scale);
    for (QPushButton *b : {Command1, Command2, Command3})
        b->setFont(buttons);
    m_grid->setContentsMargins(qRound(24 * scale), qRound(18 * scale), qRound(24 * scale), qRound(18 * scale));
    m_grid->setHorizontalSpacing(qRound(14 * scale));
    m_grid->setVerticalSpacing(qRound(10 * scale));
    m_grid->invalidate();
    m_grid->activate();
}

QPoint frm_xtables::arrange(const QSize &character)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    // About 7875 x 4755 twips at the design's fonts, larger only when the fonts need it.
    const QuizLayout layout = arrangeQuiz(area, character, [this](double scale) {
        setFontScale(scale);
        return (QSizeF(7875.0 / kTwipsPerPixel, 4755.0 / kTwipsPerPixel) * scale)
            .toSize()
            .expandedTo(minimumSizeHint());
    });
    setFontScale(layout.fontScale);
    setGeometry(layout.window);
    return layout.character;
}

void frm_xtables::Form_Unload()
{
    if (m_unloading)
        return;
    m_unloading = true;
    startShipped(QStringLiteral("chimewell"));
    endProgram();
}

void frm_xtables::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!isEnding())
        Form_Unload();
}

void frm_xtables::Timer1_Timer()
{
    Timer1.stop();
    choosetable();
}

void frm_xtables::waitForNextSecond()
{
    const int ms = 1000 - Clock::current().time().msec();
    Clock::instance().wait(ms);
}

void frm_xtables::choosetable()
{
    int table = 0;
    while (table == 0) {
        const int seconds = Clock::current().time().second();
        // In second 0 every draw gives 0: rather than draw in vain until the
        // second changes, wait for it with the window alive and the core idle.
        for (int tries = 0; seconds != 0 && table == 0 && tries < kMaxDrawsPerSecond; ++tries)
            table = tableFromDraw(seconds, m_random());
        if (table == 0) {
            waitForNextSecond();
            if (isEnding())
                return;
        }
    }
    m_tableNo = table;
    m_speaker->speak(tableChosenText(m_tableNo));
    if (!pause(9))
        return;
    m_step = 1;
    m_correctCount = 0;
    txt_correct->setText(QStringLiteral("0"));
    m_questionNo = 0;
    txt_question->clear();
    m_secondsLeft = kSeconds;
    play();
}

void frm_xtables::play()
{
    Command1->hide();
    txt_answer->clear();
    txt_answer->setFocus();
    m_secondsLeft = kSeconds;
    txt_remaining->setText(QString::number(m_secondsLeft));
    if (m_step < 1 || m_step > int(kFactorOrder.size())) {
        endOfGame();
        return;
    }
    m_factor = kFactorOrder[size_t(m_step - 1)];
    ++m_step;
    m_speaker->speak(questionText(m_tableNo, m_factor));
    if (!pause(1))
        return;
    ++m_questionNo;
    txt_question->setText(QString::number(m_questionNo));
    m_secondsLeft = kSeconds;
    timer2.start();
    m_awaitingAnswer = true;
    Command1->show();
}

void frm_xtables::endOfGame()
{
    m_speaker->speak(summaryText(m_correctCount));
    if (!pause(8))
        return;
    m_speaker->speak(playAgainText());
    const bool again = dialogs::ask(this, QStringLiteral("Attention!"), playAgainText());
    if (isEnding())
        return;
    if (again)
        choosetable();
    else
        Form_Unload();
}

void frm_xtables::timer2_Timer()
{
    if (m_secondsLeft <= 0)
        return;
    --m_secondsLeft;
    txt_remaining->setText(QString::number(m_secondsLeft));
    beep();
    if (m_secondsLeft > 0)
        return;
    timer2.stop();
    // The question is closed now: an answer or a new table asked for in the
    // wait below would start a second next question beside the one that follows.
    m_awaitingAnswer = false;
    Command1->hide();
    m_speaker->speak(timeoutText(m_step == 13));
    if (!pause(5))
        return;
    play();
}

void frm_xtables::beep()
{
    if (!m_tone->play())
        QApplication::beep();
}

void frm_xtables::judge()
{
    if (!m_awaitingAnswer || m_tableNo == 0)
        return;
    m_awaitingAnswer = false;
    timer2.stop();
    Command1->hide();
    const int product = m_tableNo * m_factor;
    const bool last = m_step == 13;
    m_speaker->stop();
    if (answerValue(txt_answer->text()) == product) {
        m_speaker->speak(rightText(last));
        ++m_correctCount;
        txt_correct->setText(QString::number(m_correctCount));
        if (!pause(2))
            return;
    } else {
        m_speaker->speak(wrongText(product, last));
        if (!pause(4))
            return;
    }
    play();
}

void frm_xtables::Command1_Click()
{
    if (!m_awaitingAnswer)
        return;
    m_awaitingAnswer = false;
    Command1->hide();
    m_speaker->stop();
    Timer1.stop();
    timer2.stop();
    if (!pause(2))
        return;
    m_correctCount = 0;
    m_secondsLeft = kSeconds;
    txt_question->setText(QStringLiteral("0"));
    txt_correct->setText(QStringLiteral("0"));
    txt_remaining->setText(QString::number(kSeconds));
    choosetable();
}

void frm_xtables::Command2_Click()
{
    judge();
}

void frm_xtables::Command3_Click()
{
    Form_Unload();
}

bool frm_xtables::eventFilter(QObject *watched, QEvent *event)
{
    // Typing replaces the last answer.
    if (watched == txt_answer && event->type() == QEvent::FocusIn)
        QMetaObject::invokeMethod(txt_answer, &QLineEdit::selectAll, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

} // namespace chimewell::drillquiz
