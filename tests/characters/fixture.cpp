#include "fixture.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>
#include <QTest>

#include <zip.h>

namespace chimewell::characters::test {

namespace agentlog {

namespace {
QMutex g_mutex;
QStringList g_lines;
QtMessageHandler g_previous = nullptr;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtInfoMsg && context.category && qstrcmp(context.category, "chimewell.agent") == 0) {
        QMutexLocker lock(&g_mutex);
        g_lines << message;
        return;
    }
    if (g_previous)
        g_previous(type, context, message);
}
} // namespace

void install()
{
    QLoggingCategory::setFilterRules(QStringLiteral("chimewell.agent=true\nchimewell.agent.debug=false"));
    g_previous = qInstallMessageHandler(handler);
}

void clear()
{
    QMutexLocker lock(&g_mutex);
    g_lines.clear();
}

QStringList all()
{
    QMutexLocker lock(&g_mutex);
    return g_lines;
}

QStringList of(const QString &id)
{
    QStringList out;
    const QString prefix = id + QLatin1Char(' ');
    for (const QString &line : all()) {
        if (line.startsWith(prefix))
            out << line.mid(prefix.size());
    }
    return out;
}

QStringList speechOf(const QString &id)
{
    QStringList out;
    for (const QString &request : of(id)) {
        if (request.startsWith(QLatin1String("Speak ")) && request != QLatin1String("Speak  "))
            out << request.mid(6);
    }
    return out;
}

} // namespace agentlog

void failOnUnexpectedWarnings()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(
        "^(?!This plugin does not support|PulseAudioService|QStandardPaths: XDG_RUNTIME_DIR)")));
}

bool writeCharacterFile(const QString &path, const QString &name, const QString &description, int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(40, 120, 200, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return false;

    const QJsonArray frames{QJsonObject{{QStringLiteral("image"), QStringLiteral("frames/rest.png")},
                                        {QStringLiteral("duration"), 20}}};
    QJsonObject animations;
    for (const char *a : {"RestPose", "Show", "Hide", "Congratulate", "Confused", "Decline", "DoMagic1", "Explain",
                          "Greet", "LookDown", "Pleased", "Read"})
        animations.insert(QString::fromLatin1(a), QJsonObject{{QStringLiteral("frames"), frames}});
    const QJsonObject manifest{
        {QStringLiteral("format"), 1},
        {QStringLiteral("name"), name},
        {QStringLiteral("description"), description},
        {QStringLiteral("width"), width},
        {QStringLiteral("height"), height},
        {QStringLiteral("animations"), animations},
        {QStringLiteral("states"),
         QJsonObject{{QStringLiteral("Showing"), QJsonArray{QStringLiteral("Show")}},
                     {QStringLiteral("Hiding"), QJsonArray{QStringLiteral("Hide")}},
                     {QStringLiteral("Rest"), QJsonArray{QStringLiteral("RestPose")}}}},
    };
    const QByteArray json = QJsonDocument(manifest).toJson();

    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    // libzip reads the buffers at zip_close, so they live until then.
    const std::pair<const char *, const QByteArray *> entries[] = {{"manifest.json", &json},
                                                                   {"frames/rest.png", &png}};
    for (const auto &[entry, bytes] : entries) {
        zip_source_t *source = zip_source_buffer(zip, bytes->constData(), zip_uint64_t(bytes->size()), 0);
        if (!source || zip_file_add(zip, entry, source, ZIP_FL_OVERWRITE) < 0) {
            if (source)
                zip_source_free(source);
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0;
}

TestHome::TestHome() : m_dir(std::make_unique<QTemporaryDir>())
{
    QDir().mkpath(characterFolder());
    QDir().mkpath(m_dir->path() + QStringLiteral("/config"));
    QDir().mkpath(m_dir->path() + QStringLiteral("/datadirs"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->path() + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir->path() + QStringLiteral("/data")));
    // No system-wide characters either: only what a test puts there exists.
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_dir->path() + QStringLiteral("/datadirs")));
}

TestHome::~TestHome() = default;

QString TestHome::characterFolder() const { return m_dir->path() + QStringLiteral("/data/chimewell/chars"); }

bool TestHome::addCharacter(const QString &id, const QString &name, const QString &description)
{
    return writeCharacterFile(characterFolder() + QLatin1Char('/') + id + QStringLiteral(".acs"),
                              name.isEmpty() ? id : name,
                              description.isEmpty() ? QStringLiteral("A test character.") : description);
}

} // namespace chimewell::characters::test
