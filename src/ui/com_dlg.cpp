#include "com_dlg.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

#include "app_error.h"
#include "dialog_memory.h"

namespace hideaway {

namespace {

// Qt shows only the description when the patterns stay hidden, as the filter's author wrote it.
// A platform's own dialog may add the chosen file to the desktop's list of recent files, so the
// dialog is always Qt's.
constexpr QFileDialog::Options kPromptOptions =
    QFileDialog::HideNameFilterDetails | QFileDialog::DontUseNativeDialog;

/// The path in the form the system's users read and type (backslashes on Windows).
std::optional<QString> chosen(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return QDir::toNativeSeparators(path);
}

}  // namespace

QtFilePrompt::QtFilePrompt(QWidget* parent) : m_parent(parent) {}

std::optional<QString> QtFilePrompt::open(const QString& start, const QString& filter) {
    const DialogMemoryGuard guard;
    return chosen(QFileDialog::getOpenFileName(m_parent, QStringLiteral("Open"), start, filter,
                                               nullptr, kPromptOptions));
}

std::optional<QString> QtFilePrompt::save(const QString& start, const QString& filter) {
    const DialogMemoryGuard guard;
    return chosen(QFileDialog::getSaveFileName(m_parent, QStringLiteral("Save As"), start, filter,
                                               nullptr, kPromptOptions));
}

ComDlg::ComDlg(QWidget* parent)
    : QObject(parent), m_prompt(std::make_unique<QtFilePrompt>(parent)) {
    setObjectName(QStringLiteral("ComDlg"));
}

ComDlg::~ComDlg() = default;

void ComDlg::setPrompt(std::unique_ptr<FilePrompt> prompt) {
    m_prompt = std::move(prompt);
}

void ComDlg::ShowOpen() {
    show(false);
}

void ComDlg::ShowSave() {
    show(true);
}

void ComDlg::show(bool save) {
    const QString filter = qtFilter(m_filter);
    const std::optional<QString> path =
        save ? m_prompt->save(m_fileName, filter) : m_prompt->open(m_fileName, filter);
    if (!path) {
        if (m_cancelError) {
            throw AppError(ErrorCode::DialogCancelled);
        }
        return;
    }
    m_fileName = *path;
}

QString ComDlg::qtFilter(const QString& filter) {
    if (filter.isEmpty()) {
        return {};
    }
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    // A description without its pattern offers nothing to match, so it is left out.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (trimmed.isEmpty()) {
                continue;
            }
            patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
        }
        if (patterns.isEmpty()) {
            continue;
        }
        const QString description =
            parts.at(i).trimmed().isEmpty() ? parts.at(i + 1).trimmed() : parts.at(i).trimmed();
        entries << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

}  // namespace hideaway
