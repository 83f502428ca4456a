#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QList>

class QWidget;

// The character service: characters that stand on the desktop, animate, walk,
// speak and take commands. Programs hold one AgentControl per character slot
// (Agent1, Agent2, ...) and drive the characters loaded through it. Every
// request is queued per character and returns at once; failures are reported
// by results, never by exceptions.
namespace chimewell::agent {

class AgentControl;
class Character;
class CharacterData;

// What the Command event reports: the command's name as given to Commands::add.
struct UserInput
{
    QString Name;
    QString CharacterID;
    QString Voice; // the voice text heard, when the command was spoken
};

// The commands a character offers in its pop-up menu, by voice and in the
// service's commands window.
class Commands final
{
public:
    struct Command
    {
        QString name;
        QString caption;
        QString voice;
        bool enabled = true;
        bool visible = true;
    };

    // Adds a command; false when the name is empty or already used.
    bool add(const QString &name, const QString &caption = QString(), const QString &voice = QString(),
             bool enabled = true, bool visible = true);
    bool remove(const QString &name);
    void removeAll();
    const QList<Command> &items() const { return m_items; }

    // The character's heading in the commands window, and whether it is listed there.
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption) { m_caption = caption; }
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }

private:
    QList<Command> m_items;
    QString m_caption;
    bool m_visible = false;
};

// One loaded character. Requests return a request id (> 0) when queued, 0 when refused.
class Character : public QObject
{
    Q_OBJECT
public:
    ~Character() override;

    QString id() const;
    QString name() const;        // from the character file
    QString description() const; // from the character file

    int show(bool fast = false);
    int hide(bool fast = false);
    // Speaks `text` with its speech tags; the balloon shows it word by word.
    int speak(const QString &text);
    // Plays an animation; the name is matched without regard to case. An unknown
    // name fails that request only.
    int play(const QString &animation);
    // Walks to (x, y), the frame's top-left corner in screen pixels, taking about
    // `speed` milliseconds; 0 jumps.
    int moveTo(int x, int y, int speed = 1000);
    // Drops the current request and everything queued, at once.
    void stop();

    void setSoundEffectsOn(bool on);
    bool soundEffectsOn() const;

    int left() const;
    int top() const;
    void setLeft(int x);
    void setTop(int y);
    int width() const;
    int height() const;
    bool isVisible() const;
    // True while requests are queued or running.
    bool isBusy() const;
    QStringList animationNames() const;

    Commands &commands();
    AgentControl *control() const;

Q_SIGNALS:
    void requestStarted(int requestId);
    void requestComplete(int requestId, bool ok);
    void visibilityChanged(bool visible);

private:
    friend class AgentControl;
    friend class Characters;
    friend class CharacterPrivate;
    Character(AgentControl *control, const QString &id, const CharacterData &data);
    class CharacterPrivate *d;
};

// Characters.Load / Characters(id) / Characters.Unload of one control.
class Characters final
{
public:
    // Loads `file` under `id`. A bare file name is looked up in the character
    // folders; false when the id is taken, the file is missing or damaged.
    bool load(const QString &id, const QString &file);
    bool unload(const QString &id);
    // The loaded character, or nullptr.
    Character *character(const QString &id) const;
    Character *operator()(const QString &id) const { return character(id); }
    QStringList ids() const;

private:
    friend class AgentControl;
    explicit Characters(AgentControl *control) : m_control(control) {}
    AgentControl *m_control;
};

// The service's own options window.
class PropertySheet final
{
public:
    void setVisible(bool visible);
    bool isVisible() const;
};

class AgentControl : public QObject
{
    Q_OBJECT
public:
    explicit AgentControl(QObject *parent = nullptr);
    ~AgentControl() override;

    Characters &characters() { return m_characters; }
    PropertySheet &propertySheet() { return m_propertySheet; }

    // Opens the commands window of every loaded character.
    static void showCommandsWindow();
    // Resolves a character file name as Load does; empty when not found.
    static QString findCharacterFile(const QString &file);

    // Puts every character of this control, loaded now or later, inside `host`
    // instead of on the desktop: the same animations, balloon and voice, with
    // left, top and moveTo relative to the host. A character already loaded
    // keeps its place on the screen when that lies in the host, and otherwise
    // stands at the host's lower right, as one loaded later does. nullptr, or
    // the host going away, puts them back on the desktop.
    void setHostWidget(QWidget *host);
    QWidget *hostWidget() const;

Q_SIGNALS:
    // A command was chosen from a menu, the commands window or by voice.
    void command(const chimewell::agent::UserInput &userInput);
    // The user has dragged a character to a new place (button 1 = left).
    void dragComplete(const QString &characterId, int button, int shift, int x, int y);

private:
    friend class Characters;
    friend class Character;
    friend class CharacterPrivate;
    Characters m_characters{this};
    PropertySheet m_propertySheet;
    QList<QPointer<Character>> m_loaded;
    QPointer<QWidget> m_host;
    QMetaObject::Connection m_hostGone;
    // Moves `c` into `host` (nullptr: the desktop); `keepPlace`: where it stands on the screen.
    static void placeInHost(Character *c, QWidget *host, bool keepPlace);
};

} // namespace chimewell::agent
