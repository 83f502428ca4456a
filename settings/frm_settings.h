#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QKeySequenceEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;

namespace chimewell::setup {

class SettingsHost;

// "General Settings": the one place where the user edits every option. There
// is no OK or Cancel: each control stores its own value the moment it changes,
// and most changes reach the clock at once through SettingsHost.
//
// Its code lives in files by subject: frm_settings.cpp (the form, loading, the
// modes), frm_settings_tabs.cpp (the tabs and their controls),
// frm_settings_alarms.cpp (the two alarm tabs), frm_settings_clock.cpp
// (announcing, quiet hours, format, colours), frm_settings_misc.cpp (characters,
// type and speak, start with the desktop, the two texts of the Misc tab).
class frm_settings final : public QDialog
{
    Q_OBJECT
public:
    // The tabs of SSTab1, by the index the openers select.
    enum Tab {
        AlarmTab1 = 0,
        AlarmTab2 = 1,
        CharactersTab = 2,
        ColoursTab = 3,
        HelpTab = 4,
        SpeakTab = 5,
        MiscTab = 6
    };

    // Builds the controls with their design texts; nothing is read yet.
    explicit frm_settings(SettingsHost &host, QWidget *parent = nullptr);
    ~frm_settings() override;

    // Fills the controls from the store, once, before the form is first shown.
    void Form_Load();
    // Shows the form (or brings it forward, loading it first if needed) and selects `tab`.
    void showTab(int tab);
    // Puts the keyboard focus in the alarm-1 hour box (what "Main Options" does).
    void focusAlarmHour();

    QTabWidget *SSTab1() const { return m_tabs; }
    // The mode read at load: "simple", "advanced" or whatever else was stored.
    QString dialogMode() const { return m_dialogMode; }
    bool isLoading() const { return m_loading; }

    // One pass of the flashing mode label's timer.
    void Timer1_Timer();

private:
    struct AlarmControls
    {
        QLineEdit *hour = nullptr;
        QLineEdit *min = nullptr;
        QPushButton *set = nullptr;
        QPushButton *clear = nullptr;
        QCheckBox *repeat = nullptr;
        QLineEdit *launch = nullptr;
        QPushButton *change = nullptr;
        QLineEdit *message = nullptr;
    };
    struct CharacterControls
    {
        QLineEdit *name = nullptr;
        QPushButton *change = nullptr;
        QCheckBox *hide = nullptr;
        QCheckBox *effects = nullptr;
    };

    QWidget *buildAlarmTab(int n);
    QWidget *buildCharactersTab();
    QWidget *buildColoursTab();
    QWidget *buildHelpTab();
    QWidget *buildSpeakTab();
    QWidget *buildMiscTab();
    void connectHandlers();
    void applyMode();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // Takes the tab captions' font down a little where the row is too narrow for them.
    void fitTabCaptions();

    // Alarms (n is 1 or 2).
    void com_set_Click(int n);
    void com_clear_Click(int n);
    void chk_repeat_Click(int n);
    void com_change_Click(int n);
    void txt_message_Change(int n);

    // Announcing, quiet hours, format, colours.
    void Combo2_Change();
    void Combo2_GotFocus();
    void com_setquiet_Click();
    void Command2_Click();
    void changeColour(bool fore);

    // Characters, type and speak, Misc.
    void chk_hide_Click(int n);
    void chk_effects_Click(int n);
    void com_changechar_Click(int n);
    void com_speak_Click();
    void chk_LWW_Click();
    void txt_startupmessage_Change();
    void txt_username_Change();
    void lab_mode_Click();
    // The say-the-time key: what the box holds now goes to the clock and the
    // store; the line below it says how things stand.
    void key_saytime_Change();
    void com_nokey_Click();
    void loadSayTimeKey();
    void showSayTimeKeyStatus(const QString &problem);

    // A check box that shows a stored "True"/"False": reads `key` (missing
    // reads as `missing`), stores the opposite and sets the box to match.
    // Returns the value stored.
    QString toggleStored(QCheckBox *box, const char *key, const QString &missing);

    SettingsHost &m_host;
    bool m_loading = false;
    bool m_loaded = false;
    QString m_dialogMode;

    QTabWidget *m_tabs = nullptr;
    AlarmControls m_alarm[2];
    CharacterControls m_character[2];
    QComboBox *m_Combo2 = nullptr;
    QLineEdit *m_txt_quiet1 = nullptr;
    QLineEdit *m_txt_quiet2 = nullptr;
    QPushButton *m_com_setquiet = nullptr;
    QLineEdit *m_txt_forecolour = nullptr;
    QLineEdit *m_txt_backcolour = nullptr;
    QPushButton *m_com_changefore = nullptr;
    QPushButton *m_com_changeback = nullptr;
    QPlainTextEdit *m_Text1 = nullptr;
    QPlainTextEdit *m_txt_speech = nullptr;
    QComboBox *m_Combo1 = nullptr;
    QPushButton *m_com_speak = nullptr;
    QCheckBox *m_chk_LWW = nullptr;
    QComboBox *m_com_format = nullptr;
    QPushButton *m_Command2 = nullptr;
    QLabel *m_startupLabel = nullptr;
    QLineEdit *m_txt_startupmessage = nullptr;
    QLineEdit *m_txt_username = nullptr;
    QKeySequenceEdit *m_key_saytime = nullptr;
    QPushButton *m_com_nokey = nullptr;
    QLabel *m_lab_saytimekey = nullptr;
    QLabel *m_lab_mode = nullptr;
    QTimer *m_Timer1 = nullptr;
};

} // namespace chimewell::setup
