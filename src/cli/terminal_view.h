#pragma once

#include <array>

#include <QDir>
#include <QString>
#include <QStringList>

#include "file_dialog.h"
#include "slot_table.h"
#include "slot_view.h"

namespace hideaway::cli {

class Terminal;

/// The status fields of the window, for a terminal: with --verbose every write becomes one line on
/// standard error, named after the field ("status: Ready...", "slot 3: CHECKING..."), and a
/// message box becomes a "message:" line. The byte counts and the messages are kept, since the
/// check reads the counts back and the commands report in their own words what the messages tell.
/// The bars are not written out: they repeat the byte counts.
class TerminalView final : public SlotView {
public:
    /// port is the COM port (1 to 5) that the link reads as the selected option button.
    TerminalView(Terminal& terminal, int port);

    void setCaption(const QString& text) override;
    void setStatus(const QString& text) override;
    void setLcdStatus(const QString& text) override;
    bool isComSelected(int port) const override { return port == m_port; }
    void showMessage(const QString& text) override;

    void setSlotName(int slot, const QString& text) override;
    void setSlotBytes(int slot, const QString& text) override;
    QString slotBytes(int slot) const override;
    void setSlotProgress(int /*slot*/, float /*value*/) override {}
    void setTotalHidden(const QString& text) override;

    /// What TotalHidden last received.
    const QString& totalHidden() const { return m_total; }
    /// The messages shown so far, in order.
    const QStringList& messages() const { return m_messages; }

private:
    void field(const QString& name, const QString& text);

    Terminal& m_terminal;
    int m_port;
    std::array<QString, kSlotCount> m_bytes;
    QString m_total = QStringLiteral("0");
    QStringList m_messages;
};

/// The file dialog, answered by the path given on the command line: it is never cancelled, and
/// the filter it is given does not restrict the path.
class PathDialog final : public FileDialog {
public:
    explicit PathDialog(const QString& path) : m_path(path) {}

    void setCancelError(bool /*raise*/) override {}
    void setFilter(const QString& /*filter*/) override {}
    void ShowOpen() override {}
    void ShowSave() override {}
    // In the system's own form, as the window's dialog gives it: the operations name it.
    QString fileName() const override { return QDir::toNativeSeparators(m_path); }

private:
    QString m_path;
};

}  // namespace hideaway::cli
