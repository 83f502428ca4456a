#include "pack.h"

#include "acswriter.h"
#include "animations.h"
#include "draw.h"
#include "png.h"
#include "sound.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>

#include <lzma.h>

#include <cmath>
#include <optional>

namespace chimewell::art {

namespace {


QTransform figureTransform(const Character &c, const Pose &pose)
{
    const QPointF g = c.ground();
    QTransform t;
    t.translate(g.x() + pose.x, g.y() + pose.y);
    t.rotate(pose.lean);
    // Squash keeps the volume roughly: taller is thinner.
    const double k = pose.scale * c.figureScale();
    t.scale(k * (1 - pose.squash * 0.6), k * (1 + pose.squash));
    t.translate(-g.x(), -g.y());
    return t;
}

QString mouthName(Mouth m)
{
    switch (m) {
    case Mouth::Closed: return QStringLiteral("closed");
    case Mouth::Small: return QStringLiteral("small");
    case Mouth::Open: return QStringLiteral("open");
    case Mouth::Wide: return QStringLiteral("wide");
    case Mouth::Round: return QStringLiteral("round");
    default: break;
    }
    return QStringLiteral("closed");
}

// The smallest rectangle holding every pixel where two pictures of one size differ.
QRect differingRect(const QImage &a, const QImage &b)
{
    int left = a.width(), right = -1, top = a.height(), bottom = -1;
    for (int y = 0; y < a.height(); ++y) {
        const auto *pa = reinterpret_cast<const quint32 *>(a.constScanLine(y));
        const auto *pb = reinterpret_cast<const quint32 *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (pa[x] != pb[x]) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// A picture's bytes as a pack holds them: straight RGBA rows, no padding.
QByteArray rawBytes(const QImage &rgba)
{
    QByteArray out;
    out.reserve(qsizetype(rgba.width()) * rgba.height() * 4);
    for (int y = 0; y < rgba.height(); ++y)
        out.append(reinterpret_cast<const char *>(rgba.constScanLine(y)), qsizetype(rgba.width()) * 4);
    return out;
}

// Some animations' new pictures, compressed together: they repeat one another
// far more than any one picture repeats itself.
QByteArray compressPack(const QByteArray &raw, const QByteArray &dictionary, PngEffort effort)
{
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, effort == PngEffort::Best ? 6 | LZMA_PRESET_EXTREME : 1))
        return {};
    // One more byte of context than the preset: a pixel's colour follows the
    // pixel before it more often than text does.
    options.lc = 4;
    // Everything a pack can refer back to, as the loader sizes its window too.
    options.dict_size = std::max<uint32_t>(LZMA_DICT_SIZE_MIN, uint32_t(raw.size() + dictionary.size()));
    options.preset_dict = reinterpret_cast<const uint8_t *>(dictionary.constData());
    options.preset_dict_size = uint32_t(dictionary.size());
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    QByteArray out(qsizetype(lzma_stream_buffer_bound(size_t(raw.size()))), Qt::Uninitialized);
    size_t used = 0;
    if (lzma_raw_buffer_encode(filters, nullptr, reinterpret_cast<const uint8_t *>(raw.constData()), size_t(raw.size()),
                               reinterpret_cast<uint8_t *>(out.data()), &used, size_t(out.size())) != LZMA_OK)
        return {};
    out.truncate(qsizetype(used));
    return out;
}

constexpr Mouth speechMouths[] = {Mouth::Closed, Mouth::Small, Mouth::Open, Mouth::Wide, Mouth::Round};

} // namespace

QImage render(const Character &c, const Pose &pose, int scale)
{
    const QSize size = c.frameSize() * scale;
    QImage figure(size, QImage::Format_ARGB32_Premultiplied);
    figure.fill(Qt::transparent);
    if (pose.scale > 0.001 && pose.opacity > 0.001) {
        QPainter p(&figure);
        p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        const QTransform fig = figureTransform(c, pose);
        p.setTransform(fig * QTransform::fromScale(scale, scale));
        Anchors a = c.draw(p, pose);
        a.head = fig.map(a.head);
        a.handL = fig.map(a.handL);
        a.handR = fig.map(a.handR);
        if (!a.tip.isNull())
            a.tip = fig.map(a.tip);
        p.setTransform(QTransform::fromScale(scale, scale));
        draw::effects(p, pose, a, c.frameSize());
    }
    if (pose.opacity >= 0.999)
        return figure;
    // Fade the finished figure as one layer, so overlapping parts do not show through.
    QImage faded(size, QImage::Format_ARGB32_Premultiplied);
    faded.fill(Qt::transparent);
    QPainter p(&faded);
    p.setOpacity(std::max(0.0, pose.opacity));
    p.drawImage(0, 0, figure);
    return faded;
}

QRect mouthPlace(const Character &c)
{
    return figureTransform(c, speakPose(c)).mapRect(QRectF(c.mouthRect())).toAlignedRect() &
           QRect(QPoint(0, 0), c.frameSize());
}

QImage renderMouth(const Character &c, Mouth shape, int scale)
{
    Pose pose = speakPose(c);
    pose.mouth = shape;
    const QImage whole = render(c, pose, scale);
    const QRect r = mouthPlace(c);
    return whole.copy(QRect(r.topLeft() * scale, r.size() * scale));
}

BuiltCharacter build(const Character &c, PngEffort effort)
{
    const auto png = [effort](const QImage &img) { return encodePng(img, effort); };
    BuiltCharacter out;
    QHash<QByteArray, QString> byHash;   // identical pictures share one entry
    QJsonObject patches;
    // Pictures that later ones may be patches over, as the loader will have them
    // (premultiplied), with how many patches deep each one is.
    struct Known
    {
        QString name;
        QImage one, two;
        int depth = 0;
    };
    std::optional<Known> rest;      // the rest picture: most frames differ from it in part only
    std::optional<Known> lastWhole; // the animation's latest whole picture
    std::optional<Known> previous;  // the animation's latest new picture
    // The current animation's pack: what it lists and its bytes before compression.
    QJsonArray packList;
    QByteArray packRaw[2]; // scale 1, scale 2
    QJsonObject packs;
    // The rest picture, straight as stored at each scale: every pack starts from it.
    QByteArray dictionary[2];
    const QString restName = QStringLiteral("frames/rest.png");
    // Every picture but the one shown first goes into its animation's pack.
    auto store = [&](const QString &name, const QImage &one, const QImage &two) {
        if (name == restName) {
            out.entries.emplace_back(name, png(one));
            out.entries.emplace_back(QStringLiteral("2x/") + name, png(two));
            dictionary[0] = rawBytes(one);
            dictionary[1] = rawBytes(two);
            return;
        }
        packRaw[0] += rawBytes(one);
        packRaw[1] += rawBytes(two);
        packList.append(QJsonObject{{QStringLiteral("image"), name},
                                    {QStringLiteral("width"), one.width()},
                                    {QStringLiteral("height"), one.height()}});
    };
    // A pack is unpacked whole when one of its pictures is first needed and
    // kept while its animations play: small enough to cost little memory, large
    // enough to hold a few animations' repeats.
    constexpr qsizetype packAtLeast = 1024 * 1024;
    auto closePack = [&](const QString &id) {
        if (packList.isEmpty())
            return;
        const QString packName = QStringLiteral("packs/%1.lzma").arg(id);
        out.entries.emplace_back(packName, compressPack(packRaw[0], dictionary[0], effort));
        out.entries.emplace_back(QStringLiteral("2x/") + packName, compressPack(packRaw[1], dictionary[1], effort));
        QJsonObject pack{{QStringLiteral("pictures"), packList}};
        if (!dictionary[0].isEmpty())
            pack.insert(QStringLiteral("dictionary"), restName);
        packs.insert(packName, pack);
        packList = QJsonArray();
        packRaw[0].clear();
        packRaw[1].clear();
    };

    // A pose is drawn at scale 1 first; only a picture not seen before is drawn
    // again at scale 2 and kept: whole, or as the part where it differs from a
    // picture before it.
    auto addImage = [&](const Pose &pose, const QString &suggested) {
        const QImage one = render(c, pose, 1);
        QCryptographicHash h(QCryptographicHash::Sha1);
        h.addData(QByteArrayView(reinterpret_cast<const char *>(one.constBits()), one.sizeInBytes()));
        const QByteArray key = h.result();
        auto it = byHash.constFind(key);
        if (it != byHash.constEnd())
            return *it;
        const QString name = QStringLiteral("frames/%1.png").arg(suggested);
        byHash.insert(key, name);
        out.images.emplace_back(name, one);
        // What the file stores is straight RGBA; what the loader shows is that, premultiplied.
        const QImage stored1 = one.convertToFormat(QImage::Format_RGBA8888);
        const QImage stored2 = render(c, pose, 2).convertToFormat(QImage::Format_RGBA8888);
        Known self{name, stored1.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                   stored2.convertToFormat(QImage::Format_ARGB32_Premultiplied), 0};

        // A picture that differs from one before it in part only is that part,
        // laid over it; the smallest part wins. Packed with the rest picture as
        // dictionary, a part costs little more than what changed.
        const Known *base = nullptr;
        QRect part;
        qsizetype bestArea = qsizetype(one.width()) * one.height() * 3 / 4;
        for (const std::optional<Known> *candidate : {&rest, &lastWhole, &previous}) {
            if (!candidate->has_value() || (*candidate)->depth >= 3)
                continue;
            // The 2x difference, halved outward, joins the 1x one: the 2x patch is
            // exactly twice the 1x patch, so both scales rebuild the picture exactly.
            const QRect at2 = differingRect((*candidate)->two, self.two);
            QRect r = differingRect((*candidate)->one, self.one) |
                      QRect(QPoint(at2.left() / 2, at2.top() / 2), QPoint(at2.right() / 2, at2.bottom() / 2));
            if (r.isEmpty())
                r = QRect(0, 0, 1, 1);
            if (qsizetype(r.width()) * r.height() < bestArea) {
                bestArea = qsizetype(r.width()) * r.height();
                base = &**candidate;
                part = r;
            }
        }
        if (base) {
            store(name, stored1.copy(part), stored2.copy(QRect(part.topLeft() * 2, part.size() * 2)));
            patches.insert(name, QJsonObject{{QStringLiteral("base"), base->name},
                                             {QStringLiteral("x"), part.x()},
                                             {QStringLiteral("y"), part.y()}});
            self.depth = base->depth + 1;
        } else {
            store(name, stored1, stored2);
            lastWhole = self;
            if (!rest && suggested == QLatin1String("rest"))
                rest = self;
        }
        previous = self;
        return name;
    };

    const QString id = c.id();
    QJsonObject animations;
    QString lastName;
    for (const AnimationSpec &plan : standardAnimations(c)) {
        if (plan.newPack)
            closePack(lastName.toLower());
        lastName = plan.name;
        BuiltAnimation built;
        built.name = plan.name;
        // Patches lie over the rest or over their own animation's pictures.
        lastWhole.reset();
        previous.reset();
        built.returnTo = plan.returnTo;
        const int length = plan.timeline.length();
        // Every step, and the very end; a cycle leaves out its end, which is its start again.
        const int samples = plan.cycle ? length / plan.step : (length + plan.step - 1) / plan.step + 1;
        std::vector<int> starts; // start time of each built frame
        for (int i = 0; i < std::max(1, samples); ++i) {
            const int t = std::min(i * plan.step, length);
            Pose pose = plan.timeline.at(t);
            // The closing frame is the rest picture itself, propellers and glows included.
            if ((t == length && !plan.cycle) || plan.stillTime)
                pose.time = 0;
            const QString base = plan.name == QLatin1String("RestPose")
                                     ? QStringLiteral("rest")
                                     : QStringLiteral("%1_%2").arg(plan.name.toLower()).arg(i, 2, 10, QLatin1Char('0'));
            const QString image = addImage(pose, base);
            const bool soundHere = !plan.sound.isEmpty() && t <= plan.soundAt && plan.soundAt < t + plan.step;
            if (plan.mergeStill && !built.frames.empty() && built.frames.back().image == image && !soundHere &&
                built.frames.back().duration + plan.step <= 10000) {
                built.frames.back().duration += plan.step;
                continue;
            }
            BuiltFrame f;
            f.image = image;
            f.duration = plan.step;
            f.mouth = plan.mouth;
            if (soundHere)
                f.sound = plan.sound;
            built.frames.push_back(f);
            starts.push_back(t);
        }
        auto frameAt = [&](int t) {
            int index = 0;
            for (size_t i = 0; i < starts.size(); ++i)
                if (starts[i] <= t)
                    index = int(i);
            return index;
        };
        for (const BranchSpec &b : plan.branches) {
            const int from = frameAt(b.from), to = frameAt(b.to);
            if (from != to)
                built.frames[size_t(from)].branches.emplace_back(to, b.probability);
        }
        const int last = int(built.frames.size()) - 1;
        if (plan.exitToEnd)
            for (int i = 0; i < last; ++i)
                built.frames[size_t(i)].exit = last;
        if (plan.exitAt >= 0)
            for (int i = 0, to = frameAt(plan.exitAt); i < to; ++i)
                built.frames[size_t(i)].exit = to;

        QJsonArray frames;
        for (const BuiltFrame &f : built.frames) {
            QJsonObject o{{QStringLiteral("image"), f.image}, {QStringLiteral("duration"), f.duration}};
            if (!f.sound.isEmpty())
                o.insert(QStringLiteral("sound"), f.sound);
            if (f.exit >= 0)
                o.insert(QStringLiteral("exit"), f.exit);
            if (f.mouth)
                o.insert(QStringLiteral("mouth"), true);
            if (!f.branches.empty()) {
                QJsonArray bs;
                for (const auto &[frame, probability] : f.branches)
                    bs.append(QJsonObject{{QStringLiteral("frame"), frame}, {QStringLiteral("probability"), probability}});
                o.insert(QStringLiteral("branches"), bs);
            }
            frames.append(o);
        }
        QJsonObject anim{{QStringLiteral("frames"), frames}};
        if (!built.returnTo.isEmpty())
            anim.insert(QStringLiteral("return"), built.returnTo);
        animations.insert(plan.name, anim);
        out.animations.push_back(std::move(built));
        // Small animations share a pack: more repeats to find, and still a
        // quick unpack when one of them first plays.
        if (packRaw[0].size() >= packAtLeast)
            closePack(plan.name.toLower());
    }
    closePack(QStringLiteral("last"));

    const double pitch = c.soundPitch();
    out.entries.emplace_back(QStringLiteral("sounds/greet.wav"), sound::chime(pitch));
    out.entries.emplace_back(QStringLiteral("sounds/pleased.wav"), sound::pop(pitch));
    out.entries.emplace_back(QStringLiteral("sounds/congratulate.wav"), sound::fanfare(pitch));

    QJsonObject mouthImages;
    for (Mouth m : speechMouths) {
        const QString name = QStringLiteral("mouth/%1.png").arg(mouthName(m));
        const QImage one = renderMouth(c, m, 1);
        out.entries.emplace_back(name, png(one));
        out.entries.emplace_back(QStringLiteral("2x/") + name, png(renderMouth(c, m, 2)));
        out.images.emplace_back(name, one);
        mouthImages.insert(mouthName(m), name);
    }
    const QRect mr = mouthPlace(c);

    const VoiceSpec v = c.voice();
    QJsonObject voice{{QStringLiteral("language"), v.language},
                      {QStringLiteral("pitch"), v.pitch},
                      {QStringLiteral("rate"), v.rate}};
    if (!v.variant.isEmpty())
        voice.insert(QStringLiteral("variant"), v.variant);

    auto list = [](std::initializer_list<const char *> names) {
        QJsonArray a;
        for (const char *n : names)
            a.append(QString::fromLatin1(n));
        return a;
    };
    const QJsonObject states{
        {QStringLiteral("Showing"), list({"Show"})},          {QStringLiteral("Hiding"), list({"Hide"})},
        {QStringLiteral("Speaking"), list({"Speak"})},        {QStringLiteral("MovingLeft"), list({"MoveLeft"})},
        {QStringLiteral("MovingRight"), list({"MoveRight"})}, {QStringLiteral("MovingUp"), list({"MoveUp"})},
        {QStringLiteral("MovingDown"), list({"MoveDown"})},   {QStringLiteral("Idling"), list({"Idle1", "Blink", "Idle2"})},
        {QStringLiteral("Rest"), list({"RestPose"})},         {QStringLiteral("Listening"), list({"Listen"})},
        {QStringLiteral("Hearing"), list({"Hear"})},          {QStringLiteral("Dozing"), list({"Doze"})},
        {QStringLiteral("Waking"), list({"Wake"})}};

    out.manifest = QJsonObject{
        {QStringLiteral("format"), 1},
        {QStringLiteral("name"), c.name()},
        {QStringLiteral("description"), c.description()},
        {QStringLiteral("width"), c.frameSize().width()},
        {QStringLiteral("height"), c.frameSize().height()},
        {QStringLiteral("voice"), voice},
        {QStringLiteral("mouth"), QJsonObject{{QStringLiteral("x"), mr.x()},
                                              {QStringLiteral("y"), mr.y()},
                                              {QStringLiteral("images"), mouthImages}}},
        {QStringLiteral("animations"), animations},
        {QStringLiteral("states"), states}};
    if (!patches.isEmpty()) {
        out.manifest.insert(QStringLiteral("format"), 2);
        out.manifest.insert(QStringLiteral("patches"), patches);
    }
    if (!packs.isEmpty()) {
        out.manifest.insert(QStringLiteral("format"), 3);
        out.manifest.insert(QStringLiteral("packs"), packs);
    }
    return out;
}

bool writeCharacterFile(const Character &c, const QString &path, QString *error)
{
    return writeCharacterFile(build(c), path, error);
}

bool writeCharacterFile(const BuiltCharacter &built, const QString &path, QString *error)
{
    AcsWriter w;
    w.add(QStringLiteral("manifest.json"), QJsonDocument(built.manifest).toJson(QJsonDocument::Indented));
    for (const auto &[name, data] : built.entries) {
        if (data.isEmpty()) {
            if (error)
                *error = QStringLiteral("could not encode %1").arg(name);
            return false;
        }
        w.add(name, data);
    }
    return w.write(path, error);
}

QImage contactSheet(const Character &c, const BuiltCharacter &built)
{
    // Half-size thumbnails keep the sheet small enough to commit.
    const double thumb = 0.5;
    const QSize cell = (QSizeF(c.frameSize()) * thumb).toSize() + QSize(6, 18);
    const int label = 120;
    QHash<QString, QImage> images;
    for (const auto &[name, img] : built.images)
        images.insert(name, img);

    size_t widest = 5; // the mouth row
    for (const BuiltAnimation &a : built.animations)
        widest = std::max(widest, a.frames.size());
    const int rows = int(built.animations.size()) + 1;
    QImage sheet(label + int(widest) * cell.width() + 8, 40 + rows * cell.height(), QImage::Format_RGB32);
    sheet.fill(QColor(236, 240, 246));
    QPainter p(&sheet);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(18);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(40, 40, 60));
    p.drawText(QPoint(10, 26), QStringLiteral("%1 (%2) — %3").arg(c.name(), c.id(), c.description()));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(10);
    QFont bold = small;
    bold.setPixelSize(13);
    bold.setBold(true);

    auto cellAt = [&](int row, int col) { return QPoint(label + col * cell.width(), 40 + row * cell.height()); };
    auto drawCell = [&](QPoint at, const QImage &img, const QString &caption, const QPoint &inset) {
        p.fillRect(QRect(at, cell - QSize(4, 2)), QColor(250, 251, 253));
        const QSizeF s = QSizeF(img.size()) * thumb;
        p.drawImage(QRectF(QPointF(at + inset), s), img);
        p.setFont(small);
        p.setPen(QColor(110, 110, 130));
        p.drawText(QRect(at.x(), at.y() + cell.height() - 16, cell.width() - 4, 14), Qt::AlignCenter, caption);
    };

    int row = 0;
    for (const BuiltAnimation &a : built.animations) {
        p.setFont(bold);
        p.setPen(QColor(40, 40, 60));
        p.drawText(QRect(8, 40 + row * cell.height(), label - 12, cell.height()), Qt::AlignVCenter | Qt::AlignLeft,
                   a.name);
        for (size_t i = 0; i < a.frames.size(); ++i) {
            const BuiltFrame &f = a.frames[i];
            QString caption = QStringLiteral("%1ms").arg(f.duration);
            if (!f.sound.isEmpty())
                caption += QStringLiteral(" ♪");
            drawCell(cellAt(row, int(i)), images.value(f.image), caption, QPoint(1, 1));
        }
        ++row;
    }
    p.setFont(bold);
    p.setPen(QColor(40, 40, 60));
    p.drawText(QRect(8, 40 + row * cell.height(), label - 12, cell.height()), Qt::AlignVCenter, QStringLiteral("Mouths"));
    const QRect mr = mouthPlace(c);
    // Each mouth over the first Speak frame, as the player composes them.
    QImage base;
    for (const BuiltAnimation &a : built.animations)
        if (a.name == QLatin1String("Speak") && !a.frames.empty())
            base = images.value(a.frames.front().image);
    int col = 0;
    for (const char *m : {"closed", "small", "open", "wide", "round"}) {
        QImage composed = base.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        {
            QPainter q(&composed);
            q.drawImage(mr.topLeft(), images.value(QStringLiteral("mouth/%1.png").arg(QLatin1String(m))));
        }
        drawCell(cellAt(row, col++), composed, QString::fromLatin1(m), QPoint(1, 1));
    }
    return sheet;
}

} // namespace chimewell::art
