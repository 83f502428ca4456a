// Any settings file through the store's reader, and a write into it: no crash,
// no hang, and no value lost. The input is the file's text, then optionally a
// zero byte and the section, key and value to write, split by zero bytes.
// The store's source is included whole so that its file-local reader and
// writer run in memory, without the file system.
#include "common/settingsstore.cpp"

#include <cstddef>
#include <cstdint>

using namespace chimewell::store;

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// The value a reader gets for section/key, or none.
std::optional<QString> lookup(const Document &doc, const QString &section, const QString &key)
{
    const auto it = doc.index.constFind(indexKey(section, key));
    if (it == doc.index.constEnd())
        return std::nullopt;
    return doc.lines.at(*it).value;
}

struct Value
{
    QString section, key, value;
};

// Every value a reader sees: the first line of each section/key.
QList<Value> values(const Document &doc)
{
    QList<Value> out;
    for (int i = 0; i < doc.lines.size(); ++i) {
        const Line &l = doc.lines.at(i);
        if (l.kind == Line::Value && doc.index.value(indexKey(l.section, l.key), -1) == i)
            out.append({l.section, l.key, l.value});
    }
    return out;
}

bool sameName(const QString &a, const QString &b) { return a.toCaseFolded() == b.toCaseFolded(); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 256 * 1024)
        return 0;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<QByteArray> parts = input.split('\0');
    const QByteArray file = parts.at(0);

    Document doc = parse(file);
    const QList<Value> before = values(doc);
    // Reading what was written back changes nothing.
    {
        const QList<Value> again = values(parse(serialize(doc)));
        check(again.size() == before.size());
        for (int i = 0; i < before.size(); ++i)
            check(again.at(i).section == before.at(i).section && again.at(i).key == before.at(i).key
                  && again.at(i).value == before.at(i).value);
    }

    const QString section = parts.size() > 1 ? QString::fromUtf8(parts.at(1)) : QStringLiteral("Data");
    const QString key = parts.size() > 2 ? QString::fromUtf8(parts.at(2)) : QStringLiteral("Announce");
    const QString value = parts.size() > 3 ? QString::fromUtf8(parts.at(3)) : QStringLiteral(" 15\t\"=\\x");
    if (key.isEmpty())
        return 0; // the store refuses an empty key
    setValue(doc, section, key, value);
    const Document written = parse(serialize(doc));

    // The value written reads back exactly, and every other value is untouched.
    const std::optional<QString> got = lookup(written, section, key);
    check(got && *got == value);
    for (const Value &v : before) {
        if (sameName(v.section, section) && sameName(v.key, key))
            continue;
        const std::optional<QString> kept = lookup(written, v.section, v.key);
        check(kept && *kept == v.value);
    }
    check(values(written).size() == before.size() + (lookup(Document(parse(file)), section, key) ? 0 : 1));
    return 0;
}
