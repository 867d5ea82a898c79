#pragma once

#include <array>
#include <functional>

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include "busy_bar_library.h"
#include "leave_guard.h"
#include "slot_view.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace hideaway {

class ComDlg;
class FrmSplash;
class GbpLibrary;
class PictureBox;
struct RowLayout;
struct SlotRow;

/// The caption the window starts with (it ends in one blank).
inline const QString kStartCaption =
    QStringLiteral("Hideaway100K V1.1 for Sony CMD-J7/70 by Corvane ");

/// The text that reports an error no handler trapped: its number, then its description.
QString untrappedErrorText(int number, const QString& description);

/// The tool's working window: five slot rows, the COM port choice, the operation buttons and the
/// status fields the operations write into. Each button runs one operation on the window's
/// thread; an error that the operation does not trap is reported and the window stays. While an
/// operation runs, user input to the program's windows is dropped (its own modal dialogs take
/// input as usual), except for "Disconnect + Quit": it and a close command wait until the
/// operation has ended. Should a library call keep the operation waiting for some seconds after
/// such a request, the window asks whether to end the program at once (LeaveGuard).
class FormMain final : public QWidget, public SlotView {
    Q_OBJECT

public:
    /// What a click handler does, so the question whether to end now can name it.
    using Activity = LeaveGuard::Operation;

    explicit FormMain(GbpLibrary& library, QWidget* parent = nullptr);
    /// Takes the about window along, so it never outlives the program's main window.
    ~FormMain() override;

    /// Where message boxes go; the default is the real modal message box.
    void setMessagePresenter(std::function<void(const QString&)> presenter);
    /// What "Disconnect + Quit" does once GBP mode is ended; the default ends the program.
    void setQuitHandler(std::function<void()> handler);
    ComDlg& comDlg() { return *m_comDlg; }
    /// Whether GBP mode is open, as the library's wrapper reports it: a wait cursor shows over
    /// the program's windows while a link is open during an operation and no modal dialog is up.
    void setLinkOpen(bool open);
    /// The library call under way, as the library's wrapper reports it, or nullptr once it has
    /// returned; a call that returns closes the question whether to end now.
    void setCallUnderWay(const LibraryCall* call);
    /// How long a call may keep a request to quit waiting before the window asks whether to end
    /// now; five seconds unless a test says otherwise.
    void setEndNowDelay(int milliseconds) { m_leave.setDelay(milliseconds); }

    void setCaption(const QString& text) override;
    void setStatus(const QString& text) override;
    void setLcdStatus(const QString& text) override;
    bool isComSelected(int port) const override;
    void showMessage(const QString& text) override;
    void setSlotName(int slot, const QString& text) override;
    void setSlotBytes(int slot, const QString& text) override;
    QString slotBytes(int slot) const override;
    void setSlotProgress(int slot, float value) override;
    void setTotalHidden(const QString& text) override;
    void noteFact(int slot, SlotFact fact) override;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct SlotControls {
        QLineEdit* name = nullptr;
        QLineEdit* bytes = nullptr;
        QProgressBar* bar = nullptr;
    };

    void buildSlotRow(const SlotRow& slot, const RowLayout& layout);
    void buildStatusArea();
    void arrangeTabOrder();
    /// Runs a click handler; an error it lets escape is reported, and the window goes on. Returns
    /// false, running nothing, while another handler runs.
    bool runHandler(const Activity& activity, const std::function<void()>& handler);
    /// "Disconnect + Quit": ends GBP mode, then the program.
    void disconnectAndQuit();
    /// Whether event is input for the "Disconnect + Quit" button, which acts during an operation.
    bool isQuitButtonInput(QObject* watched, QEvent* event) const;
    void updateWaitCursor();
    void showAbout();
    const SlotControls& row(int slot) const;

    GbpLibrary& m_library;
    /// The same library for uploads and downloads, with the row's bar busy during a long call.
    BusyBarLibrary m_transferLibrary;
    ComDlg* m_comDlg;
    QPixmap m_background;
    std::array<SlotControls, 5> m_rows{};
    std::array<QRadioButton*, 5> m_com{};
    QLineEdit* m_status = nullptr;
    QLabel* m_lcdStatus = nullptr;
    QLineEdit* m_totalHidden = nullptr;
    QPushButton* m_quitButton = nullptr;
    QPointer<FrmSplash> m_splash;
    std::function<void(const QString&)> m_presenter;
    std::function<void()> m_quit;
    LeaveGuard m_leave{this};
    bool m_running = false;
    bool m_linkOpen = false;
    bool m_blocked = false;
    bool m_waitCursor = false;
};

}  // namespace hideaway
