#include "agent/agent_p.h"

#include <QSet>

#include "agent/balloon.h"
#include "agent/characterwindow.h"
#include "common/log.h"
#include "common/screenarea.h"
#include "common/windowmanager.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QMenu>
#include <QRandomGenerator>
#include <QScreen>

namespace chimewell::agent {

namespace {
int g_nextRequestId = 0;

constexpr int kWalkTickMs = 33;        // about 30 window moves a second while walking
constexpr int kBalloonLingerMs = 1500; // the balloon stays this long after the speech
// An animation whose branches loop for ever is cut short after this, so one Play
// cannot hold the queue: it then takes its exit branches.
constexpr int kMaxSteps = 600;
constexpr qint64 kMaxPlayMs = 30000;

int nextRequestId()
{
    if (g_nextRequestId == std::numeric_limits<int>::max())
        g_nextRequestId = 0;
    return ++g_nextRequestId;
}

int randomBetween(int lo, int hi) { return int(QRandomGenerator::global()->bounded(lo, hi + 1)); }
} // namespace

void logRequest(const QString &id, const QString &operation)
{
    qCInfo(lcAgent, "%s", qUtf8Printable(id + QLatin1Char(' ') + operation));
}

// ---------------------------------------------------------------------------

CharacterPrivate::CharacterPrivate(Character *q, AgentControl *control, const QString &id, const CharacterData &data)
    : QObject(q), q(q), m_control(control), m_id(id), m_data(data)
{
    m_window = std::make_unique<CharacterWindow>(this);
    m_balloon = std::make_unique<Balloon>(id);

    // Where a character stands before anyone moves it: the lower right of the screen.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        m_window->move(avail.right() - m_data.width - 40, avail.bottom() - m_data.height - 40);
    }
    // The cache holds about 32 frames at 1x, or 25 at 2x (the 2x pictures shape
    // the window there too): the idle animations and a gesture or two.
    // Pictures kept in packs cost only a copy out of the unpacked pack to decode
    // again, so a quarter as many frames are kept for them: idling costs no more
    // CPU, and a clock with two characters holds a megabyte less.
    if (m_data.store) {
        const qint64 frameBytes = qint64(m_data.width) * m_data.height * 4;
        const int frames = m_data.store->hasPacks() ? 8 : 32;
        m_data.store->setBudget(frameBytes * (hiDpi() ? frames * 5 * 5 / 8 : frames));
    }
    const int rest = restAnimation();
    if (rest >= 0)
        setImage(m_data.animations.at(rest).frames.first().image);
    else if (!m_data.animations.isEmpty())
        setImage(m_data.animations.first().frames.first().image);
    prefetchState(State::Showing);

    m_frameTimer.setSingleShot(true);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &CharacterPrivate::nextFrame);
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_idleTimer, &QTimer::timeout, this, &CharacterPrivate::playIdle);
    m_walkTimer.setInterval(kWalkTickMs);
    m_walkTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_walkTimer, &QTimer::timeout, this, &CharacterPrivate::walkStep);

    m_speaker.setVoice(m_data.voice);
    connect(&m_speaker, &voice::Speaker::started, this, &CharacterPrivate::onSpeechStarted);
    connect(&m_speaker, &voice::Speaker::wordReached, this, &CharacterPrivate::onWord);
    connect(&m_speaker, &voice::Speaker::mouthChanged, this, &CharacterPrivate::onMouth);
    connect(&m_speaker, &voice::Speaker::finished, this, &CharacterPrivate::onSpeechFinished);
    connect(&Options::instance(), &Options::changed, this, [this] {
        if (!Options::instance().balloon())
            m_balloon->hideNow();
        if (!Options::instance().soundEffects())
            m_sound.stop();
    });
}

CharacterPrivate::~CharacterPrivate()
{
    setSpeaking(false);
    if (m_listening)
        service::stopListening();
    m_speaker.disconnect(this);
    m_speaker.stop();
    m_frameTimer.stop();
    m_idleTimer.stop();
    m_walkTimer.stop();
}

int CharacterPrivate::enqueue(Request request)
{
    if (m_unloaded)
        return 0;
    request.id = nextRequestId();
    m_idleLevels.touch();
    if (m_dozing)
        prefetchState(State::Waking);
    // Decoding starts now, while the request waits its turn, so its first frame is ready.
    switch (request.kind) {
    case Request::Show: prefetchState(State::Showing); break;
    case Request::Hide: prefetchState(State::Hiding); break;
    case Request::Speak: prefetchState(State::Speaking); break;
    case Request::Move:
        prefetchState(State::MovingLeft);
        prefetchState(State::MovingRight);
        break;
    case Request::Play: {
        const int a = m_data.findAnimation(request.text);
        prefetchAnimation(a);
        if (a >= 0)
            prefetchAnimation(m_data.animations.at(a).returnAnimation);
        break;
    }
    }
    m_queue.enqueue(request);
    kick();
    return request.id;
}

void CharacterPrivate::kick()
{
    if (m_kickPending || m_processing)
        return;
    m_kickPending = true;
    QMetaObject::invokeMethod(this, &CharacterPrivate::processQueue, Qt::QueuedConnection);
}

void CharacterPrivate::processQueue()
{
    Entered entered(this);
    m_kickPending = false;
    if (m_processing || m_unloaded)
        return;
    m_processing = true;
    QPointer<CharacterPrivate> guard(this);
    while (!m_current && !m_queue.isEmpty()) {
        // A dozing character wakes up first; the request waits for that.
        if (m_dozing)
            wake();
        if (m_waking) {
            m_processing = false;
            return;
        }
        leaveIdle();
        m_current = m_queue.dequeue();
        const Request r = *m_current;
        Q_EMIT q->requestStarted(r.id);
        if (!guard || m_unloaded)
            return;
        // A handler of requestStarted may have called stop(); the request is gone then.
        if (!m_current || m_current->id != r.id)
            continue;
        startRequest(r);
        if (!guard || m_unloaded)
            return;
    }
    m_processing = false;
    enterIdle();
}

void CharacterPrivate::complete(bool ok)
{
    if (!m_current)
        return;
    const int id = m_current->id;
    m_current.reset();
    // Idle time counts from the end of what was asked, however long it took.
    m_idleLevels.touch();
    QPointer<CharacterPrivate> guard(this);
    Q_EMIT q->requestComplete(id, ok);
    if (!guard || m_unloaded)
        return;
    if (!m_processing)
        processQueue();
}

void CharacterPrivate::startRequest(const Request &r)
{
    switch (r.kind) {
    case Request::Show: {
        if (m_visible) {
            complete(true);
            return;
        }
        const int a = r.fast ? -1 : pickState(State::Showing);
        if (a >= 0)
            setImage(m_data.animations.at(a).frames.first().image);
        m_visible = true;
        m_window->show();
        if (platformHasShapes())
            m_window->raise();
        QPointer<CharacterPrivate> guard(this);
        Q_EMIT q->visibilityChanged(true);
        if (!guard || m_unloaded || !m_current || m_current->id != r.id)
            return;
        if (a < 0) {
            complete(true);
            return;
        }
        startAnimation(a, false, [this] { complete(true); });
        return;
    }
    case Request::Hide: {
        if (!m_visible) {
            complete(true);
            return;
        }
        const int a = r.fast ? -1 : (m_data.states[int(State::Hiding)].isEmpty()
                                         ? -1
                                         : pickState(State::Hiding));
        if (a < 0) {
            doHide();
            complete(true);
            return;
        }
        startAnimation(a, false, [this] {
            doHide();
            complete(true);
        });
        return;
    }
    case Request::Speak: {
        setSpeaking(true);
        m_mouth = voice::Mouth::Closed;
        if (m_visible) {
            const int a = pickState(State::Speaking);
            if (a >= 0)
                startAnimation(a, true, {});
        }
        // The speaker reports started(), words and finished() on its own; it may
        // finish at once for a text with nothing to say.
        m_speaker.speak(r.text);
        return;
    }
    case Request::Play: {
        const int a = m_data.findAnimation(r.text);
        if (a < 0) {
            qCWarning(lcAgent, "%s has no animation \"%s\"", qUtf8Printable(m_id), qUtf8Printable(r.text));
            complete(false);
            return;
        }
        if (!m_visible) {
            complete(true);
            return;
        }
        if (isBroken(a)) {
            qCWarning(lcAgent, "%s cannot play \"%s\": a picture of it does not decode", qUtf8Printable(m_id),
                      qUtf8Printable(r.text));
            complete(false);
            return;
        }
        startAnimation(a, false, [this, a] {
            const int ret = m_data.animations.at(a).returnAnimation;
            if (ret >= 0 && ret != a)
                startAnimation(ret, false, [this] { complete(true); });
            else
                complete(true);
        });
        return;
    }
    case Request::Move:
        startWalk(r);
        return;
    }
}

void CharacterPrivate::stopAll(bool notify)
{
    QList<int> dropped;
    if (m_current)
        dropped.append(m_current->id);
    for (const Request &r : std::as_const(m_queue))
        dropped.append(r.id);
    m_queue.clear();
    m_current.reset();

    if (m_speaking) {
        setSpeaking(false);
        m_speaker.stop();
    }
    m_mouth = voice::Mouth::Closed;
    m_balloon->hideNow();
    m_walkTimer.stop();
    m_sound.stop();
    // Stop asks nothing of a dozing character: it sleeps on, and one waking up
    // finishes waking.
    if (!m_dozing && !m_waking) {
        haltAnimation();
        leaveIdle();
        if (m_visible)
            showRest();
    }

    if (notify) {
        QPointer<CharacterPrivate> guard(this);
        for (int id : std::as_const(dropped)) {
            Q_EMIT q->requestComplete(id, false);
            if (!guard || m_unloaded)
                return;
        }
    }
    if (!m_processing)
        enterIdle();
}

void CharacterPrivate::markUnloaded()
{
    stopAll(false);
    m_dozing = m_waking = false;
    haltAnimation();
    m_idleTimer.stop();
    m_unloaded = true;
    m_control = nullptr;
    m_window->hide();
    m_balloon->hideNow();
    m_visible = false;
}

// --- idling ----------------------------------------------------------------

void CharacterPrivate::enterIdle()
{
    if (!m_visible || m_unloaded || m_current || !m_queue.isEmpty() || m_idleAnim || m_dozing || m_waking
        || m_idleTimer.isActive())
        return;
    if (m_listening) {
        // The listening animation takes the idle animations' place while it lasts.
        const int a = pickState(State::Listening);
        if (a >= 0 && !isBroken(a)) {
            m_idleAnim = true;
            startAnimation(a, true, {});
        } else {
            showRest();
        }
        return;
    }
    // The next idle animation is chosen now and decoded while the timer runs;
    // the later it comes, the longer since anyone asked for the character.
    const qint64 delay = m_idleLevels.nextDelayMs(QRandomGenerator::global()->generateDouble());
    if (delay <= 0) {
        doze();
        return;
    }
    QList<int> pool = m_data.states[int(State::Idling)];
    const int blink = m_data.findAnimation(QStringLiteral("Blink"));
    if (blink >= 0 && !pool.contains(blink))
        pool.append(blink);
    // Calm, it only blinks now and then, where it has a blink.
    if (blink >= 0 && m_idleLevels.level() == IdleLevel::Calm)
        pool = {blink};
    m_nextIdle = pool.isEmpty() ? -1 : pool.at(randomBetween(0, int(pool.size()) - 1));
    const qint64 untilDoze = m_idleLevels.untilDozeMs();
    if (m_nextIdle < 0) {
        // Nothing to idle with: the timer runs only for the doze, if there is one.
        if (m_data.states[int(State::Dozing)].isEmpty())
            return;
        m_idleTimer.start(int(untilDoze));
        return;
    }
    if (delay >= untilDoze)
        prefetchState(State::Dozing);
    else
        prefetchAnimation(m_nextIdle);
    m_idleTimer.start(int(delay));
}

void CharacterPrivate::leaveIdle()
{
    m_idleTimer.stop();
    if (m_idleAnim) {
        m_idleAnim = false;
        haltAnimation();
    }
}

void CharacterPrivate::playIdle()
{
    Entered entered(this);
    if (!m_visible || m_current || !m_queue.isEmpty())
        return;
    if (m_idleLevels.level() == IdleLevel::Dozing) {
        doze();
        return;
    }
    const int a = m_nextIdle;
    if (a < 0 || a >= m_data.animations.size() || isBroken(a)) {
        enterIdle(); // nothing to play now: the timer waits for the doze, if there is one
        return;
    }
    m_idleAnim = true;
    startAnimation(a, false, [this] {
        m_idleAnim = false;
        enterIdle();
    });
}

void CharacterPrivate::doze()
{
    m_idleTimer.stop();
    m_dozing = true;
    qCDebug(lcAgent, "%s dozes", qUtf8Printable(m_id));
    prefetchState(State::Waking);
    const int a = ownAnimation(State::Dozing);
    if (a < 0) {
        showRest(); // asleep on its feet: nothing changes, no timer runs
        return;
    }
    // Played to its end and held there, or round its own breath for as long as it sleeps.
    startAnimation(a, false, {});
}

void CharacterPrivate::wake()
{
    if (!m_dozing || m_waking)
        return;
    m_dozing = false;
    qCDebug(lcAgent, "%s wakes", qUtf8Printable(m_id));
    haltAnimation();
    const int a = ownAnimation(State::Waking);
    if (!m_visible || a < 0) {
        showRest();
        awake();
        return;
    }
    m_waking = true;
    startAnimation(a, false, [this] {
        m_waking = false;
        awake();
    });
}

void CharacterPrivate::awake()
{
    if (!m_queue.isEmpty()) {
        processQueue();
        return;
    }
    showRest(); // also after a Waking that does not end there
    enterIdle();
}

void CharacterPrivate::userTouched()
{
    Entered entered(this);
    m_idleLevels.touch();
    if (m_dozing) {
        wake();
    } else if (m_idleTimer.isActive()) {
        // A calm character's next idle animation comes sooner again.
        m_idleTimer.stop();
        enterIdle();
    }
}

void CharacterPrivate::doHide()
{
    m_dozing = m_waking = false;
    m_frameTimer.stop();
    m_idleTimer.stop();
    m_walkTimer.stop();
    m_window->hide();
    m_balloon->hideNow();
    if (!m_visible)
        return;
    m_visible = false;
    Q_EMIT q->visibilityChanged(false);
}

int CharacterPrivate::restAnimation() const
{
    const QList<int> &rest = m_data.states[int(State::Rest)];
    if (!rest.isEmpty())
        return rest.first();
    for (const char *name : {"RestPose", "Rest"}) {
        const int a = m_data.findAnimation(QLatin1String(name));
        if (a >= 0)
            return a;
    }
    return -1;
}

int CharacterPrivate::pickState(State state, int dx) const
{
    const QList<int> *list = &m_data.states[int(state)];
    if (list->isEmpty() && (state == State::MovingUp || state == State::MovingDown)) {
        list = &m_data.states[int(dx < 0 ? State::MovingLeft : State::MovingRight)];
        if (list->isEmpty())
            list = &m_data.states[int(dx < 0 ? State::MovingRight : State::MovingLeft)];
    }
    if (list->isEmpty())
        return restAnimation();
    return list->at(randomBetween(0, int(list->size()) - 1));
}

int CharacterPrivate::ownAnimation(State state) const
{
    if (m_data.states[int(state)].isEmpty())
        return -1;
    const int a = pickState(state);
    return a >= 0 && !isBroken(a) ? a : -1;
}

void CharacterPrivate::showRest()
{
    const int rest = restAnimation();
    if (rest >= 0) {
        m_mouthFrame = m_data.animations.at(rest).frames.first().mouth;
        setImage(m_data.animations.at(rest).frames.first().image);
    }
}

void CharacterPrivate::setImage(int image)
{
    if (image == m_image || image < 0 || image >= m_data.images.size()) {
        if (m_window && m_speaking && m_mouthFrame)
            m_window->mouthChanged();
        return;
    }
    m_image = image;
    m_window->frameChanged(image);
}

QRegion CharacterPrivate::maskFor(int image)
{
    if (image < 0 || image >= m_data.images.size())
        return QRegion(0, 0, m_data.width, m_data.height);
    auto it = m_masks.find(image);
    if (it == m_masks.end()) {
        // Shapes are few per character, but a long run through a large file must not hoard them.
        if (m_masks.size() >= 64)
            m_masks.clear();
        // From the picture on show: at 2x its every other pixel, one to a pixel of the window.
        const FrameImage &picture = m_data.images.at(image);
        QImage img = hiDpi() ? picture.image2x() : QImage();
        if (img.isNull()) {
            img = picture.image();
        } else {
            img = img.scaled(m_data.width, m_data.height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
            img.setDevicePixelRatio(1.0);
        }
        QRegion region(QBitmap::fromImage(img.createAlphaMask(Qt::ThresholdAlphaDither)));
        // A frame that is fully transparent still needs some shape, or X takes the whole window.
        if (region.isEmpty())
            region = QRegion(0, 0, 1, 1);
        it = m_masks.insert(image, region);
    }
    return *it;
}

const FrameImage *CharacterPrivate::currentImage() const
{
    if (m_image < 0 || m_image >= m_data.images.size())
        return nullptr;
    return &m_data.images.at(m_image);
}

const FrameImage *CharacterPrivate::currentMouth() const
{
    if (!m_speaking || !m_mouthFrame || !m_data.hasMouth || !m_visible)
        return nullptr;
    return &m_data.mouth.at(int(m_mouth));
}

// --- decoding ahead -------------------------------------------------------

bool CharacterPrivate::hiDpi() const
{
    return m_window && m_window->devicePixelRatioF() > 1.0;
}

void CharacterPrivate::prefetchImages(const QList<int> &images)
{
    if (!m_data.store || images.isEmpty())
        return;
    if (!hiDpi()) {
        m_data.store->prefetch(images, 1);
        return;
    }
    m_data.store->prefetch(images, 2);
    // The 2x pictures shape the window too (maskFor); only a picture without one
    // is shown, and shaped, at 1x. Decoding the 1x pictures beside them would
    // unpack their 1x pack and the 2x one by turns, for every frame.
    QList<int> only1x;
    for (int image : images) {
        if (image >= 0 && image < m_data.images.size() && !m_data.images.at(image).has2x())
            only1x.append(image);
    }
    if (!only1x.isEmpty())
        m_data.store->prefetch(only1x, 1);
}

void CharacterPrivate::prefetchAnimation(int animation)
{
    if (animation < 0 || animation >= m_data.animations.size())
        return;
    // The whole animation when the cache holds it; else its first frames, and
    // showFrame keeps one step ahead from there.
    const QList<Frame> &frames = m_data.animations.at(animation).frames;
    const qint64 frameBytes = qint64(m_data.width) * m_data.height * 4 * (hiDpi() ? 4 : 1);
    const qint64 room = m_data.store ? m_data.store->budget() / 2 / std::max<qint64>(1, frameBytes) : 0;
    const int n = int(std::min<qint64>(frames.size(), std::max<qint64>(2, room)));
    QList<int> images;
    for (int i = 0; i < n; ++i) {
        if (!images.contains(frames.at(i).image))
            images.append(frames.at(i).image);
    }
    prefetchImages(images);
}

void CharacterPrivate::prefetchState(State state)
{
    for (int a : std::as_const(m_data.states[int(state)]))
        prefetchAnimation(a);
}

bool CharacterPrivate::isBroken(int animation) const
{
    if (!m_data.store)
        return false;
    for (const Frame &f : m_data.animations.at(animation).frames) {
        if (m_data.store->isBroken(f.image))
            return true;
    }
    return false;
}

// --- animation -------------------------------------------------------------

void CharacterPrivate::startAnimation(int animation, bool loop, std::function<void()> done)
{
    m_frameTimer.stop();
    m_anim = animation;
    m_loop = loop;
    m_exiting = false;
    m_steps = 0;
    m_animDone = std::move(done);
    m_animClock.start();
    prefetchAnimation(animation);
    showFrame(0);
}

void CharacterPrivate::showFrame(int frame)
{
    const Animation &a = m_data.animations.at(m_anim);
    m_frame = frame;
    const Frame &f = a.frames.at(frame);
    m_mouthFrame = f.mouth;
    setImage(f.image);
    // Whatever can follow this frame is decoded while it shows.
    QList<int> next;
    const int count = int(a.frames.size());
    next.append(a.frames.at(frame + 1 < count ? frame + 1 : 0).image);
    for (const Branch &b : f.branches)
        next.append(a.frames.at(b.frame).image);
    if (f.exit >= 0)
        next.append(a.frames.at(f.exit).image);
    prefetchImages(next);
    if (f.sound >= 0 && m_soundOn && Options::instance().soundEffects())
        m_sound.play(m_data.sounds.at(f.sound));
    // A looping still picture needs no timer: nothing changes until it is ended.
    if (m_loop && a.frames.size() == 1 && f.sound < 0)
        return;
    m_frameTimer.start(f.duration);
}

void CharacterPrivate::nextFrame()
{
    Entered entered(this);
    if (m_anim < 0)
        return;
    const Animation &a = m_data.animations.at(m_anim);
    const Frame &f = a.frames.at(m_frame);
    const int count = int(a.frames.size());
    ++m_steps;
    int next = m_frame + 1;
    if (m_exiting) {
        if (f.exit >= 0)
            next = f.exit;
        if (m_steps > 2 * count + 2) // exit branches that go round in a circle
            next = count;
    } else {
        if (!f.branches.isEmpty()) {
            const int roll = randomBetween(0, 99);
            int sum = 0;
            for (const Branch &b : f.branches) {
                sum += b.probability;
                if (roll < sum) {
                    next = b.frame;
                    break;
                }
            }
        }
        // A doze breathes round its own loop for as long as the character sleeps.
        if (!m_loop && !m_dozing && (m_steps > kMaxSteps || m_animClock.elapsed() > kMaxPlayMs)) {
            m_exiting = true;
            m_steps = 0;
            next = f.exit >= 0 ? f.exit : m_frame + 1;
        }
    }
    if (next >= count) {
        if (m_loop && !m_exiting) {
            next = 0;
        } else {
            finishAnimation();
            return;
        }
    }
    showFrame(next);
}

void CharacterPrivate::finishAnimation()
{
    m_frameTimer.stop();
    m_anim = -1;
    auto done = std::move(m_animDone);
    m_animDone = nullptr;
    if (done)
        done();
}

void CharacterPrivate::exitAnimation(std::function<void()> done)
{
    if (m_anim < 0 || !m_frameTimer.isActive()) {
        m_frameTimer.stop();
        m_anim = -1;
        m_animDone = nullptr;
        done();
        return;
    }
    m_loop = false;
    m_exiting = true;
    m_steps = 0;
    m_animDone = std::move(done);
}

void CharacterPrivate::haltAnimation()
{
    m_frameTimer.stop();
    m_anim = -1;
    m_animDone = nullptr;
}

// --- walking ---------------------------------------------------------------

void CharacterPrivate::startWalk(const Request &r)
{
    // On the desktop a character never walks out of reach: the place asked
    // is kept inside the available area of the monitor it lies on or nearest.
    QPoint target(r.x, r.y);
    if (m_window->isWindow()) {
        const QRect asked(target, m_window->size());
        target = screenarea::keptInside(asked, screenarea::availableAreaFor(asked)).topLeft();
    }
    const QPoint from = m_window->pos();
    if (!m_visible || r.speed <= 0 || from == target) {
        moveWindow(target);
        complete(true);
        return;
    }
    m_walkFrom = from;
    m_walkTo = target;
    m_walkDuration = r.speed;
    m_walkClock.start();
    const QPoint d = target - from;
    State state;
    if (qAbs(d.x()) >= qAbs(d.y()))
        state = d.x() < 0 ? State::MovingLeft : State::MovingRight;
    else
        state = d.y() < 0 ? State::MovingUp : State::MovingDown;
    const int a = pickState(state, d.x());
    if (a >= 0)
        startAnimation(a, true, {});
    m_walkTimer.start();
}

void CharacterPrivate::walkStep()
{
    Entered entered(this);
    if (m_window->isDragging())
        return;
    const qreal t = qMin<qreal>(1.0, qreal(m_walkClock.elapsed()) / m_walkDuration);
    const QPointF p = QPointF(m_walkFrom) + QPointF(m_walkTo - m_walkFrom) * t;
    moveWindow(p.toPoint());
    if (t < 1.0)
        return;
    m_walkTimer.stop();
    exitAnimation([this] { complete(true); });
}

void CharacterPrivate::moveWindow(const QPoint &topLeft)
{
    m_window->move(topLeft);
    WindowManager::instance().checkMove(m_window.get(), topLeft);
    m_balloon->follow(QRect(topLeft, QSize(m_data.width, m_data.height)));
}

// --- speech ----------------------------------------------------------------

void CharacterPrivate::onSpeechStarted(const QString &text)
{
    if (!m_speaking)
        return;
    if (m_visible && Options::instance().balloon())
        m_balloon->begin(text, QRect(m_window->pos(), m_window->size()));
    else
        m_balloon->hideNow();
}

void CharacterPrivate::onWord(int position, int length)
{
    if (m_speaking && m_balloon->isVisible())
        m_balloon->reveal(position + length);
}

void CharacterPrivate::onMouth(voice::Mouth mouth)
{
    if (!m_speaking || mouth == m_mouth)
        return;
    m_mouth = mouth;
    if (m_mouthFrame && m_visible)
        m_window->mouthChanged();
}

void CharacterPrivate::onSpeechFinished()
{
    Entered entered(this);
    if (!m_speaking)
        return;
    setSpeaking(false);
    m_mouth = voice::Mouth::Closed;
    if (m_balloon->isVisible())
        m_balloon->finishSoon(kBalloonLingerMs);
    if (m_mouthFrame)
        m_window->mouthChanged();
    exitAnimation([this] { complete(true); });
}

// --- the user --------------------------------------------------------------

void CharacterPrivate::dragFinished(int button, int shift, const QPoint &globalPos)
{
    Entered entered(this);
    if (m_control && !m_unloaded)
        Q_EMIT m_control->dragComplete(m_id, button, shift, globalPos.x(), globalPos.y());
}

void CharacterPrivate::emitCommand(const QString &name)
{
    Entered entered(this);
    if (m_control && !m_unloaded)
        Q_EMIT m_control->command(UserInput{name, m_id, QString()});
}

namespace {
QSet<const CharacterPrivate *> &speakingNow()
{
    static QSet<const CharacterPrivate *> set;
    return set;
}
} // namespace

bool anyCharacterSpeaking() { return !speakingNow().isEmpty(); }

void CharacterPrivate::setSpeaking(bool speaking)
{
    m_speaking = speaking;
    const bool was = anyCharacterSpeaking();
    if (speaking)
        speakingNow().insert(this);
    else
        speakingNow().remove(this);
    if (was != anyCharacterSpeaking())
        service::speakingChanged();
}

void CharacterPrivate::setListening(bool on)
{
    if (on == m_listening)
        return;
    m_listening = on;
    m_idleLevels.touch();
    // A dozing character wakes first and listens once awake.
    if (m_dozing || m_waking) {
        wake();
        return;
    }
    // An idle animation (or the listening loop) gives way at once.
    leaveIdle();
    if (!on)
        showRest();
    enterIdle();
}

void CharacterPrivate::playHearing()
{
    if (!m_visible || m_current || !m_queue.isEmpty())
        return;
    const int a = ownAnimation(State::Hearing);
    if (a < 0)
        return;
    leaveIdle();
    m_idleAnim = true;
    startAnimation(a, false, [this] {
        m_idleAnim = false;
        enterIdle();
    });
}

void CharacterPrivate::showMenu(const QPoint &globalPos)
{
    auto *menu = new QMenu(m_window.get());
    menu->setObjectName(QStringLiteral("agent_menu_") + m_id);
    bool any = false;
    for (const Commands::Command &c : m_commands.items()) {
        if (!c.visible)
            continue;
        QAction *a = menu->addAction(c.caption.isEmpty() ? c.name : c.caption);
        a->setEnabled(c.enabled);
        const QString name = c.name;
        connect(a, &QAction::triggered, this, [this, name] { emitCommand(name); }, Qt::QueuedConnection);
        any = true;
    }
    if (any)
        menu->addSeparator();
    connect(
        menu->addAction(QStringLiteral("Listen")), &QAction::triggered, this,
        [this] { service::listen(q, true); }, Qt::QueuedConnection);
    connect(
        menu->addAction(QStringLiteral("Open Commands Window")), &QAction::triggered, this,
        [] { service::showCommandsWindow(); }, Qt::QueuedConnection);
    connect(
        menu->addAction(QStringLiteral("Options...")), &QAction::triggered, this,
        [] { service::setOptionsVisible(true); }, Qt::QueuedConnection);
    connect(
        menu->addAction(QStringLiteral("Hide")), &QAction::triggered, this,
        [this] {
            // The user's hide is not a program's request: nothing is logged.
            stopAll(true);
            Request r;
            r.kind = Request::Hide;
            enqueue(r);
        },
        Qt::QueuedConnection);
    // The menu goes once hidden, and its choices run after the menu's own
    // handling is over (queued): a command handler that waits (pause) lets
    // deferred deletions run, which would otherwise delete the menu under its
    // own key or mouse handler.
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    menu->popup(globalPos);
}

// ---------------------------------------------------------------------------

Character::Character(AgentControl *control, const QString &id, const CharacterData &data)
    : QObject(control), d(new CharacterPrivate(this, control, id, data))
{
}

Character::~Character()
{
    delete d;
    d = nullptr;
}

QString Character::id() const { return d->m_id; }
QString Character::name() const { return d->m_data.name; }
QString Character::description() const { return d->m_data.description; }

int Character::show(bool fast)
{
    CharacterPrivate::Entered entered(d);
    logRequest(d->m_id, QStringLiteral("Show"));
    Request r;
    r.kind = Request::Show;
    r.fast = fast;
    return d->enqueue(r);
}

int Character::hide(bool fast)
{
    CharacterPrivate::Entered entered(d);
    logRequest(d->m_id, QStringLiteral("Hide"));
    Request r;
    r.kind = Request::Hide;
    r.fast = fast;
    return d->enqueue(r);
}

int Character::speak(const QString &text)
{
    CharacterPrivate::Entered entered(d);
    logRequest(d->m_id, QStringLiteral("Speak ") + text);
    Request r;
    r.kind = Request::Speak;
    r.text = text;
    return d->enqueue(r);
}

int Character::play(const QString &animation)
{
    CharacterPrivate::Entered entered(d);
    logRequest(d->m_id, QStringLiteral("Play ") + animation);
    Request r;
    r.kind = Request::Play;
    r.text = animation;
    return d->enqueue(r);
}

int Character::moveTo(int x, int y, int speed)
{
    CharacterPrivate::Entered entered(d);
    QString arg = QStringLiteral("MoveTo %1,%2").arg(x).arg(y);
    if (speed != 1000)
        arg += QStringLiteral(",%1").arg(speed);
    logRequest(d->m_id, arg);
    Request r;
    r.kind = Request::Move;
    r.x = x;
    r.y = y;
    r.speed = speed;
    return d->enqueue(r);
}

void Character::stop()
{
    CharacterPrivate::Entered entered(d);
    logRequest(d->m_id, QStringLiteral("Stop"));
    if (!d->m_unloaded)
        d->stopAll(true);
}

void Character::setSoundEffectsOn(bool on)
{
    logRequest(d->m_id, QStringLiteral("SoundEffectsOn ") + (on ? QStringLiteral("true") : QStringLiteral("false")));
    d->m_soundOn = on;
}

bool Character::soundEffectsOn() const { return d->m_soundOn; }
int Character::left() const { return d->m_window->x(); }
int Character::top() const { return d->m_window->y(); }
void Character::setLeft(int x) { d->moveWindow(QPoint(x, top())); }
void Character::setTop(int y) { d->moveWindow(QPoint(left(), y)); }
int Character::width() const { return d->m_data.width; }
int Character::height() const { return d->m_data.height; }
bool Character::isVisible() const { return d->m_visible; }
bool Character::isBusy() const { return d->isBusy(); }

QStringList Character::animationNames() const
{
    QStringList names;
    for (const Animation &a : d->m_data.animations)
        names.append(a.name);
    return names;
}

Commands &Character::commands() { return d->m_commands; }
AgentControl *Character::control() const { return d->m_control; }

} // namespace chimewell::agent
