#pragma once

#include <functional>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "slot_changes.h"
#include "slot_view.h"

class QMessageBox;
class QWidget;

namespace hideaway {

struct LibraryCall;

/// The window's way out of a library call that does not return. A request to quit waits for the
/// operation in progress, so nothing is torn; should a call keep it waiting for some seconds, the
/// guard asks whether to end the program now, in words that say what that leaves on the phone and
/// on disk at the operation's present step. The window tells it when an operation starts, what
/// its calls and the operation itself report meanwhile, and when it ends.
class LeaveGuard final : public QObject {
    Q_OBJECT

public:
    /// An operation of the window, so the question can name it.
    struct Operation {
        enum class Kind { Other, Check, Clear, Upload, Download, Disconnect };
        Kind kind = Kind::Other;
        int slot = 0;
    };
    /// A request to quit; a later one of higher rank replaces an earlier one.
    enum class Quit { None, Close, Disconnect };

    /// The question comes up modal over the whole program, as a child of window.
    explicit LeaveGuard(QWidget* window);

    /// How long a call may keep a request to quit waiting before the question comes up.
    void setDelay(int milliseconds) { m_delay = milliseconds; }
    /// What "End now" does; by default it ends the process at once, with status 1.
    void setEndNow(std::function<void()> endNow) { m_endNow = std::move(endNow); }

    void operationStarted(Operation operation);
    void callBegan(const LibraryCall& call);
    /// The call begun last has returned, or thrown; an open question closes.
    void callReturned();
    void noteFact(SlotFact fact);
    /// Returns the request to quit made during the operation, for the window to carry out now.
    Quit operationEnded();

    /// Whether the window may act on request now; while an operation runs, the request waits
    /// for operationEnded().
    bool mayLeave(Quit request);

    /// The question's text as it would be asked now.
    QString questionText() const;
    /// The question while it is open, or nullptr.
    QMessageBox* question() const;

private:
    void arm();
    void timedOut();
    void ask();
    void closeQuestion();
    QString waiting() const;
    QString leftBehind() const;

    QWidget* m_window;
    QTimer m_wait;
    int m_delay = 5000;
    std::function<void()> m_endNow;
    QPointer<QMessageBox> m_question;
    Operation m_operation;
    /// How far the operation has gone with the slot on the phone, and with the local file.
    SlotChanges m_changes;
    bool m_fileSaved = false;
    Quit m_quit = Quit::None;
    bool m_running = false;
    bool m_inCall = false;
};

}  // namespace hideaway
