#pragma once

#include <array>

#include <QDir>
#include <QString>

#include "file_dialog.h"
#include "slot_table.h"
#include "slot_view.h"

namespace hideaway::cli {

class Terminal;

/// The status fields of the window, for a terminal: with --verbose every write becomes one line on
/// standard error, named after the field ("status: Ready...", "slot 3: CHECKING..."), and a
/// message box becomes a "message:" line. The byte counts are kept, since the check reads them
/// back; the commands report from the operations' outcomes, never from these fields. The bars are
/// not written out: they repeat the byte counts.
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
    /// Passed to the run's stop, which then says exactly what stopping at once leaves behind.
    void noteFact(int slot, SlotFact fact) override;

private:
    void field(const QString& name, const QString& text);

    Terminal& m_terminal;
    int m_port;
    std::array<QString, kSlotCount> m_bytes;
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
