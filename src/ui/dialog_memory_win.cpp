#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "dialog_memory.h"

namespace hideaway {

namespace {

const QString kGroup = QStringLiteral("FileDialog");

}  // namespace

// The user scope is the registry there, which no settings path moves. Every Qt program's file
// dialog shares the group, so what it held before the dialog opened is written back once the
// dialog has closed, rather than the group removed.
struct DialogMemoryGuard::Saved {
    bool existed = false;
    QVariantMap values;
};

DialogMemoryGuard::DialogMemoryGuard() : m_saved(std::make_unique<Saved>()) {
    QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
    m_saved->existed = settings.childGroups().contains(kGroup);
    settings.beginGroup(kGroup);
    for (const QString& key : settings.allKeys()) {
        m_saved->values.insert(key, settings.value(key));
    }
}

DialogMemoryGuard::~DialogMemoryGuard() {
    QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
    settings.remove(kGroup);
    if (m_saved->existed) {
        settings.beginGroup(kGroup);
        for (auto it = m_saved->values.cbegin(); it != m_saved->values.cend(); ++it) {
            settings.setValue(it.key(), it.value());
        }
    }
}

}  // namespace hideaway
