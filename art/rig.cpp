#include "rig.h"

#include <algorithm>
#include <cmath>

namespace chimewell::art {

namespace {
double lerp(double a, double b, double t) { return a + (b - a) * t; }

double eased(double t, Ease e)
{
    switch (e) {
    case Ease::Linear: return t;
    case Ease::In: return t * t;
    case Ease::Out: return 1 - (1 - t) * (1 - t);
    case Ease::InOut: break;
    }
    return t * t * (3 - 2 * t);
}
} // namespace

Pose mix(const Pose &a, const Pose &b, double t)
{
    Pose p = t >= 1 ? b : a;
    auto blend = [&](double Pose::*m) { p.*m = lerp(a.*m, b.*m, t); };
    for (double Pose::*m : {&Pose::x, &Pose::y, &Pose::scale, &Pose::opacity, &Pose::squash, &Pose::lean,
                            &Pose::headTilt, &Pose::turn, &Pose::lookX, &Pose::lookY, &Pose::eyeOpen, &Pose::happy,
                            &Pose::brow, &Pose::browTilt, &Pose::armL, &Pose::armR, &Pose::elbowL, &Pose::elbowR, &Pose::reach,
                            &Pose::walk, &Pose::stride, &Pose::propOpen, &Pose::emerge, &Pose::time})
        blend(m);
    // An effect runs its own progress; it only blends while the effect stays the same.
    if (a.effect == b.effect)
        p.fx = lerp(a.fx, b.fx, t);
    return p;
}

Timeline::Timeline(const Pose &start) { m_keys.push_back({0, start, Ease::InOut}); }

Timeline &Timeline::to(int t, const std::function<void(Pose &)> &change, Ease ease)
{
    Key k{std::max(t, m_keys.back().t), m_keys.back().pose, ease};
    change(k.pose);
    m_keys.push_back(k);
    return *this;
}

Timeline &Timeline::back(int t, const Pose &pose, Ease ease)
{
    m_keys.push_back({std::max(t, m_keys.back().t), pose, ease});
    return *this;
}

Timeline &Timeline::map(const std::function<void(Pose &)> &change)
{
    for (Key &k : m_keys)
        change(k.pose);
    return *this;
}

Pose Timeline::at(int t) const
{
    // Of several keys at one time the last counts, so a timeline may restate its start.
    Pose p;
    auto next = std::upper_bound(m_keys.begin(), m_keys.end(), t, [](int v, const Key &k) { return v < k.t; });
    if (next == m_keys.begin()) {
        p = m_keys.front().pose;
    } else if (next == m_keys.end()) {
        p = m_keys.back().pose;
    } else {
        auto prev = next - 1;
        const double span = next->t - prev->t;
        const double u = span <= 0 ? 1.0 : (t - prev->t) / span;
        p = mix(prev->pose, next->pose, eased(u, next->ease));
    }
    p.time = t;
    return p;
}

} // namespace chimewell::art
