#include "common/settingsstore.h"

#include "common/log.h"
#include "common/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace chimewell::store {

namespace {

// A hand-edited or damaged file larger than this is not read at all.
constexpr qint64 kMaxFileSize = 32 * 1024 * 1024;

QString folded(const QString &s) { return s.toCaseFolded(); }

QString indexKey(const QString &section, const QString &key)
{
    return folded(section) + QChar(0x1f) + folded(key);
}

// --- Text forms -------------------------------------------------------------

QByteArray escape(const QString &text, bool isKey)
{
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '"': out += isKey ? "\\\"" : "\""; break;
        case '=': out += isKey ? "\\=" : "="; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                out += "\\x" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    return out;
}

// Blanks at either end of a name would be trimmed away when it is read back,
// and a key starting with '[', ';' or '#' would read as a section or a comment.
QByteArray escapeName(const QString &name, bool isSection)
{
    QByteArray e = escape(name, true);
    if (isSection)
        e.replace('[', "\\[").replace(']', "\\]");
    int lead = 0;
    while (lead < e.size() && e.at(lead) == ' ')
        ++lead;
    int trail = 0;
    while (trail < e.size() - lead && e.at(e.size() - 1 - trail) == ' ')
        ++trail;
    QByteArray out = QByteArray("\\x20").repeated(lead);
    const QByteArray middle = e.mid(lead, e.size() - lead - trail);
    if (!isSection && lead == 0 && (middle.startsWith('[') || middle.startsWith(';') || middle.startsWith('#')))
        out += '\\';
    return out + middle + QByteArray("\\x20").repeated(trail);
}

QString unescape(const QByteArray &in)
{
    QByteArray out;
    out.reserve(in.size());
    for (int i = 0; i < in.size(); ++i) {
        const char c = in.at(i);
        if (c != '\\' || i + 1 >= in.size()) {
            out += c;
            continue;
        }
        const char n = in.at(++i);
        switch (n) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x':
            if (i + 2 < in.size()) {
                bool ok = false;
                const int v = in.mid(i + 1, 2).toInt(&ok, 16);
                if (ok) {
                    out += char(v);
                    i += 2;
                    break;
                }
            }
            out += "\\x";
            break;
        default: out += n; // "\\", "\=", "\"" and unknown escapes keep the character
        }
    }
    return QString::fromUtf8(out);
}

QByteArray valueText(const QString &value)
{
    const bool quote = !value.isEmpty()
        && (value.front().isSpace() || value.back().isSpace() || value.front() == QLatin1Char('"'));
    if (!quote)
        return escape(value, false);
    QByteArray e = escape(value, false);
    e.replace('"', "\\\"");
    return '"' + e + '"';
}

QString readValue(QByteArray raw)
{
    raw = raw.trimmed();
    if (raw.size() >= 2 && raw.startsWith('"') && raw.endsWith('"'))
        raw = raw.mid(1, raw.size() - 2);
    return unescape(raw);
}

// --- The file as lines --------------------------------------------------------

struct Line
{
    enum Kind { Other, Section, Value } kind = Other;
    QString section; // for Section: its name; for Value: the section it is in
    QString key;
    QString value;
};

struct Document
{
    QList<QByteArray> raw;
    QList<Line> lines;
    QHash<QString, int> index; // first line of each section/key
};

// Splits at the first '=' that is not escaped.
int separator(const QByteArray &line)
{
    for (int i = 0; i < line.size(); ++i) {
        if (line.at(i) == '\\')
            ++i;
        else if (line.at(i) == '=')
            return i;
    }
    return -1;
}

Document parse(const QByteArray &bytes)
{
    Document doc;
    doc.raw = bytes.split('\n');
    if (!doc.raw.isEmpty() && doc.raw.last().isEmpty())
        doc.raw.removeLast();
    QString section;
    doc.lines.reserve(doc.raw.size());
    for (int i = 0; i < doc.raw.size(); ++i) {
        QByteArray l = doc.raw.at(i);
        if (l.endsWith('\r'))
            l.chop(1);
        const QByteArray t = l.trimmed();
        Line line;
        if (t.startsWith('[') && t.endsWith(']') && t.size() >= 2) {
            section = unescape(t.mid(1, t.size() - 2).trimmed());
            line.kind = Line::Section;
            line.section = section;
        } else if (!t.isEmpty() && !t.startsWith(';') && !t.startsWith('#')) {
            const int eq = separator(t);
            if (eq > 0) {
                line.kind = Line::Value;
                line.section = section;
                line.key = unescape(t.left(eq).trimmed());
                line.value = readValue(t.mid(eq + 1));
                const QString k = indexKey(section, line.key);
                if (!doc.index.contains(k))
                    doc.index.insert(k, i);
            }
        }
        doc.lines.append(line);
    }
    return doc;
}

QByteArray serialize(const Document &doc)
{
    QByteArray out;
    for (const QByteArray &l : doc.raw) {
        out += l;
        out += '\n';
    }
    return out;
}

void setValue(Document &doc, const QString &section, const QString &key, const QString &value)
{
    const QByteArray entry = escapeName(key, false) + '=' + valueText(value);
    const auto it = doc.index.constFind(indexKey(section, key));
    if (it != doc.index.constEnd()) {
        doc.raw[*it] = escapeName(doc.lines.at(*it).key, false) + '=' + valueText(value);
        return;
    }
    // After the last value of the first section of that name; else a new section.
    int sectionLine = -1;
    int insertAt = -1;
    const QString fs = folded(section);
    for (int i = 0; i < doc.lines.size(); ++i) {
        const Line &l = doc.lines.at(i);
        if (l.kind == Line::Section) {
            if (sectionLine >= 0)
                break;
            if (folded(l.section) == fs) {
                sectionLine = i;
                insertAt = i + 1;
            }
        } else if (sectionLine >= 0 && l.kind == Line::Value) {
            insertAt = i + 1;
        }
    }
    if (sectionLine < 0 && section.isEmpty()) {
        doc.raw.prepend(entry);
        return;
    }
    if (sectionLine < 0) {
        if (!doc.raw.isEmpty() && !doc.raw.last().trimmed().isEmpty())
            doc.raw.append(QByteArray());
        doc.raw.append('[' + escapeName(section, true) + ']');
        doc.raw.append(entry);
        return;
    }
    doc.raw.insert(insertAt, entry);
}

// --- Files --------------------------------------------------------------------

QString appFolder(const QString &application)
{
    const QString home = platform::configHome();
    // Application names match without regard to case: reuse a folder that exists.
    const QDir dir(home);
    const QStringList entries = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &e : entries) {
        if (e.compare(application, Qt::CaseInsensitive) == 0)
            return home + QLatin1Char('/') + e;
    }
    QString safe = application;
    safe.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (safe.isEmpty() || safe == QLatin1String(".") || safe == QLatin1String(".."))
        safe = QStringLiteral("_");
    return home + QLatin1Char('/') + safe;
}

struct Snapshot
{
    QString path;
    dev_t dev = 0;
    ino_t ino = 0;
    qint64 size = -1;
    qint64 mtimeNs = 0;
    Document doc;
};

QMutex g_cacheMutex;
QHash<QString, Snapshot> g_cache;

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Reads a whole file through its descriptor; the reason when it cannot be read
// whole (a part of a file is never taken for the file).
QString readFd(int fd, qint64 size, QByteArray *out)
{
    out->clear();
    if (size > kMaxFileSize)
        return QStringLiteral("it is larger than %1 MiB").arg(kMaxFileSize / (1024 * 1024));
    out->resize(static_cast<int>(size));
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, out->data() + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            out->clear();
            return systemError(errno);
        }
        if (n == 0)
            break; // cut short since fstat: what is there is the file now
        done += n;
    }
    out->resize(static_cast<int>(done));
    return {};
}

// The parsed file, from the cache when the file has not been replaced since.
// A writer passes `fresh`: the cache tells files apart by inode, size and
// mtime, and ext4 hands a freed inode to the very next file, so with coarse
// timestamps another process's write could look unchanged and be overwritten.
// A file that is not there is an empty store; one that cannot be read gives
// the reason in *problem, and no values.
Document load(const QString &path, QString *problem, bool fresh = false)
{
    problem->clear();
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        // No file, or a folder on its way that is not one: nothing stored yet.
        if (errno != ENOENT && errno != ENOTDIR)
            *problem = systemError(errno);
        return {};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = errno;
        ::close(fd);
        *problem = S_ISDIR(st.st_mode) ? QStringLiteral("it is a folder, not a file")
            : st.st_mode                ? QStringLiteral("it is not a plain file")
                                        : systemError(error);
        return {};
    }
    const qint64 mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    {
        QMutexLocker lock(&g_cacheMutex);
        const auto it = g_cache.constFind(path);
        if (!fresh && it != g_cache.constEnd() && it->dev == st.st_dev && it->ino == st.st_ino && it->size == st.st_size
            && it->mtimeNs == mtimeNs) {
            ::close(fd);
            return it->doc;
        }
    }
    QByteArray bytes;
    *problem = readFd(fd, st.st_size, &bytes);
    ::close(fd);
    if (!problem->isEmpty())
        return {};
    Snapshot snap;
    snap.path = path;
    snap.dev = st.st_dev;
    snap.ino = st.st_ino;
    snap.size = st.st_size;
    snap.mtimeNs = mtimeNs;
    snap.doc = parse(bytes);
    QMutexLocker lock(&g_cacheMutex);
    if (g_cache.size() > 16)
        g_cache.clear();
    g_cache.insert(path, snap);
    return snap.doc;
}

// Makes the missing folders of `path`, each private to the user; folders that
// exist keep their mode.
bool makeFolders(const QString &path)
{
    const QString parent = QFileInfo(path).path();
    if (parent != path && !QFileInfo(parent).isDir() && !makeFolders(parent))
        return false;
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

QString filePath(const QString &application)
{
    return appFolder(application) + QStringLiteral("/settings.ini");
}

QString problem(const QString &application)
{
    QString why;
    load(filePath(application), &why);
    return why;
}

QString escaped(const QString &text, bool name)
{
    return QString::fromUtf8(escape(text, name));
}

QString read(const QString &application, const QString &section, const QString &key, const QString &defaultValue)
{
    QString why;
    const Document doc = load(filePath(application), &why);
    const auto it = doc.index.constFind(indexKey(section, key));
    if (it == doc.index.constEnd())
        return defaultValue;
    return doc.lines.at(*it).value;
}

QList<Entry> list(const QString &application)
{
    QString why;
    const Document doc = load(filePath(application), &why);
    QList<Entry> out;
    for (int i = 0; i < doc.lines.size(); ++i) {
        const Line &l = doc.lines.at(i);
        if (l.kind == Line::Value && doc.index.value(indexKey(l.section, l.key), -1) == i)
            out.append(Entry{l.section, l.key, l.value});
    }
    return out;
}

bool write(const QString &application, const QString &section, const QString &key, const QString &value)
{
    qCInfo(lcSettings).noquote() << QStringLiteral("write %1/%2=%3").arg(section, key, value);
    const QString folder = appFolder(application);
    const QString path = folder + QStringLiteral("/settings.ini");
    auto fail = [&](const char *what) {
        qCWarning(lcSettings).noquote() << "could not store" << section + QLatin1Char('/') + key << "in" << path
                                        << "-" << what << ":" << QString::fromLocal8Bit(std::strerror(errno));
        return false;
    };
    if (key.isEmpty()) {
        errno = EINVAL;
        return fail("empty key");
    }
    const bool newFolder = !QFileInfo(folder).isDir();
    if (newFolder && !makeFolders(folder))
        return fail("cannot create the folder");

    // One writer at a time across processes; the kernel drops the lock if the
    // writer dies, so a crash never blocks the others.
    const QByteArray lockPath = QFile::encodeName(folder + QStringLiteral("/.settings.lock"));
    const int lockFd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0)
        return fail("cannot open the lock");
    while (::flock(lockFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(lockFd);
            return fail("cannot lock");
        }
    }
    auto unlock = [lockFd] {
        ::flock(lockFd, LOCK_UN);
        ::close(lockFd);
    };

    // While we hold the lock no other write is under way, so a temporary file
    // here was left by a writer that died: clear it.
    const QStringList leftovers = QDir(folder).entryList({QStringLiteral("settings.ini.??????")},
                                                         QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &f : leftovers)
        QFile::remove(folder + QLatin1Char('/') + f);

    QString why;
    Document doc = load(path, &why, true);
    if (!why.isEmpty()) {
        // Never replace a file we could not read: its values would be lost.
        unlock();
        qCWarning(lcSettings).noquote() << "could not store" << section + QLatin1Char('/') + key << "in" << path
                                        << "- it cannot be read:" << why;
        return false;
    }
    setValue(doc, section, key, value);
    const QByteArray bytes = serialize(doc);

    QByteArray tmpPath = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(tmpPath.data(), O_CLOEXEC);
    if (fd < 0) {
        unlock();
        return fail("cannot create a temporary file");
    }
    ::fchmod(fd, 0600);
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!written || ::rename(tmpPath.constData(), QFile::encodeName(path).constData()) != 0) {
        ::unlink(tmpPath.constData());
        unlock();
        errno = written ? errno : savedErrno;
        return fail("cannot write the file");
    }
    // The rename itself is durable only once the folder is synced, and a folder
    // made just now only once its parent is.
    for (const QString &dir : newFolder ? QStringList{folder, QFileInfo(folder).path()} : QStringList{folder}) {
        const int dirFd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }
    unlock();
    return true;
}

} // namespace chimewell::store
