#include "animations.h"

#include <cmath>

namespace chimewell::art {

namespace {
constexpr double twoPi = 6.28318530717958647692;

AnimationSpec make(const QString &name, const Timeline &tl, int step = 100)
{
    AnimationSpec a;
    a.name = name;
    a.timeline = tl;
    a.step = step;
    return a;
}

// A gesture: short, cut short to its last (rest) frame, back to rest afterwards.
AnimationSpec gesture(const QString &name, const Timeline &tl, int step = 100)
{
    AnimationSpec a = make(name, tl, step);
    a.exitToEnd = true;
    a.returnTo = QStringLiteral("RestPose");
    return a;
}

// One cycle of moving along; dir -1 left, +1 right, 0 towards or away from the viewer.
Timeline moveCycle(const Character &c, int dir, double lookY)
{
    const Pose rest = c.rest();
    Timeline tl(rest);
    const int frames = 8;
    const int step = 80;
    for (int i = 0; i <= frames; ++i) {
        const double ph = double(i % frames) / frames;
        tl.to(i * step, [&](Pose &p) {
            p = rest;
            p.walk = ph;
            p.turn = dir;
            p.lookX = dir * 0.8;
            p.lookY = lookY;
            switch (c.motion()) {
            case Motion::Walk:
                p.stride = 1;
                p.y = -2.5 * std::abs(std::sin(ph * twoPi));
                p.lean = dir * 4;
                p.armL = 20 + 25 * std::sin(ph * twoPi);
                p.armR = 20 - 25 * std::sin(ph * twoPi);
                p.elbowL = p.elbowR = 20;
                break;
            case Motion::Fly:
                p.stride = 1;
                p.y = -10 - 3 * std::sin(ph * twoPi);
                p.lean = dir * 6;
                p.effect = Effect::Speed;
                p.armL = p.armR = 10 + 10 * std::sin(ph * twoPi);
                break;
            case Motion::Float:
                p.stride = 1;
                p.y = -4 - 3 * std::sin(ph * twoPi);
                p.lean = dir * 10;
                p.armL = 35 + 8 * std::sin(ph * twoPi);
                p.armR = 35 - 8 * std::sin(ph * twoPi);
                p.elbowL = p.elbowR = 30;
                break;
            }
        }, Ease::Linear);
    }
    return tl;
}
} // namespace

QStringList requiredAnimations()
{
    return {QStringLiteral("Show"),      QStringLiteral("Hide"),         QStringLiteral("RestPose"),
            QStringLiteral("Idle1"),     QStringLiteral("Idle2"),        QStringLiteral("Blink"),
            QStringLiteral("Speak"),     QStringLiteral("MoveLeft"),     QStringLiteral("MoveRight"),
            QStringLiteral("MoveUp"),    QStringLiteral("MoveDown"),     QStringLiteral("Congratulate"),
            QStringLiteral("Confused"),  QStringLiteral("Decline"),      QStringLiteral("DoMagic1"),
            QStringLiteral("Explain"),   QStringLiteral("Greet"),        QStringLiteral("LookDown"),
            QStringLiteral("Pleased"),   QStringLiteral("Read"),         QStringLiteral("Listen"),
            QStringLiteral("Hear"),      QStringLiteral("Doze"),         QStringLiteral("Wake")};
}

Pose sleepPose(const Pose &rest)
{
    Pose p = rest;
    p.eyeOpen = 0;
    p.happy = 0;
    p.headTilt = rest.headTilt + 8;
    p.turn = 0;
    p.lookX = 0;
    p.lookY = 0.5;
    p.brow = -0.15;
    p.browTilt = 0;
    p.mouth = Mouth::Small;
    return p;
}

// Only the head moves with the breath (and in the whole doze): the pictures are
// small patches over the rest picture, and a breath repaints the head alone.
Pose breathIn(const Pose &asleep)
{
    Pose p = asleep;
    p.headTilt = asleep.headTilt - 2;
    p.mouth = Mouth::Closed;
    return p;
}

Pose listenPose(const Pose &rest)
{
    Pose p = rest;
    // The upper arm goes out and up, the forearm comes back in to the side of the head.
    p.armR = 120;
    p.elbowR = 68;
    p.reach = 0.8;
    p.lookX = -0.5;
    p.lookY = -0.4;
    p.brow = 0.6;
    p.mouth = Mouth::Closed;
    return p;
}

Pose speakPose(const Character &c)
{
    Pose p = c.rest();
    p.mouth = Mouth::Closed;
    return p;
}

std::vector<AnimationSpec> standardAnimations(const Character &c)
{
    const Pose R = c.rest();
    std::vector<AnimationSpec> out;

    out.push_back(make(QStringLiteral("RestPose"), Timeline(R)));

    {   // Pop up: grow from nothing with a springy overshoot, then a blink.
        Pose start = R;
        start.scale = 0.05;
        start.opacity = 0;
        start.eyeOpen = 0;
        Timeline tl(start);
        tl.to(140, [](Pose &p) { p.scale = 0.7; p.opacity = 1; p.squash = 0.25; p.eyeOpen = 0; })
            .to(280, [](Pose &p) { p.scale = 1.03; p.squash = 0.04; p.eyeOpen = 1; p.happy = 1; p.mouth = Mouth::Grin; })
            .to(420, [](Pose &p) { p.scale = 0.96; p.squash = -0.1; })
            .to(560, [](Pose &p) { p.scale = 1; p.squash = 0; p.happy = 0; })
            .back(700, R);
        AnimationSpec a = make(QStringLiteral("Show"), tl, 80);
        out.push_back(a);
    }
    {   // Squash down, then shrink away.
        Timeline tl(R);
        tl.to(140, [](Pose &p) { p.squash = -0.15; p.eyeOpen = 0.5; })
            .to(280, [](Pose &p) { p.squash = 0.05; p.eyeOpen = 0; p.mouth = Mouth::Round; })
            .to(560, [](Pose &p) { p.scale = 0.05; p.opacity = 0; p.squash = 0.3; }, Ease::In);
        AnimationSpec a = make(QStringLiteral("Hide"), tl, 80);
        a.exitToEnd = true;
        out.push_back(a);
    }
    {   // Look one way, blink, the other way, back; sometimes looks again.
        Timeline tl(R);
        tl.hold(400)
            .to(700, [](Pose &p) { p.lookX = -0.9; p.turn = -0.3; })
            .hold(1200)
            .to(1300, [](Pose &p) { p.eyeOpen = 0; })
            .to(1400, [](Pose &p) { p.eyeOpen = 1; })
            .to(1800, [](Pose &p) { p.lookX = 0.9; p.turn = 0.3; })
            .hold(2300)
            .back(2700, R);
        AnimationSpec a = make(QStringLiteral("Idle1"), tl);
        a.exitToEnd = true;
        a.branches.push_back({2300, 700, 25});
        out.push_back(a);
    }
    {
        Timeline tl(R);
        tl.to(80, [](Pose &p) { p.eyeOpen = 0.4; })
            .to(160, [](Pose &p) { p.eyeOpen = 0; })
            .to(240, [](Pose &p) { p.eyeOpen = 0.5; })
            .back(320, R);
        AnimationSpec a = make(QStringLiteral("Blink"), tl, 80);
        a.exitToEnd = true;
        out.push_back(a);
    }
    {   // Looks up at the sky, stretches, hums to itself.
        Timeline tl(R);
        tl.to(400, [](Pose &p) { p.lookY = -0.9; p.lookX = 0.3; p.brow = 0.6; p.headTilt = -5; })
            .hold(800)
            .to(1200, [](Pose &p) { p.armL = 150; p.armR = 150; p.elbowL = p.elbowR = 20; p.squash = 0.03;
                                    p.eyeOpen = 0; p.mouth = Mouth::Round; })
            .hold(1600)
            .to(1900, [&](Pose &p) { p.armL = R.armL; p.armR = R.armR; p.elbowL = R.elbowL; p.elbowR = R.elbowR;
                                     p.squash = 0; p.eyeOpen = 1; p.mouth = Mouth::Smile; p.lookY = 0; p.brow = 0; })
            .back(2300, R);
        AnimationSpec a = make(QStringLiteral("Idle2"), tl);
        a.exitToEnd = true;
        out.push_back(a);
    }
    {   // Speaking: the head holds still, the eyes and arms do the talking.
        const Pose S = speakPose(c);
        Timeline tl(S);
        tl.to(300, [](Pose &p) { p.armR = 45; p.elbowR = 40; p.brow = 0.5; })
            .to(600, [](Pose &p) { p.armR = 35; p.elbowR = 25; p.lookX = 0.4; })
            .to(800, [](Pose &p) { p.eyeOpen = 0; })
            .to(900, [](Pose &p) { p.eyeOpen = 1; p.brow = 0; })
            .to(1200, [](Pose &p) { p.armL = 40; p.elbowL = 35; p.lookX = -0.3; })
            .back(1500, S);
        AnimationSpec a = make(QStringLiteral("Speak"), tl);
        a.mouth = true;
        a.mergeStill = false;
        a.cycle = true;
        out.push_back(a);
    }
    const struct { const char *name; int dir; double lookY; } moves[] = {
        {"MoveLeft", -1, 0}, {"MoveRight", 1, 0}, {"MoveUp", 0, -0.8}, {"MoveDown", 0, 0.8}};
    for (const auto &m : moves) {
        AnimationSpec a = make(QString::fromLatin1(m.name), moveCycle(c, m.dir, m.lookY), 80);
        a.mergeStill = false;
        a.cycle = true;
        out.push_back(a);
    }

    {   // Wave hello with the right hand.
        Timeline tl(R);
        tl.to(250, [](Pose &p) { p.armR = 150; p.elbowR = 20; p.reach = 0.35; p.mouth = Mouth::Grin; p.brow = 0.7; p.lookX = 0.2; })
            .to(450, [](Pose &p) { p.elbowR = -25; p.headTilt = 4; })
            .to(650, [](Pose &p) { p.elbowR = 25; })
            .to(850, [](Pose &p) { p.elbowR = -25; })
            .to(1050, [](Pose &p) { p.elbowR = 25; })
            .to(1250, [](Pose &p) { p.elbowR = 0; p.mouth = Mouth::Smile; p.headTilt = 0; })
            .back(1550, R);
        AnimationSpec a = gesture(QStringLiteral("Greet"), tl);
        a.sound = QStringLiteral("sounds/greet.wav");
        out.push_back(a);
    }
    {   // Two happy hops.
        Timeline tl(R);
        tl.to(150, [](Pose &p) { p.squash = -0.14; p.happy = 1; p.mouth = Mouth::Grin; p.armL = p.armR = 35; })
            .to(320, [](Pose &p) { p.squash = 0.04; p.y = -7; p.armL = p.armR = 70; p.effect = Effect::Hearts; p.fx = 0.3; }, Ease::Out)
            .to(480, [](Pose &p) { p.squash = -0.12; p.y = 0; p.armL = p.armR = 35; p.fx = 0.5; }, Ease::In)
            .to(640, [](Pose &p) { p.squash = 0.03; p.y = -5; p.armL = p.armR = 65; p.fx = 0.75; }, Ease::Out)
            .to(800, [](Pose &p) { p.squash = -0.08; p.y = 0; p.fx = 1; }, Ease::In)
            .to(950, [](Pose &p) { p.squash = 0; p.effect = Effect::None; p.fx = 0; })
            .back(1150, R);
        AnimationSpec a = gesture(QStringLiteral("Pleased"), tl);
        a.sound = QStringLiteral("sounds/pleased.wav");
        out.push_back(a);
    }
    {   // Both arms up, a jump and confetti.
        Timeline tl(R);
        tl.to(200, [](Pose &p) { p.squash = -0.15; p.armL = p.armR = 60; p.mouth = Mouth::Grin; p.happy = 1;
                                 p.effect = Effect::Confetti; p.fx = 0; })
            .to(400, [](Pose &p) { p.squash = 0.04; p.y = -7; p.armL = p.armR = 160; p.elbowL = p.elbowR = 10;
                                   p.fx = 0.2; p.mouth = Mouth::Wide; }, Ease::Out)
            .to(600, [](Pose &p) { p.squash = -0.1; p.y = 0; p.fx = 0.4; }, Ease::In)
            .to(800, [](Pose &p) { p.squash = 0.02; p.armL = p.armR = 145; p.fx = 0.55; p.happy = 0; p.brow = 0.8; })
            .to(1000, [](Pose &p) { p.armL = p.armR = 160; p.fx = 0.7; })
            .to(1200, [](Pose &p) { p.armL = p.armR = 145; p.fx = 0.85; p.mouth = Mouth::Grin; })
            .to(1400, [](Pose &p) { p.fx = 1; p.squash = 0; })
            .back(1700, R);
        AnimationSpec a = gesture(QStringLiteral("Congratulate"), tl);
        a.sound = QStringLiteral("sounds/congratulate.wav");
        out.push_back(a);
    }
    {   // Head on one side, scratching above the ear, a question mark pops up.
        Timeline tl(R);
        tl.to(250, [](Pose &p) { p.headTilt = -9; p.browTilt = 1; p.mouth = Mouth::Flat; p.lookX = -0.5; p.lookY = -0.6;
                                 p.armR = 150; p.elbowR = 35; p.reach = 0.8; p.effect = Effect::Question; p.fx = 0.05; });
        for (int i = 0; i < 4; ++i)
            tl.to(450 + i * 200, [i](Pose &p) { p.elbowR = i % 2 ? 35 : 48; p.fx = 0.3 + i * 0.17; });
        tl.to(1300, [](Pose &p) { p.fx = 1; })
            .to(1350, [](Pose &p) { p.effect = Effect::None; })
            .back(1650, R);
        out.push_back(gesture(QStringLiteral("Confused"), tl));
    }
    {   // No, thank you: head shake, hands out.
        Timeline tl(R);
        tl.to(250, [](Pose &p) { p.armL = p.armR = 70; p.elbowL = p.elbowR = 50; p.mouth = Mouth::Frown; p.brow = -0.6;
                                 p.eyeOpen = 0.7; p.turn = -0.6; p.lookX = -0.8; p.headTilt = -3; })
            .to(450, [](Pose &p) { p.turn = 0.6; p.lookX = 0.8; p.headTilt = 3; })
            .to(650, [](Pose &p) { p.turn = -0.6; p.lookX = -0.8; p.headTilt = -3; })
            .to(850, [](Pose &p) { p.turn = 0.6; p.lookX = 0.8; p.headTilt = 3; })
            .to(1050, [](Pose &p) { p.turn = 0; p.lookX = 0; p.headTilt = 0; })
            .back(1350, R);
        out.push_back(gesture(QStringLiteral("Decline"), tl));
    }
    {   // A wand swirl and sparkles.
        Timeline tl(R);
        tl.to(100, [](Pose &p) { p.prop = Prop::Wand; p.armR = 30; p.elbowR = 20; })
            .to(250, [](Pose &p) { p.prop = Prop::Wand; p.armR = 60; p.elbowR = 30; p.lookX = 0.7; p.lookY = -0.4; p.brow = 0.6; })
            .to(450, [](Pose &p) { p.armR = 125; p.elbowR = 10; p.mouth = Mouth::Round; p.effect = Effect::Sparkles; p.fx = 0; })
            .to(700, [](Pose &p) { p.armR = 105; p.elbowR = -15; p.fx = 0.3; })
            .to(950, [](Pose &p) { p.armR = 130; p.elbowR = 5; p.fx = 0.55; p.mouth = Mouth::Grin; })
            .to(1200, [](Pose &p) { p.armR = 120; p.elbowR = -10; p.fx = 0.8; p.happy = 1; })
            .to(1450, [](Pose &p) { p.fx = 1; })
            .to(1500, [](Pose &p) { p.effect = Effect::None; p.happy = 0; })
            .back(1800, R);
        out.push_back(gesture(QStringLiteral("DoMagic1"), tl));
    }
    {   // Points out to the side and makes a point of it.
        Timeline tl(R);
        tl.to(300, [](Pose &p) { p.armR = 85; p.elbowR = 35; p.lookX = 0.9; p.turn = 0.3; p.brow = 0.6; p.mouth = Mouth::Open; })
            .to(550, [](Pose &p) { p.armR = 95; p.elbowR = 15; p.mouth = Mouth::Small; })
            .to(800, [](Pose &p) { p.armR = 80; p.elbowR = 40; p.lookX = 0; p.turn = 0; p.mouth = Mouth::Open; })
            .to(1050, [](Pose &p) { p.armR = 95; p.elbowR = 15; p.armL = 40; p.elbowL = 40; p.mouth = Mouth::Smile; })
            .to(1300, [](Pose &p) { p.armR = 80; p.elbowR = 40; })
            .back(1650, R);
        out.push_back(gesture(QStringLiteral("Explain"), tl));
    }
    {
        Timeline tl(R);
        tl.to(350, [](Pose &p) { p.lookY = 1; p.eyeOpen = 0.75; p.headTilt = 3; p.y = 1; p.lean = 2; })
            .hold(1000)
            .to(1100, [](Pose &p) { p.eyeOpen = 0; })
            .to(1200, [](Pose &p) { p.eyeOpen = 0.75; })
            .hold(1500)
            .back(1850, R);
        out.push_back(gesture(QStringLiteral("LookDown"), tl));
    }
    {   // Opens a book and reads along a line or two.
        Timeline tl(R);
        tl.to(100, [](Pose &p) { p.prop = Prop::Book; p.propOpen = 0; p.armL = p.armR = 20; p.elbowL = p.elbowR = -50; })
            .to(300, [](Pose &p) { p.prop = Prop::Book; p.propOpen = 0; p.armL = p.armR = 25; p.elbowL = p.elbowR = -95;
                                 p.lookY = 0.9; p.eyeOpen = 0.85; })
            .to(500, [](Pose &p) { p.propOpen = 1; p.lookX = -0.7; })
            .to(900, [](Pose &p) { p.lookX = 0.7; }, Ease::Linear)
            .to(1000, [](Pose &p) { p.lookX = -0.7; })
            .to(1400, [](Pose &p) { p.lookX = 0.7; }, Ease::Linear)
            .to(1550, [](Pose &p) { p.lookX = 0; p.lookY = 0; p.eyeOpen = 1; p.brow = 0.7; p.mouth = Mouth::Round; })
            .to(1750, [](Pose &p) { p.propOpen = 0; })
            .back(2000, R);
        out.push_back(gesture(QStringLiteral("Read"), tl));
    }
    {   // A hand cupped to the ear, held while the character listens. The hold runs
        // round by itself (its last frame always branches back), and only leaving it
        // early, as the service does when listening ends, lowers the hand again. The
        // hand goes up and down through one shared picture, and the hold changes only
        // the eyes, so the files grow little.
        const Pose H = c.listening(listenPose(R));
        const Pose mid = mix(R, H, 0.5);
        Pose glance = H;
        glance.lookX = 0.4;
        glance.brow = 0.8;
        Pose blink = glance;
        blink.eyeOpen = 0;
        Timeline tl(R);
        tl.back(100, mid, Ease::Linear)
            .back(listenLoopStart, H, Ease::Linear)
            .hold(900)
            .back(1000, glance, Ease::Linear)
            .hold(1300)
            .back(1400, blink, Ease::Linear)
            .back(1500, glance, Ease::Linear)
            .hold(listenLoopEnd)
            .back(1800, H, Ease::Linear)
            .back(1900, mid, Ease::Linear)
            .back(2000, R, Ease::Linear);
        AnimationSpec a = make(QStringLiteral("Listen"), tl);
        a.branches.push_back({listenLoopEnd, listenLoopStart, 100});
        a.exitAt = listenLoopEnd + 100;
        a.returnTo = QStringLiteral("RestPose");
        out.push_back(a);
    }
    {   // Heard it: two quick happy nods, then rest.
        Pose down = R;
        down.squash = -0.05;
        down.happy = 1;
        down.headTilt = 2;
        Pose up = R;
        up.squash = 0.015;
        up.happy = 1;
        up.brow = 0.6;
        up.mouth = Mouth::Grin;
        Timeline tl(R);
        tl.back(100, down, Ease::Linear)
            .back(200, up, Ease::Linear)
            .back(300, down, Ease::Linear)
            .back(400, up, Ease::Linear)
            .hold(600)
            .back(700, R, Ease::Linear);
        out.push_back(gesture(QStringLiteral("Hear"), tl));
    }

    {   // Woken: the eyes flutter open, a start of surprise, a blink, and back to rest.
        // Drawn before Doze, in a small pack of their own: falling asleep and waking
        // unpack little, and nothing more.
        const Pose S = c.asleep(sleepPose(R));
        Timeline tl(S);
        tl.back(100, mix(S, R, 0.5), Ease::Linear)
            .to(200, [&](Pose &p) { p = R; p.eyeOpen = 1; p.brow = 0.9; p.mouth = Mouth::Round; })
            .to(300, [](Pose &p) { p.eyeOpen = 0; p.brow = 0.5; })
            .to(400, [&](Pose &p) { p.eyeOpen = 1; p.brow = 0.3; p.mouth = Mouth::Smile; })
            .back(500, R);
        AnimationSpec a = make(QStringLiteral("Wake"), tl);
        a.stillTime = true;
        a.newPack = true;
        a.exitToEnd = true;
        out.push_back(a);
    }

    {   // Nodding off: drowsy eyes, a yawn, the head drops, then a
        // slow breath held for seconds at a time, round and round until woken.
        // Time stands still, so the two breath pictures repeat exactly.
        const Pose S = c.asleep(sleepPose(R));
        const Pose B = breathIn(S);
        Timeline tl(R);
        tl.to(300, [](Pose &p) { p.eyeOpen = 0.55; p.lookY = 0.3; p.brow = -0.1; })
            .hold(600)
            .to(900, [&](Pose &p) { p.mouth = Mouth::Wide; p.eyeOpen = 0.1; p.brow = 0.4; p.headTilt = R.headTilt - 5; })
            .hold(1200)
            .back(1500, mix(R, S, 0.4))
            .back(1800, mix(R, S, 0.7))
            .back(dozeLoopStart, S, Ease::In)
            .hold(5100)
            .back(5250, B, Ease::Linear)
            .hold(dozeLoopEnd);
        AnimationSpec a = make(QStringLiteral("Doze"), tl, 150);
        a.stillTime = true;
        a.branches.push_back({dozeLoopEnd, dozeLoopStart, 100});
        // Played by name, it is cut short after a while and wakes up again.
        a.returnTo = QStringLiteral("Wake");
        out.push_back(a);
    }
    for (AnimationSpec &a : out)
        c.adjust(a);
    return out;
}

} // namespace chimewell::art
