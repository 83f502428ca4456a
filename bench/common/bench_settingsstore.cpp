// How long a durable store write and a read take, against the floor under
// them: the same file written, synced and renamed directly. The difference is
// the store's own cost (locking, reading and parsing the file, rebuilding it).
//
//   bench_settingsstore [WRITES] [KEYS]   (defaults 300 and 40)
#include "common/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace chimewell;

namespace {

struct Figures
{
    double median = 0;
    double p99 = 0;
};

Figures summarise(QList<qint64> ns)
{
    if (ns.isEmpty())
        return {};
    std::sort(ns.begin(), ns.end());
    const auto at = [&](double q) { return double(ns.at(qMin(ns.size() - 1, qsizetype(q * double(ns.size()))))) / 1e6; };
    return {at(0.5), at(0.99)};
}

void print(const char *what, const Figures &f)
{
    std::printf("  %-44s median %8.3f ms   p99 %8.3f ms\n", what, f.median, f.p99);
}

// What any durable replacement of the file costs: write, fsync, rename, fsync the folder.
bool plainWrite(const QString &folder, const QByteArray &bytes)
{
    const QByteArray tmp = QFile::encodeName(folder + QStringLiteral("/plain.ini.tmp"));
    const QByteArray dst = QFile::encodeName(folder + QStringLiteral("/plain.ini"));
    const int fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(tmp.constData(), dst.constData()) == 0;
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ok = ::fsync(dir) == 0 && ok;
        ::close(dir);
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int writes = args.size() > 1 ? qMax(10, args.at(1).toInt()) : 300;
    const int keys = args.size() > 2 ? qMax(1, args.at(2).toInt()) : 40;

    QTemporaryDir home(QDir::currentPath() + QStringLiteral("/bench-store-XXXXXX"));
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot create a folder in %s\n", qPrintable(QDir::currentPath()));
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    const QString app_ = QString::fromLatin1(store::kApplication);
    const QString section = QStringLiteral("Data");

    // A store of the usual make-up: short names and values, a few long texts.
    for (int k = 0; k < keys; ++k) {
        const QString value = k % 10 == 0 ? QString(200, QLatin1Char('m')) : QString::number(k * 37);
        if (!store::write(app_, section, QStringLiteral("Key%1").arg(k), value)) {
            std::fprintf(stderr, "the store cannot be written in %s\n", qPrintable(home.path()));
            return 1;
        }
    }
    const QString path = store::filePath(app_);
    const QString folder = QFileInfo(path).path();

    // Store and plain writes take turns, so both see the same disk and load.
    QList<qint64> storeNs, plainNs, readNs, readAfterWriteNs;
    QElapsedTimer t;
    for (int i = 0; i < writes; ++i) {
        const QString value = QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
        t.start();
        const bool stored = store::write(app_, section, QStringLiteral("Key%1").arg(i % keys), value);
        storeNs << t.nsecsElapsed();
        if (!stored) {
            std::fprintf(stderr, "write %d failed\n", i);
            return 1;
        }

        // The first read after a change parses the new file.
        t.start();
        const QString back = store::read(app_, section, QStringLiteral("Key%1").arg(i % keys));
        readAfterWriteNs << t.nsecsElapsed();
        if (back != value) {
            std::fprintf(stderr, "read back %s, wrote %s\n", qPrintable(back), qPrintable(value));
            return 1;
        }
        // Later reads of the unchanged file.
        t.start();
        store::read(app_, section, QStringLiteral("Key%1").arg((i * 7) % keys));
        readNs << t.nsecsElapsed();

        QFile f(path);
        const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        t.start();
        if (!plainWrite(folder, bytes)) {
            std::fprintf(stderr, "plain write failed\n");
            return 1;
        }
        plainNs << t.nsecsElapsed();
    }

    const Figures s = summarise(storeNs);
    const Figures p = summarise(plainNs);
    std::printf("settings store, %d writes, %d keys, file %lld bytes, in %s\n", writes, keys,
                qlonglong(QFileInfo(path).size()), qPrintable(QDir::currentPath()));
    print("store write (locked, synced, renamed)", s);
    print("plain write + fsync + rename + fsync dir", p);
    std::printf("  %-44s median %8.3f ms (%.1fx the plain write)\n", "store's own cost (difference)",
                s.median - p.median, p.median > 0 ? s.median / p.median : 0.0);
    print("read, first after a change", summarise(readAfterWriteNs));
    print("read, file unchanged", summarise(readNs));
    return 0;
}
