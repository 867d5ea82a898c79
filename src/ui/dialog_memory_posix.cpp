#include <QSettings>
#include <QString>

#include "dialog_memory.h"

namespace hideaway {

// Nothing to put back: the user-scope settings go below a device file, so no settings file can
// ever be made, not even by a run that is killed. The tool has no settings of its own.
struct DialogMemoryGuard::Saved {};

DialogMemoryGuard::DialogMemoryGuard() {
    const QString nowhere = QStringLiteral("/dev/null");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
}

DialogMemoryGuard::~DialogMemoryGuard() = default;

}  // namespace hideaway
