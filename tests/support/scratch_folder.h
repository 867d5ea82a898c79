#pragma once

#include <memory>

#include <QTemporaryDir>

namespace hideaway::test {

/// A folder of its own for each test function, so none sees what the one before left behind.
/// A test class inherits it and calls renew() from its init() slot.
class ScratchFolder {
public:
    bool renew() {
        m_dir = std::make_unique<QTemporaryDir>();
        return m_dir->isValid();
    }
    QString path() const { return m_dir->path(); }
    QString path(const QString& name) const { return m_dir->filePath(name); }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

}  // namespace hideaway::test
