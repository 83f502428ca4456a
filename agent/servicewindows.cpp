#include "agent/agent_p.h"

#include "agent/balloon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace chimewell::agent {

namespace {

QList<AgentControl *> &registry()
{
    static QList<AgentControl *> list;
    return list;
}

// The commands window: every listed character's commands; activating one raises
// the Command event of the character's control.
class CommandsWindow final : public QWidget
{
public:
    CommandsWindow()
    {
        setObjectName(QStringLiteral("agent_commands"));
        setWindowTitle(QStringLiteral("Commands"));
        setAttribute(Qt::WA_DeleteOnClose);
        auto *layout = new QVBoxLayout(this);
        m_tree = new QTreeWidget(this);
        m_tree->setObjectName(QStringLiteral("agent_commands_list"));
        m_tree->setAccessibleName(QStringLiteral("Commands of every character"));
        m_tree->setAccessibleDescription(QStringLiteral("Press Enter on a command to give it"));
        m_tree->setHeaderHidden(true);
        m_tree->setRootIsDecorated(true);
        layout->addWidget(m_tree);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
        auto *listenButton = buttons->addButton(QStringLiteral("Listen"), QDialogButtonBox::ActionRole);
        listenButton->setObjectName(QStringLiteral("agent_commands_listen"));
        listenButton->setToolTip(QStringLiteral("Listen for one spoken command"));
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
        connect(listenButton, &QPushButton::clicked, this, [this] { listenSelected(); });
        connect(m_tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) { activate(item); });
        resize(280, 360);
    }

    void rebuild()
    {
        m_tree->clear();
        for (AgentControl *control : std::as_const(registry())) {
            const QStringList ids = control->characters().ids();
            for (const QString &id : ids) {
                Character *c = control->characters().character(id);
                if (!c || !c->commands().isVisible())
                    continue;
                const QString caption = c->commands().caption().isEmpty() ? c->name() : c->commands().caption();
                auto *top = new QTreeWidgetItem(m_tree, QStringList{caption});
                for (const Commands::Command &cmd : c->commands().items()) {
                    if (!cmd.visible)
                        continue;
                    auto *item = new QTreeWidgetItem(top, QStringList{cmd.caption.isEmpty() ? cmd.name : cmd.caption});
                    item->setData(0, Qt::UserRole, cmd.name);
                    item->setData(0, Qt::UserRole + 1, id);
                    item->setData(0, Qt::UserRole + 2, QVariant::fromValue(static_cast<void *>(control)));
                    if (!cmd.enabled)
                        item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
                }
                top->setExpanded(true);
            }
        }
    }

private:
    // The character of the selected line listens (the first listed when none is selected).
    void listenSelected()
    {
        QTreeWidgetItem *item = m_tree->currentItem();
        if (!item && m_tree->topLevelItemCount() > 0)
            item = m_tree->topLevelItem(0);
        if (item && item->parent())
            item = item->parent();
        if (item && item->childCount() > 0)
            item = item->child(0);
        if (!item)
            return;
        auto *control = static_cast<AgentControl *>(item->data(0, Qt::UserRole + 2).value<void *>());
        if (!registry().contains(control))
            return;
        if (Character *c = control->characters().character(item->data(0, Qt::UserRole + 1).toString()))
            service::listen(c, true);
    }

    void activate(QTreeWidgetItem *item)
    {
        const QString name = item->data(0, Qt::UserRole).toString();
        if (name.isEmpty() || !(item->flags() & Qt::ItemIsEnabled))
            return;
        auto *control = static_cast<AgentControl *>(item->data(0, Qt::UserRole + 2).value<void *>());
        if (!registry().contains(control))
            return;
        const QString id = item->data(0, Qt::UserRole + 1).toString();
        Character *c = control->characters().character(id);
        if (!c)
            return;
        CharacterPrivate::get(c)->emitCommand(name);
    }

    QTreeWidget *m_tree;
};

// The service's options: balloon, speech and sound effects, applied as they change.
class OptionsWindow final : public QWidget
{
public:
    OptionsWindow()
    {
        setObjectName(QStringLiteral("agent_options"));
        setWindowTitle(QStringLiteral("Character Options"));
        setAttribute(Qt::WA_DeleteOnClose);
        Options &o = Options::instance();
        auto *layout = new QVBoxLayout(this);
        auto *form = new QFormLayout;
        auto *balloon = new QCheckBox(QStringLiteral("Show word balloon"), this);
        balloon->setObjectName(QStringLiteral("agent_options_balloon"));
        balloon->setChecked(o.balloon());
        auto *font = new QSpinBox(this);
        font->setObjectName(QStringLiteral("agent_options_fontsize"));
        font->setRange(Options::minFontSize, Options::maxFontSize);
        font->setValue(o.fontSize());
        font->setSuffix(QStringLiteral(" pt"));
        auto *spoken = new QCheckBox(QStringLiteral("Spoken output"), this);
        spoken->setObjectName(QStringLiteral("agent_options_spoken"));
        spoken->setChecked(o.spokenOutput());
        auto *sounds = new QCheckBox(QStringLiteral("Play character sound effects"), this);
        sounds->setObjectName(QStringLiteral("agent_options_sounds"));
        sounds->setChecked(o.soundEffects());
        form->addRow(balloon);
        form->addRow(QStringLiteral("Balloon font size:"), font);
        auto *speed = new QSlider(Qt::Horizontal, this);
        speed->setObjectName(QStringLiteral("agent_options_speed"));
        speed->setRange(Options::minSpeed, Options::maxSpeed);
        speed->setValue(o.speechSpeed());
        speed->setToolTip(QStringLiteral("How fast the characters speak"));
        auto *volume = new QSlider(Qt::Horizontal, this);
        volume->setObjectName(QStringLiteral("agent_options_volume"));
        volume->setRange(0, 100);
        volume->setValue(o.speechVolume());
        volume->setToolTip(QStringLiteral("How loud the characters speak"));
        form->addRow(spoken);
        form->addRow(QStringLiteral("Speaking speed:"), speed);
        form->addRow(QStringLiteral("Voice volume:"), volume);
        form->addRow(sounds);
        // The key held down to speak a command.
        auto *key = new QComboBox(this);
        key->setObjectName(QStringLiteral("agent_options_listenkey"));
        const QList<QPair<QString, QString>> keys = {
            {QStringLiteral("Scroll Lock"), QStringLiteral("Scroll_Lock")}, {QStringLiteral("Pause"), QStringLiteral("Pause")},
            {QStringLiteral("F9"), QStringLiteral("F9")},   {QStringLiteral("F10"), QStringLiteral("F10")},
            {QStringLiteral("F11"), QStringLiteral("F11")}, {QStringLiteral("F12"), QStringLiteral("F12")},
            {QStringLiteral("Menu"), QStringLiteral("Menu")}, {QStringLiteral("Right Ctrl"), QStringLiteral("Control_R")},
            {QStringLiteral("Insert"), QStringLiteral("Insert")}};
        for (const auto &[label, name] : keys)
            key->addItem(label, name);
        key->setCurrentIndex(qMax(0, key->findData(o.listeningKey())));
        form->addRow(QStringLiteral("Listening key:"), key);
        connect(key, &QComboBox::currentIndexChanged, this, [key] {
            Options::instance().setListeningKey(key->currentData().toString());
        });
        layout->addLayout(form);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
        connect(balloon, &QCheckBox::toggled, &o, &Options::setBalloon);
        connect(font, &QSpinBox::valueChanged, &o, &Options::setFontSize);
        connect(spoken, &QCheckBox::toggled, &o, &Options::setSpokenOutput);
        connect(sounds, &QCheckBox::toggled, &o, &Options::setSoundEffects);
        connect(speed, &QSlider::valueChanged, &o, &Options::setSpeechSpeed);
        connect(volume, &QSlider::valueChanged, &o, &Options::setSpeechVolume);
    }
};

QPointer<CommandsWindow> g_commands;
QPointer<OptionsWindow> g_options;

} // namespace

namespace service {

void showCommandsWindow()
{
    if (!g_commands)
        g_commands = new CommandsWindow;
    g_commands->rebuild();
    g_commands->show();
    g_commands->raise();
    g_commands->activateWindow();
}

void refreshCommandsWindow()
{
    commandsChanged();
    if (g_commands)
        g_commands->rebuild();
}

void setOptionsVisible(bool visible)
{
    if (!visible) {
        if (g_options)
            g_options->close();
        return;
    }
    if (!g_options)
        g_options = new OptionsWindow;
    g_options->show();
    g_options->raise();
    g_options->activateWindow();
}

bool optionsVisible() { return g_options && g_options->isVisible(); }

QList<AgentControl *> controls() { return registry(); }

void registerControl(AgentControl *control)
{
    if (!registry().contains(control))
        registry().append(control);
}

void unregisterControl(AgentControl *control)
{
    registry().removeAll(control);
    if (registry().isEmpty()) {
        // The last control takes the service's windows with it.
        delete g_commands.data();
        delete g_options.data();
    } else {
        refreshCommandsWindow();
    }
}

} // namespace service
} // namespace chimewell::agent
