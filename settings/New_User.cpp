#include "settings/New_User.h"

#include "settings/frm_wait.h"

#include "common/dialogs.h"
#include "common/launcher.h"
#include "common/pause.h"
#include "common/platform.h"
#include "common/program.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace chimewell::setup {

namespace {

const char kAgreement[] =
    "CHIMEWELL LICENCE AGREEMENT\n\n"
    "Chimewell is a talking clock for your desktop. Please read this agreement before you use it.\n\n"
    "1. You may use Chimewell free of charge on any computer you own, and give copies of it to your "
    "friends and family, as long as you pass it on whole and unchanged and ask nothing for it.\n\n"
    "2. Chimewell comes as it is, without any warranty. Its makers are not responsible for any loss or "
    "damage that comes from using it, and they do not promise that it will wake you up in time: please "
    "keep a second alarm for anything important.\n\n"
    "3. The characters, their pictures and their voices belong to Chimewell. You may not sell them or "
    "use them in other programs.\n\n"
    "4. Chimewell keeps its settings in your own folder on this computer and sends nothing anywhere.\n\n"
    "If you agree, click I AGREE. If you do not agree, click I DON`T AGREE and Chimewell will close.";

void writeData(const char *key, const QString &value)
{
    store::setValue(QLatin1String(keys::Data), QLatin1String(key), value);
}

} // namespace

New_User::New_User(ClockStart &clock, QWidget *parent) : QWidget(parent, Qt::FramelessWindowHint), m_clock(clock)
{
    setObjectName(QStringLiteral("New_User"));
    setWindowTitle(QStringLiteral("Chimewell"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 0, 0));
    setPalette(pal);

    m_text1 = new QPlainTextEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setReadOnly(true);
    m_text1->setPlainText(QString::fromUtf8(kAgreement));

    auto *frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    m_command3 = new QPushButton(QStringLiteral("I AGREE"), frame);
    m_command3->setObjectName(QStringLiteral("Command3"));
    m_command1 = new QPushButton(QStringLiteral("I DON`T AGREE"), frame);
    m_command1->setObjectName(QStringLiteral("Command1"));
    auto *buttons = new QHBoxLayout(frame);
    buttons->addWidget(m_command3);
    buttons->addWidget(m_command1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(m_text1, 1);
    layout->addWidget(frame);
    resize(520, 380);

    connect(m_command3, &QPushButton::clicked, this, &New_User::Command3_Click);
    connect(m_command1, &QPushButton::clicked, this, &New_User::Command1_Click);
}

bool New_User::isReturningUser()
{
    const QString name1 = store::value(QLatin1String(keys::Data), QLatin1String(keys::LastCharacter));
    const QString name2 = store::value(QLatin1String(keys::Data), QLatin1String(keys::LastCharacter2));
    return name1.size() > 1 && name2.size() > 1;
}

void New_User::Form_Load()
{
    // One copy per user is made sure of in main(), before any window exists.
    // A store that cannot be read is not a new user: the clock starts with
    // its defaults, and the user is told why their settings are not there.
    const bool unreadable = !store::problem(QString::fromLatin1(store::kApplication)).isEmpty();
    if (unreadable || isReturningUser()) {
        m_clock.showClock();
        if (unreadable)
            tellIfStoreUnreadable();
        if (!pause(2))
            return;
        m_clock.checkboxes();
        close();
        return;
    }

    // First run: put the two standard characters where the service looks first.
    for (const char *name : {platform::kStandardCharacter2, platform::kStandardCharacter1}) {
        const QString shipped = platform::shippedCharacterFolder() + QLatin1Char('/') + QLatin1String(name)
            + QStringLiteral(".acs");
        if (QFile::exists(shipped))
            platform::copyIntoCharacterFolder(shipped, QLatin1String(name));
    }

    if (platform::speechEngineInstalled() && platform::standardCharactersFound()) {
        if (const QScreen *s = QGuiApplication::primaryScreen())
            move(s->availableGeometry().center() - rect().center());
        show();
        activateWindow();
        m_command3->setFocus();
        return;
    }
    auto *wait = new frm_wait();
    wait->setAttribute(Qt::WA_DeleteOnClose);
    wait->show();
    hide();
    close();
}

void New_User::Command3_Click()
{
    writeData(keys::LastCharacter, QLatin1String(platform::kStandardCharacter1));
    writeData(keys::LastCharacter2, QLatin1String(platform::kStandardCharacter2));
    writeData(keys::AlarmMessage, QStringLiteral("This is alarm 1. Wake up, wake up, it is time to get up!"));
    writeData(keys::AlarmMessage2, QStringLiteral("This is alarm 2. Come on, wake up, it is time to get going!"));
    writeData(keys::Announce, QStringLiteral("10"));
    writeData(keys::BackColour, QStringLiteral("16777215"));
    writeData(keys::ForeColour, QStringLiteral("0"));
    writeData(keys::FormX, QStringLiteral("2000"));
    writeData(keys::FormY, QStringLiteral("2000"));
    writeData(keys::LoadWithWindows, QStringLiteral("False"));
    store::setValue(QLatin1String(keys::data), QLatin1String(keys::format), QStringLiteral("1"));

    if (dialogs::ask(this, QStringLiteral("Windows Startup"),
                     QStringLiteral("DO YOU WANT CHIMEWELL TO START WITH WINDOWS?. If you choose YES, it`s very easy "
                                    "to turn this feature off in the Main Options menu"))) {
        // Stored as placed: a "True" without an entry would lie to the settings dialog.
        if (platform::addAutostartEntry())
            writeData(keys::LoadWithWindows, QStringLiteral("True"));
    }

    writeData(keys::QuietTime, QStringLiteral("0000"));
    writeData(keys::Repeat1, QStringLiteral("False"));
    writeData(keys::Repeat2, QStringLiteral("False"));
    writeData(keys::StartupMessage, QStringLiteral("Right click on the clock, or on the task bar icon, for more options"));
    writeData(keys::UserName, QStringLiteral("Nobody!"));
    writeData(keys::effects1, QStringLiteral("False"));
    writeData(keys::effects2, QStringLiteral("True"));
    writeData(keys::minimise, QStringLiteral("False"));
    writeData(keys::mode, QStringLiteral("simple"));

    restartProgram();
}

void New_User::Command1_Click() { endProgram(); }

} // namespace chimewell::setup
