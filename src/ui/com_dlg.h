#pragma once

#include <memory>
#include <optional>

#include <QObject>
#include <QString>

#include "file_dialog.h"

class QWidget;

namespace hideaway {

/// How ComDlg asks the user for a file. The real one shows Qt's file dialogs; tests script it.
class FilePrompt {
public:
    virtual ~FilePrompt() = default;

    /// Asks for an existing file to open. start is the file name last chosen (or empty), filter
    /// is in Qt's "Description (patterns);;..." form. Returns the chosen full path, or nullopt
    /// when the user cancelled.
    virtual std::optional<QString> open(const QString& start, const QString& filter) = 0;
    /// Asks for a file name to save to; the same arguments and result as open().
    virtual std::optional<QString> save(const QString& start, const QString& filter) = 0;
};

/// Qt's own open and save dialogs, modal to the given window. They remember the folders and
/// files shown only in memory, for the run: nothing on disk records what the user chose.
class QtFilePrompt final : public FilePrompt {
public:
    explicit QtFilePrompt(QWidget* parent);

    std::optional<QString> open(const QString& start, const QString& filter) override;
    std::optional<QString> save(const QString& start, const QString& filter) override;

private:
    QWidget* m_parent;
};

/// The main window's one common file dialog: CancelError, Filter, ShowOpen, ShowSave and
/// FileName. The file name last chosen stays in FileName and starts the next dialog, open or save.
class ComDlg final : public QObject, public FileDialog {
    Q_OBJECT

public:
    /// The dialogs are modal to parent, the main window.
    explicit ComDlg(QWidget* parent);
    ~ComDlg() override;

    /// Replaces the way the user is asked (tests pass a scripted prompt).
    void setPrompt(std::unique_ptr<FilePrompt> prompt);

    void setCancelError(bool raise) override { m_cancelError = raise; }
    bool cancelError() const { return m_cancelError; }
    void setFilter(const QString& filter) override { m_filter = filter; }
    QString filter() const { return m_filter; }

    /// Raises AppError 32755 on a cancel when CancelError is true; otherwise a cancel leaves
    /// FileName as it was.
    void ShowOpen() override;
    void ShowSave() override;
    QString fileName() const override { return m_fileName; }

    /// A "Description|pattern|Description|pattern" filter in Qt's "Description (patterns)" form.
    /// Patterns separated by ';' become a blank-separated list, and "*.*" matches every file,
    /// names without a dot included.
    static QString qtFilter(const QString& filter);

private:
    void show(bool save);

    std::unique_ptr<FilePrompt> m_prompt;
    bool m_cancelError = false;
    QString m_filter;
    QString m_fileName;
};

}  // namespace hideaway
