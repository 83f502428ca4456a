#pragma once

// The service's inner parts, shared by its source files only.

#include "agent/agent.h"
#include "agent/characterfile.h"
#include "agent/idlelevels.h"
#include "voice/speaker.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QQueue>
#include <QRegion>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QAudioSink;
class QBuffer;

namespace chimewell::agent {

class Balloon;
class CharacterWindow;

// Logs one request of a program in the form other programs read: "<id> <Operation>[ <argument>]".
void logRequest(const QString &id, const QString &operation);

// The user's choices in the options window, stored under "ChimewellAgent".
class Options final : public QObject
{
    Q_OBJECT
public:
    static Options &instance();

    bool balloon() const { return m_balloon; }
    int fontSize() const { return m_fontSize; }
    bool spokenOutput() const { return m_spokenOutput; }
    bool soundEffects() const { return m_soundEffects; }
    // Speaking speed and volume in percent, for every character's voice.
    int speechSpeed() const { return m_speechSpeed; }
    int speechVolume() const { return m_speechVolume; }
    // The key held to listen, as an X key name ("Scroll_Lock").
    QString listeningKey() const { return m_listeningKey; }
    void setListeningKey(const QString &key);
    void setBalloon(bool on);
    void setSpeechSpeed(int percent);
    void setSpeechVolume(int percent);
    void setFontSize(int points);
    void setSpokenOutput(bool on);
    void setSoundEffects(bool on);
    // Reads the stored options and applies the voice's.
    void reload();

    static constexpr int minFontSize = 6;
    static constexpr int maxFontSize = 36;
    static constexpr int minSpeed = 50;
    static constexpr int maxSpeed = 200;

Q_SIGNALS:
    void changed();

private:
    Options();
    void applyVoice();
    bool m_balloon = true;
    int m_fontSize = 10;
    bool m_spokenOutput = true;
    bool m_soundEffects = true;
    int m_speechSpeed = 100;
    int m_speechVolume = 100;
    QString m_listeningKey;
};

// Plays a frame's sound effect from memory; no audio device means silence.
class SoundPlayer final : public QObject
{
    Q_OBJECT
public:
    SoundPlayer();
    ~SoundPlayer() override;
    void play(const Sound &sound);
    void stop();

private:
    std::unique_ptr<QAudioSink> m_sink;
    std::unique_ptr<QBuffer> m_buffer;
};

// The service's own windows, one each per program.
namespace service {
void showCommandsWindow();
void refreshCommandsWindow();
void setOptionsVisible(bool visible);
bool optionsVisible();
// Spoken commands (listening.cpp). `who` listens: while the listening key is held, or
// (`once`) for one command.
void listen(Character *who, bool once);
void stopListening();
// The commands of some character changed: the grammar is made again soon.
void commandsChanged();
// A character began or ended speaking: listening is muted while any speaks.
void speakingChanged();
// The listening key was chosen again in the options window.
void listeningKeyChanged();
} // namespace service

// Whether any character of this program is speaking now.
bool anyCharacterSpeaking();

namespace service {
// All controls alive in this program, for the commands window.
QList<AgentControl *> controls();
void registerControl(AgentControl *control);
void unregisterControl(AgentControl *control);
} // namespace service

struct Request
{
    enum Kind { Show, Hide, Speak, Play, Move };
    Kind kind = Show;
    int id = 0;
    bool fast = false;
    QString text;
    int x = 0;
    int y = 0;
    int speed = 0;
};

class CharacterPrivate final : public QObject
{
    Q_OBJECT
public:
    CharacterPrivate(Character *q, AgentControl *control, const QString &id, const CharacterData &data);
    ~CharacterPrivate() override;

    // Counts the calls of ours that are on the stack, so an unload from inside one waits.
    struct Entered
    {
        explicit Entered(CharacterPrivate *d) : d(d) { ++d->m_depth; }
        ~Entered() { --d->m_depth; }
        CharacterPrivate *d;
    };

    static CharacterPrivate *get(Character *c) { return c->d; }

    int enqueue(Request request);
    void stopAll(bool notify);
    void markUnloaded();
    bool isEntered() const { return m_depth > 0; }
    bool isBusy() const { return m_current.has_value() || !m_queue.isEmpty(); }

    // For the window.
    const FrameImage *currentImage() const;
    const FrameImage *currentMouth() const;
    QPoint mouthPos() const { return m_data.mouthPos; }
    QRegion maskFor(int image);
    void dragFinished(int button, int shift, const QPoint &globalPos);
    void showMenu(const QPoint &globalPos);
    void moveWindow(const QPoint &topLeft);
    void emitCommand(const QString &name);
    // Listening: the Listening state loops while idle; Hearing plays once.
    void setListening(bool on);
    void playHearing();
    // The user clicked, dragged or opened the menu: a dozing character wakes.
    void userTouched();
    bool isSpeaking() const { return m_speaking; }

    Character *q;
    QPointer<AgentControl> m_control;
    QString m_id;
    CharacterData m_data;
    Commands m_commands;
    bool m_soundOn = true;
    bool m_visible = false;
    bool m_unloaded = false;
    std::unique_ptr<CharacterWindow> m_window;
    std::unique_ptr<Balloon> m_balloon;

private:
    void kick();
    void processQueue();
    void startRequest(const Request &r);
    void complete(bool ok);
    void enterIdle();
    void leaveIdle();
    void playIdle();
    // Falls asleep: the Dozing animation, its own breath looping, or its last frame held.
    void doze();
    // A dozing character plays Waking; then what waits in the queue goes on, or idling.
    void wake();
    void awake();
    void doHide();
    int pickState(State state, int dx = 0) const;
    // One of the file's own animations for the state, none (-1) when it has none
    // or that one does not decode: no rest pose in its place.
    int ownAnimation(State state) const;
    int restAnimation() const;
    void showRest();
    void setImage(int image);

    bool hiDpi() const;
    // Starts decoding pictures before they are shown (FrameStore::prefetch).
    void prefetchImages(const QList<int> &images);
    void prefetchAnimation(int animation);
    void prefetchState(State state);
    // Whether a picture of the animation is known not to decode.
    bool isBroken(int animation) const;

    void startAnimation(int animation, bool loop, std::function<void()> done);
    void setSpeaking(bool speaking);
    bool m_listening = false;
    void showFrame(int frame);
    void nextFrame();
    void finishAnimation();
    void exitAnimation(std::function<void()> done);
    void haltAnimation();

    void startWalk(const Request &r);
    void walkStep();

    void onSpeechStarted(const QString &text);
    void onWord(int position, int length);
    void onMouth(voice::Mouth mouth);
    void onSpeechFinished();

    QQueue<Request> m_queue;
    std::optional<Request> m_current;
    bool m_processing = false;
    bool m_kickPending = false;
    int m_depth = 0;

    // The animation being played.
    int m_anim = -1;
    int m_frame = -1;
    bool m_loop = false;
    bool m_exiting = false;
    int m_steps = 0;
    QElapsedTimer m_animClock;
    QTimer m_frameTimer{this};
    std::function<void()> m_animDone;
    int m_image = -1;
    bool m_mouthFrame = false;
    QHash<int, QRegion> m_masks;

    QTimer m_idleTimer{this};
    bool m_idleAnim = false;
    int m_nextIdle = -1; // chosen when the idle timer starts, decoded meanwhile
    IdleLevels m_idleLevels;
    bool m_dozing = false; // asleep, until a request, the user or the listening key
    bool m_waking = false; // the Waking animation plays before anything else

    voice::Speaker m_speaker;
    bool m_speaking = false;
    voice::Mouth m_mouth = voice::Mouth::Closed;

    QTimer m_walkTimer{this};
    QElapsedTimer m_walkClock;
    QPoint m_walkFrom;
    QPoint m_walkTo;
    int m_walkDuration = 0;

    SoundPlayer m_sound;
};

} // namespace chimewell::agent
