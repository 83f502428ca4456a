// The settings dialog as a whole: the form, the load from the store, the two
// modes and the flashing mode label.
#include "settings/frm_settings.h"

#include "settings/settingshost.h"
#include "settings/settingswidgets.h"

#include "common/convert.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QFocusEvent>
#include <QResizeEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace chimewell::setup {

using namespace detail;

frm_settings::frm_settings(SettingsHost &host, QWidget *parent) : QDialog(parent), m_host(host)
{
    setObjectName(QStringLiteral("frm_settings"));
    setWindowTitle(QStringLiteral("General Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_tabs->setAccessibleName(QStringLiteral("Settings"));
    m_tabs->addTab(buildAlarmTab(1), QStringLiteral(" Alarm 1 settings"));
    m_tabs->addTab(buildAlarmTab(2), QStringLiteral(" Alarm 2 settings"));
    m_tabs->addTab(buildCharactersTab(), QStringLiteral("Characters"));
    m_tabs->addTab(buildColoursTab(), QStringLiteral("Colours"));
    m_tabs->addTab(buildHelpTab(), QStringLiteral("Help"));
    m_tabs->addTab(buildSpeakTab(), QStringLiteral("Type and Speak"));
    m_tabs->addTab(buildMiscTab(), QStringLiteral("Misc"));
    // Every tab stays in sight: on a small screen the captions are shortened
    // (each keeps its whole text as its tip) rather than scrolled out of view.
    m_tabs->setUsesScrollButtons(false);
    m_tabs->setElideMode(Qt::ElideRight);
    for (int i = 0; i < m_tabs->count(); ++i)
        m_tabs->setTabToolTip(i, m_tabs->tabText(i).trimmed());

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);

    m_Timer1 = new QTimer(this);
    m_Timer1->setObjectName(QStringLiteral("Timer1"));
    m_Timer1->setInterval(500);
    connect(m_Timer1, &QTimer::timeout, this, &frm_settings::Timer1_Timer);
    m_Timer1->start();

    connectHandlers();
}

frm_settings::~frm_settings() = default;

void frm_settings::connectHandlers()
{
    for (int n = 1; n <= 2; ++n) {
        const AlarmControls &a = m_alarm[n - 1];
        connect(a.set, &QPushButton::clicked, this, [this, n] { com_set_Click(n); });
        connect(a.clear, &QPushButton::clicked, this, [this, n] { com_clear_Click(n); });
        connect(a.repeat, &QCheckBox::clicked, this, [this, n] { chk_repeat_Click(n); });
        connect(a.change, &QPushButton::clicked, this, [this, n] { com_change_Click(n); });
        connect(a.message, &QLineEdit::textChanged, this, [this, n] { txt_message_Change(n); });
        const CharacterControls &c = m_character[n - 1];
        connect(c.change, &QPushButton::clicked, this, [this, n] { com_changechar_Click(n); });
        connect(c.hide, &QCheckBox::clicked, this, [this, n] { chk_hide_Click(n); });
        connect(c.effects, &QCheckBox::clicked, this, [this, n] { chk_effects_Click(n); });
    }
    connect(m_Combo2, &QComboBox::editTextChanged, this, &frm_settings::Combo2_Change);
    m_Combo2->installEventFilter(this);
    connect(m_com_setquiet, &QPushButton::clicked, this, &frm_settings::com_setquiet_Click);
    connect(m_Command2, &QPushButton::clicked, this, &frm_settings::Command2_Click);
    connect(m_com_changefore, &QPushButton::clicked, this, [this] { changeColour(true); });
    connect(m_com_changeback, &QPushButton::clicked, this, [this] { changeColour(false); });
    connect(m_com_speak, &QPushButton::clicked, this, &frm_settings::com_speak_Click);
    connect(m_chk_LWW, &QCheckBox::clicked, this, &frm_settings::chk_LWW_Click);
    connect(m_txt_startupmessage, &QLineEdit::textChanged, this, &frm_settings::txt_startupmessage_Change);
    connect(m_txt_username, &QLineEdit::textChanged, this, &frm_settings::txt_username_Change);
    connect(m_key_saytime, &QKeySequenceEdit::editingFinished, this, &frm_settings::key_saytime_Change);
    connect(m_com_nokey, &QPushButton::clicked, this, &frm_settings::com_nokey_Click);
    connect(static_cast<ClickableLabel *>(m_lab_mode), &ClickableLabel::clicked, this, &frm_settings::lab_mode_Click);
}

bool frm_settings::eventFilter(QObject *watched, QEvent *event)
{
    // The announce box's hint comes when the user moves into the box, not when
    // the window is merely activated again or its own list closes.
    if (watched == m_Combo2 && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Combo2_GotFocus();
    }
    return QDialog::eventFilter(watched, event);
}

void frm_settings::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    fitTabCaptions();
}

void frm_settings::fitTabCaptions()
{
    // A slightly smaller font first; only a row still too narrow shortens captions.
    QTabBar *bar = m_tabs->tabBar();
    QFont font = m_tabs->font();
    const qreal full = font.pointSizeF();
    if (full <= 0)
        return;
    bar->setFont(font);
    for (qreal size = full; size > full * 0.75; size -= 0.5) {
        if (bar->sizeHint().width() <= m_tabs->width())
            return;
        font.setPointSizeF(size - 0.5);
        bar->setFont(font);
    }
}

void frm_settings::Form_Load()
{
    if (m_loaded)
        return;
    m_loaded = true;

    m_dialogMode = readData(keys::mode, QStringLiteral("simple"));
    applyMode();

    m_loading = true;
    for (int n = 2; n >= 1; --n)
        m_alarm[n - 1].repeat->setChecked(readData(n == 1 ? keys::Repeat1 : keys::Repeat2) == QLatin1String("True"));
    for (int n = 1; n <= 2; ++n) {
        const QString time = readData(n == 1 ? keys::AlarmTime1 : keys::AlarmTime2, QStringLiteral("9999"));
        m_alarm[n - 1].hour->setText(time.mid(0, 2));
        m_alarm[n - 1].min->setText(time.mid(2, 2));
    }
    m_alarm[0].launch->setText(readData(keys::Launch1));
    m_alarm[1].launch->setText(readData(keys::Launch2));
    m_alarm[0].message->setText(readData(keys::AlarmMessage));
    m_alarm[1].message->setText(readData(keys::AlarmMessage2));
    const QString character1 = readData(keys::LastCharacter);
    const QString character2 = readData(keys::LastCharacter2);
    m_character[0].name->setText(character1);
    m_character[1].name->setText(character2);
    m_character[0].hide->setChecked(readData(keys::charhide) == QLatin1String("True"));
    m_character[1].hide->setChecked(readData(keys::charhide2) == QLatin1String("True"));

    // The swatches show what the clock shows, not what is stored.
    for (auto [box, colour] : {std::pair{m_txt_forecolour, m_host.clockForeColour()},
                               std::pair{m_txt_backcolour, m_host.clockBackColour()}}) {
        QPalette pal = box->palette();
        pal.setColor(QPalette::Base, colour);
        box->setPalette(pal);
    }

    m_chk_LWW->setChecked(readData(keys::LoadWithWindows) == QLatin1String("True"));

    // An editable box that gets its first list entry would show that entry:
    // the list goes in first, then the stored text.
    m_Combo1->addItem(character2);
    m_Combo1->addItem(character1);
    m_Combo1->setEditText(character1);
    m_Combo2->addItems({QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("15"), QStringLiteral("20"),
                        QStringLiteral("30"), QStringLiteral("60")});
    m_Combo2->setEditText(readData(keys::Announce));

    m_txt_startupmessage->setText(readData(keys::StartupMessage, QStringLiteral("Welcome To Chimewell")));
    m_txt_username->setText(readData(keys::UserName, QStringLiteral("Nobody")));

    const QString quiet = readData(keys::QuietTime, QStringLiteral("0000"));
    m_txt_quiet1->setText(quiet.mid(0, 2));
    m_txt_quiet2->setText(quiet.mid(2, 2));

    const QString format = store::value(QLatin1String(keys::data), QLatin1String(keys::format), QStringLiteral("0"));
    m_com_format->addItems({QStringLiteral("24 Hour"), QStringLiteral("12 Hour am/pm")});
    m_com_format->setEditText(format == QLatin1String("0") ? QStringLiteral("24 Hour")
                                                           : QStringLiteral("12 Hour am/pm"));

    m_character[0].effects->setChecked(readData(keys::effects1) == QLatin1String("True"));
    m_character[1].effects->setChecked(readData(keys::effects2) == QLatin1String("True"));
    loadSayTimeKey();
    m_loading = false;

    m_host.say(QStringLiteral("Main Options, you are in ") + m_dialogMode + QStringLiteral(" mode!"),
               QStringLiteral("genie"));
}

void frm_settings::applyMode()
{
    if (m_dialogMode == QLatin1String("simple")) {
        m_tabs->setTabEnabled(AlarmTab2, false);
        for (QWidget *w : std::initializer_list<QWidget *>{m_character[0].effects, m_character[1].effects,
                                                           m_txt_startupmessage, m_startupLabel, m_alarm[0].clear})
            w->setVisible(false);
        m_lab_mode->setText(simpleModeCaption());
    } else if (m_dialogMode == QLatin1String("advanced")) {
        m_lab_mode->setText(advancedModeCaption());
    }
}

void frm_settings::showTab(int tab)
{
    Form_Load();
    const bool wasVisible = isVisible();
    show();
    raise();
    activateWindow();
    if (tab >= 0 && tab < m_tabs->count() && m_tabs->isTabEnabled(tab))
        m_tabs->setCurrentIndex(tab);
    // The keyboard starts on the tabs themselves, so no box of the page
    // (the announce box speaks when it gets the focus) is entered by surprise.
    if (!wasVisible || !m_tabs->currentWidget()->isAncestorOf(focusWidget()))
        m_tabs->tabBar()->setFocus(Qt::OtherFocusReason);
}

void frm_settings::focusAlarmHour()
{
    if (m_tabs->currentIndex() == AlarmTab1)
        m_alarm[0].hour->setFocus(Qt::OtherFocusReason);
}

void frm_settings::Timer1_Timer()
{
    const QColor red(255, 0, 0);
    const QColor menuBar = modeLabelRest(m_lab_mode);
    QPalette pal = m_lab_mode->palette();
    const QColor now = pal.color(QPalette::Window);
    if (now == red)
        pal.setColor(QPalette::Window, menuBar);
    else if (now == menuBar)
        pal.setColor(QPalette::Window, red);
    else
        return;
    m_lab_mode->setPalette(pal);
}

void frm_settings::lab_mode_Click()
{
    if (m_dialogMode == QLatin1String("simple")) {
        m_dialogMode = QStringLiteral("advanced");
        writeData(keys::mode, m_dialogMode);
        m_host.restart();
    } else if (m_dialogMode == QLatin1String("advanced")) {
        m_dialogMode = QStringLiteral("simple");
        writeData(keys::mode, m_dialogMode);
        m_host.restart();
    }
}

QString frm_settings::toggleStored(QCheckBox *box, const char *key, const QString &missing)
{
    const QString next =
        readData(key, missing) == QLatin1String("True") ? QStringLiteral("False") : QStringLiteral("True");
    box->setChecked(next == QLatin1String("True"));
    writeData(key, next);
    return next;
}

} // namespace chimewell::setup
