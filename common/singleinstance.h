#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace chimewell {

// One running copy per program and user. The lock lives as long as the object;
// a lock left by a crashed run does not count.
class SingleInstance final
{
public:
    explicit SingleInstance(const QString &program);
    ~SingleInstance();
    // True when this process holds the lock (no other copy runs).
    bool isFirst() const { return m_first; }

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_first = false;
};

} // namespace chimewell
