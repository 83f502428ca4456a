// The seven tabs of the settings dialog: their controls, with the names,
// captions and tool tips the handlers, the tests and screen readers know them by.
#include "settings/frm_settings.h"

#include "settings/settingswidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace chimewell::setup {

using namespace detail;

namespace {

const char kSpeechText[] = "Type in some text, whatever you want to hear back \n"
                           "and then press Click Here To Speak. You can also \n"
                           "use \\emp\\Special commands like that or \n"
                           "\\chr=\"Whisper\"\\commands like whisper\n";

const char kHelp[] =
    "Some of the options described below are only offered in ADVANCED mode. To switch modes, open the "
    "MAIN OPTIONS window, go to the Misc tab and click the flashing line at the bottom; Chimewell then "
    "starts again in the other mode.\n"
    "\n"
    "How to:\n"
    "\n"
    "Make the clock speak the time\n"
    "Double click on the clock, or click once on the Chimewell icon in the task bar, and one of the "
    "characters tells you the time.\n"
    "\n"
    "Make the characters repeat what you type\n"
    "Open the Type and Speak tab, type your text in the box, choose which character should say it and "
    "click CLICK HERE TO SPEAK.\n"
    "\n"
    "Change the alarm settings\n"
    "On an alarm tab, type the hour in the first box and the minute in the second box, two digits each "
    "and in 24 hour form (07 30 for half past seven in the morning), then click SET. To start a program "
    "when the alarm rings, click Change and choose the program; to stop starting one, click Change and "
    "then Cancel. To change what the character says when the alarm rings, type your new message in the "
    "box at the bottom of the tab.\n"
    "\n"
    "Hide and show the clock\n"
    "Choose Hide the clock from the clock's menu. A hidden clock stays hidden, even after you restart "
    "the computer, until you choose SHOW on the Chimewell icon in the task bar.\n"
    "\n"
    "Change the characters\n"
    "On the Characters tab, click Change beside a character's name and choose a new character. Tick "
    "Hide character 1 after talking (or character 2) if you want a character to leave after each time "
    "it speaks.\n"
    "\n"
    "Change how often the time is announced\n"
    "On the Characters tab, type or choose any number between 1 and 60 in the Announce the time every "
    "box. The time is said every that many minutes, and always on the hour.\n"
    "\n"
    "Make the characters whisper during certain hours\n"
    "On the Characters tab, type the hour to start whispering and the hour to stop, in 24 hour form "
    "only (23 and 07 whispers through the night), then click SET.\n"
    "\n"
    "Change the clock colours\n"
    "On the Colours tab, click Change beside the text colour or the background colour and pick a new "
    "colour. The clock changes at once.\n"
    "\n"
    "Start Chimewell with Windows\n"
    "On the Misc tab, tick Start Chimewell with Windows: Chimewell then starts every time you log in "
    "to your desktop. Untick it to stop that.\n"
    "\n"
    "Change the start up message\n"
    "In ADVANCED mode the Misc tab shows the message that character 2 says after the characters have "
    "arrived. Type your own message in its box.\n"
    "\n"
    "Make the characters come back to the clock\n"
    "Choose Summon the characters to the clock from the Characters menu of the clock.\n"
    "\n"
    "Find out the version\n"
    "Choose About Chimewell from the clock's menu, or rest the mouse pointer on the Chimewell icon in "
    "the task bar.\n"
    "\n"
    "Close Chimewell\n"
    "Choose EXIT on the clock's menu, on a character's menu or on the menu of the Chimewell icon in "
    "the task bar.\n";

template <typename W> W *named(W *widget, const char *name, const char *toolTip, const QString &accessible)
{
    widget->setObjectName(QLatin1String(name));
    if (toolTip)
        widget->setToolTip(QString::fromUtf8(toolTip));
    widget->setAccessibleName(accessible);
    return widget;
}

QLabel *labelFor(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

QLineEdit *textBox(const char *name, const char *toolTip, const QString &accessible, const QString &initial = {})
{
    auto *box = named(new QLineEdit(initial), name, toolTip, accessible);
    box->setMaxLength(kUnlimited);
    return box;
}

QLineEdit *readOnlyBox(const char *name, const char *toolTip, const QString &accessible)
{
    auto *box = textBox(name, toolTip, accessible);
    box->setReadOnly(true);
    return box;
}

QPushButton *button(const char *name, const char *caption, const char *toolTip, const QString &accessible)
{
    auto *b = named(new QPushButton(QString::fromUtf8(caption)), name, toolTip, accessible);
    b->setAutoDefault(false);
    return b;
}

QCheckBox *checkBox(const char *name, const QString &caption, const char *toolTip)
{
    return named(new QCheckBox(caption), name, toolTip, caption);
}

// Names and texts that differ between the twin groups only by their number.
QByteArray numbered(const char *pattern, int n)
{
    return QByteArray(pattern).replace('#', QByteArray::number(n));
}

} // namespace
QWidget *frm_settings::buildAlarmTab(int n)
{
    AlarmControls &a = m_alarm[n - 1];
    const QString alarm = QStringLiteral("Alarm %1 ").arg(n);
    a.hour = textBox(numbered("txt_hour#", n), "Enter your new alarm hour in here", alarm + QStringLiteral("hour"),
                     QStringLiteral("99"));
    a.min = textBox(numbered("txt_min#", n), "Enter your new alarm minute in here and then click SET",
                    alarm + QStringLiteral("minute"), QStringLiteral("99"));
    a.set = button(numbered("com_set#", n), "SET", "Click here to set the new alarm time",
                   QStringLiteral("Set alarm %1").arg(n));
    a.clear = button(numbered("com_clear#", n), "Clear this alarm", nullptr, QStringLiteral("Clear alarm %1").arg(n));
    a.repeat = checkBox(numbered("chk_repeat#", n), QStringLiteral("Repeat this alarm daily"), nullptr);
    a.repeat->setAccessibleName(QStringLiteral("Repeat alarm %1 daily").arg(n));
    const QString launchCaption = QStringLiteral("Program to launch with alarm %1").arg(n);
    a.launch =
        readOnlyBox(numbered("txt_launch#", n), numbered("This program will launch with alarm #", n), launchCaption);
    a.change = button(numbered("com_change#", n), "Change", "Click here to change the launch program",
                      QStringLiteral("Change the program to launch with alarm %1").arg(n));
    const QString messageCaption = QStringLiteral("Alarm %1 spoken message, you may type in a new one").arg(n);
    a.message = textBox(numbered("txt_message#", n), "Enter your new alarm announcement in here", messageCaption);
    for (QLineEdit *box : {a.hour, a.min, a.message})
        selectAllOnFocus(box);
    for (QLineEdit *box : {a.hour, a.min}) {
        box->setAlignment(Qt::AlignCenter);
        box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);
    }

    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    auto *time = new QHBoxLayout;
    time->addWidget(labelFor(QStringLiteral("Alarm set for"), a.hour));
    time->addWidget(a.hour);
    time->addWidget(labelFor(QStringLiteral(":"), a.min));
    time->addWidget(a.min);
    time->addWidget(a.set);
    time->addStretch();
    grid->addLayout(time, 0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Please use 24 hour format")), 1, 0, 1, 2);
    auto *row = new QHBoxLayout;
    row->addWidget(a.repeat);
    row->addStretch();
    row->addWidget(a.clear);
    grid->addLayout(row, 2, 0, 1, 2);
    grid->addWidget(labelFor(launchCaption, a.launch), 3, 0, 1, 2);
    grid->addWidget(a.launch, 4, 0);
    grid->addWidget(a.change, 4, 1);
    grid->addWidget(labelFor(messageCaption, a.message), 5, 0, 1, 2);
    grid->addWidget(a.message, 6, 0, 1, 2);
    grid->setRowStretch(7, 1);
    // Keyboard order follows the reading order, not the order of creation.
    setTabOrder(a.hour, a.min);
    setTabOrder(a.min, a.set);
    setTabOrder(a.set, a.repeat);
    setTabOrder(a.repeat, a.clear);
    setTabOrder(a.clear, a.launch);
    setTabOrder(a.launch, a.change);
    setTabOrder(a.change, a.message);
    return page;
}

QWidget *frm_settings::buildCharactersTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *groups = new QHBoxLayout;
    for (int n = 1; n <= 2; ++n) {
        CharacterControls &c = m_character[n - 1];
        c.name = readOnlyBox(numbered("txt_character#", n), numbered("This is character #", n),
                             QStringLiteral("Character %1").arg(n));
        c.change = button(numbered("com_changechar#", n), "Change", numbered("Click here to change character #", n),
                          QStringLiteral("Change character %1").arg(n));
        c.hide = checkBox(numbered("chk_hide#", n), QStringLiteral("Hide character %1 after talking").arg(n),
                          "Click here to hide the character after talking");
        c.effects = checkBox(numbered("chk_effects#", n), QStringLiteral("Turn off character %1 sound effects").arg(n),
                             nullptr);
        auto *group = new QGroupBox(QStringLiteral("CHARACTER %1 SETTINGS").arg(n));
        group->setObjectName(QLatin1String(numbered("grp_character#", n)));
        auto *grid = new QGridLayout(group);
        grid->addWidget(labelFor(QStringLiteral("Character %1 is ").arg(n), c.name), 0, 0);
        grid->addWidget(c.name, 0, 1);
        grid->addWidget(c.change, 0, 2);
        grid->addWidget(c.hide, 1, 0, 1, 3);
        grid->addWidget(c.effects, 2, 0, 1, 3);
        grid->setRowStretch(3, 1);
        groups->addWidget(group);
    }
    layout->addLayout(groups);

    m_Combo2 = named(new QComboBox, "Combo2", "Enter the frequency that you want the time announcing in here",
                     QStringLiteral("Announce the time every so many minutes"));
    m_Combo2->setEditable(true);
    m_Combo2->setInsertPolicy(QComboBox::NoInsert);
    // The box stores what is typed: completing a typed 2 from the list would store 20.
    m_Combo2->setCompleter(nullptr);
    m_Combo2->lineEdit()->setMaxLength(kUnlimited);
    m_txt_quiet1 = textBox("txt_quiet1", "This is the HOUR to be quet FROM", QStringLiteral("Whisper from hour"));
    m_txt_quiet2 = textBox("txt_quiet2", "This is the HOUR to be quiet TO", QStringLiteral("Whisper until hour"));
    for (QLineEdit *box : {m_txt_quiet1, m_txt_quiet2}) {
        box->setMaxLength(2);
        box->setAlignment(Qt::AlignCenter);
        box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);
        selectAllOnFocus(box);
    }
    m_com_setquiet = button("com_setquiet", "SET", "Click here to SET the quiet time that you have entered",
                            QStringLiteral("Set the whisper hours"));

    auto *group = new QGroupBox;
    group->setObjectName(QStringLiteral("grp_announce"));
    auto *grid = new QGridLayout(group);
    auto *announce = new QHBoxLayout;
    announce->addWidget(labelFor(QStringLiteral("Announce the time every"), m_Combo2));
    announce->addWidget(m_Combo2);
    announce->addWidget(new QLabel(QStringLiteral("Minutes")));
    announce->addStretch();
    grid->addLayout(announce, 0, 0);
    auto *quiet = new QHBoxLayout;
    quiet->addWidget(labelFor(QStringLiteral("The clock will `Whisper` between"), m_txt_quiet1));
    quiet->addWidget(m_txt_quiet1);
    quiet->addWidget(labelFor(QStringLiteral("and"), m_txt_quiet2));
    quiet->addWidget(m_txt_quiet2);
    quiet->addWidget(m_com_setquiet);
    quiet->addStretch();
    grid->addLayout(quiet, 1, 0);
    layout->addWidget(group);
    layout->addStretch();
    return page;
}

QWidget *frm_settings::buildColoursTab()
{
    auto swatch = [](const char *name, const char *toolTip, const QString &accessible) {
        auto *box = readOnlyBox(name, toolTip, accessible);
        box->setFocusPolicy(Qt::NoFocus);
        box->setAutoFillBackground(true);
        return box;
    };
    m_txt_forecolour = swatch("txt_forecolour", "This is the text colour", QStringLiteral("Clock text colour"));
    m_com_changefore = button("com_changefore", "Change", "Click here to change the text colour",
                              QStringLiteral("Change the clock text colour"));
    m_txt_backcolour =
        swatch("txt_backcolour", "This is the background colour", QStringLiteral("Clock background colour"));
    m_com_changeback = button("com_changeback", "Change", "Click here to change the background colour",
                              QStringLiteral("Change the clock background colour"));

    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    grid->addWidget(labelFor(QStringLiteral("This the is current clock text colour"), m_com_changefore), 0, 0);
    grid->addWidget(m_txt_forecolour, 0, 1);
    grid->addWidget(m_com_changefore, 0, 2);
    grid->addWidget(labelFor(QStringLiteral("This the is current clock background colour"), m_com_changeback), 1, 0);
    grid->addWidget(m_txt_backcolour, 1, 1);
    grid->addWidget(m_com_changeback, 1, 2);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(3, 1);
    return page;
}

QWidget *frm_settings::buildHelpTab()
{
    m_Text1 = named(new QPlainTextEdit, "Text1", nullptr, QStringLiteral("Help"));
    m_Text1->setReadOnly(true);
    m_Text1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_Text1->setTabChangesFocus(true);
    m_Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_Text1->setPlainText(QString::fromUtf8(kHelp));
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(m_Text1);
    return page;
}

QWidget *frm_settings::buildSpeakTab()
{
    m_txt_speech = named(new QPlainTextEdit, "txt_speech",
                         "Enter some text in this box, and then CLICK on the `CLICK HERE TO SPEAK` button.",
                         QStringLiteral("Text to speak"));
    m_txt_speech->setPlainText(QString::fromUtf8(kSpeechText));
    m_txt_speech->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab leaves the box: keyboard users would be stuck in it otherwise.
    m_txt_speech->setTabChangesFocus(true);
    selectAllOnFocus(m_txt_speech);
    m_Combo1 = named(new QComboBox, "Combo1", "Choose the character that you want to speak",
                     QStringLiteral("Character to speak"));
    m_Combo1->setEditable(true);
    m_Combo1->setInsertPolicy(QComboBox::NoInsert);
    m_Combo1->lineEdit()->setMaxLength(kUnlimited);
    m_com_speak =
        button("com_speak", "CLICK HERE TO SPEAK", "Click here to speak the text", QStringLiteral("Speak the text"));

    auto *page = new QWidget;
    auto *outer = new QVBoxLayout(page);
    auto *frame = new QGroupBox(QStringLiteral("Say what I type !"));
    frame->setObjectName(QStringLiteral("grp_speak"));
    auto *layout = new QVBoxLayout(frame);
    layout->addWidget(m_txt_speech);
    auto *row = new QHBoxLayout;
    row->addWidget(labelFor(QStringLiteral("Select the character to speak in this box"), m_Combo1));
    row->addWidget(m_Combo1, 1);
    layout->addLayout(row);
    layout->addWidget(m_com_speak);
    outer->addWidget(frame);
    return page;
}

QWidget *frm_settings::buildMiscTab()
{
    m_chk_LWW = checkBox("chk_LWW", QStringLiteral("Start Chimewell with Windows"),
                         "Click here to make Chimewell start with windows");
    m_com_format =
        named(new QComboBox, "com_format", "Choose between 24 hour and 12 hour display", QStringLiteral("Time Format"));
    m_com_format->setEditable(true);
    m_com_format->setInsertPolicy(QComboBox::NoInsert);
    m_com_format->lineEdit()->setMaxLength(kUnlimited);
    m_Command2 = button("Command2", "SET", "Click here to confirm your choice", QStringLiteral("Set the time format"));
    m_txt_startupmessage = textBox("txt_startupmessage", "This message is read out by character 2 after loading",
                                   QStringLiteral("Start Up Message"));
    m_txt_username = textBox("txt_username", "This is your current user name", QStringLiteral("User Name"));
    m_lab_mode = named(new ClickableLabel(simpleModeCaption()), "lab_mode", nullptr,
                       QStringLiteral("Switch between simple and advanced mode"));
    m_lab_mode->setFocusPolicy(Qt::StrongFocus);
    m_lab_mode->setAlignment(Qt::AlignCenter);
    m_lab_mode->setWordWrap(true);
    m_lab_mode->setAutoFillBackground(true);
    m_lab_mode->setCursor(Qt::PointingHandCursor);
    QPalette pal = m_lab_mode->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    pal.setColor(QPalette::Window, modeLabelRest(m_lab_mode));
    m_lab_mode->setPalette(pal);
    QFont bold = m_lab_mode->font();
    bold.setBold(true);
    m_lab_mode->setFont(bold);
    m_lab_mode->setMargin(6);

    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *lww = new QGroupBox;
    lww->setObjectName(QStringLiteral("grp_lww"));
    (new QVBoxLayout(lww))->addWidget(m_chk_LWW);
    layout->addWidget(lww);

    auto *format = new QGroupBox;
    format->setObjectName(QStringLiteral("grp_format"));
    auto *formatRow = new QHBoxLayout(format);
    formatRow->addWidget(labelFor(QStringLiteral("Time Format"), m_com_format));
    formatRow->addWidget(m_com_format, 1);
    formatRow->addWidget(m_Command2);
    layout->addWidget(format);

    // A key that says the time from anywhere, off until one is pressed here.
    m_key_saytime = named(new QKeySequenceEdit, "key_saytime",
                          "Press the keys that should make a character say the time, wherever you are",
                          QStringLiteral("Say the time key"));
    m_key_saytime->setClearButtonEnabled(false);
    // Its inner editor is what takes the focus: a screen reader says the box's name there too.
    if (auto *editor = m_key_saytime->findChild<QLineEdit *>())
        editor->setAccessibleName(m_key_saytime->accessibleName());
    m_com_nokey = button("com_nokey", "No key", "Click here to say the time without a key",
                         QStringLiteral("No say the time key"));
    m_lab_saytimekey = new QLabel;
    m_lab_saytimekey->setObjectName(QStringLiteral("lab_saytimekey"));
    m_lab_saytimekey->setWordWrap(true);
    auto *key = new QGroupBox;
    key->setObjectName(QStringLiteral("grp_saytimekey"));
    auto *keyLayout = new QGridLayout(key);
    keyLayout->addWidget(labelFor(QStringLiteral("Say the time key"), m_key_saytime), 0, 0);
    keyLayout->addWidget(m_key_saytime, 0, 1);
    keyLayout->addWidget(m_com_nokey, 0, 2);
    keyLayout->addWidget(m_lab_saytimekey, 1, 0, 1, 3);
    keyLayout->setColumnStretch(1, 1);
    layout->addWidget(key);

    auto *texts = new QGroupBox;
    texts->setObjectName(QStringLiteral("grp_texts"));
    auto *textsLayout = new QVBoxLayout(texts);
    m_startupLabel =
        labelFor(QStringLiteral("This is your current Start Up Message (for character 2)"), m_txt_startupmessage);
    textsLayout->addWidget(m_startupLabel);
    textsLayout->addWidget(m_txt_startupmessage);
    textsLayout->addWidget(labelFor(QStringLiteral("This is your current User Name"), m_txt_username));
    textsLayout->addWidget(m_txt_username);
    layout->addWidget(texts);
    layout->addStretch();
    layout->addWidget(m_lab_mode);
    return page;
}

} // namespace chimewell::setup
