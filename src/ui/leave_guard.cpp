#include "leave_guard.h"

#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <utility>

#include "app_message.h"
#include "end_now.h"
#include "forwarding_library.h"

namespace hideaway {

namespace {

/// The status the program ends with when the user ends it while a call is under way.
constexpr int kEndedNowStatus = 1;

}  // namespace

LeaveGuard::LeaveGuard(QWidget* window)
    : m_window(window), m_endNow([] { endProcessNow(kEndedNowStatus); }) {
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &LeaveGuard::timedOut);
}

void LeaveGuard::operationStarted(Operation operation) {
    m_running = true;
    m_operation = operation;
    m_changes.reset();
    m_fileSaved = false;
    m_inCall = false;
    if (operation.kind == Operation::Kind::Disconnect) {
        arm();  // the user asked to quit, and this call may hang too
    }
}

void LeaveGuard::callBegan(const LibraryCall& call) {
    m_inCall = true;
    m_changes.began(call);
}

void LeaveGuard::callReturned() {
    m_inCall = false;
    m_changes.returned();
    if (!m_question.isNull()) {
        // The phone answered: the operation goes on, and the request to quit still stands.
        closeQuestion();
        arm();
    }
}

void LeaveGuard::noteFact(SlotFact fact) {
    // The download's file is the guard's own to remember: the slot is not changed by it.
    if (fact == SlotFact::FileSaved) {
        m_fileSaved = true;
    } else {
        m_changes.noted(fact);
    }
}

LeaveGuard::Quit LeaveGuard::operationEnded() {
    m_running = false;
    m_inCall = false;
    m_wait.stop();
    closeQuestion();
    return std::exchange(m_quit, Quit::None);
}

bool LeaveGuard::mayLeave(Quit request) {
    if (!m_running) {
        return true;
    }
    // Nothing may be torn: the operation ends, with its EndGBPMode, and then the window leaves.
    m_quit = std::max(m_quit, request);
    arm();
    return false;
}

void LeaveGuard::arm() {
    if (!m_wait.isActive() && m_question.isNull()) {
        m_wait.start(m_delay);
    }
}

void LeaveGuard::timedOut() {
    if (!m_running) {
        return;
    }
    // Between calls the operation is in one of its own dialogs, not waiting for the phone.
    if (m_inCall) {
        ask();
    } else {
        arm();
    }
}

void LeaveGuard::ask() {
    auto* box = new QMessageBox(QMessageBox::Question, kAppTitle, questionText(),
                                QMessageBox::NoButton, m_window);
    box->setObjectName(QStringLiteral("EndNowQuestion"));
    box->setTextFormat(Qt::PlainText);
    QPushButton* endNow = box->addButton(QStringLiteral("End now"), QMessageBox::DestructiveRole);
    QPushButton* wait = box->addButton(QStringLiteral("Wait"), QMessageBox::RejectRole);
    box->setDefaultButton(wait);
    box->setEscapeButton(wait);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Not exec(): the call under way must be able to return and close the question meanwhile.
    box->setWindowModality(Qt::ApplicationModal);
    connect(box, &QMessageBox::buttonClicked, this, [this, endNow](QAbstractButton* clicked) {
        if (clicked == endNow) {
            // The worker may be stuck in the library for good: nothing may wait for it.
            m_endNow();
        }
    });
    m_question = box;
    box->show();
}

void LeaveGuard::closeQuestion() {
    if (QMessageBox* box = m_question.data()) {
        m_question = nullptr;
        box->disconnect(this);
        box->close();
    }
}

QMessageBox* LeaveGuard::question() const {
    return m_question.data();
}

QString LeaveGuard::questionText() const {
    return QStringLiteral(
               "%1 is still waiting for the phone to answer.\n\nIf you end the program now, "
               "%2.\n\nEnd the program now, or wait for the phone?")
        .arg(waiting(), leftBehind());
}

QString LeaveGuard::waiting() const {
    const int slot = m_operation.slot;
    switch (m_operation.kind) {
        case Operation::Kind::Check:
            return QStringLiteral("The check");
        case Operation::Kind::Clear:
            return QStringLiteral("Clearing slot %1").arg(slot);
        case Operation::Kind::Upload:
            return QStringLiteral("The upload to slot %1").arg(slot);
        case Operation::Kind::Download:
            return QStringLiteral("The download of slot %1").arg(slot);
        case Operation::Kind::Disconnect:
            return QStringLiteral("Ending the link");
        case Operation::Kind::Other:
            break;
    }
    return QStringLiteral("The operation");
}

QString LeaveGuard::leftBehind() const {
    using Kind = Operation::Kind;
    const Kind kind = m_operation.kind;
    if (kind == Kind::Download) {
        // The download never changes the slot; its file is saved whole or not at all.
        return m_fileSaved ? QStringLiteral("the file is already written")
                           : QStringLiteral("no file is written");
    }
    if (kind != Kind::Clear && kind != Kind::Upload) {
        return QStringLiteral("nothing on the phone is changed");
    }
    const QString changed = m_changes.leftBehind();
    return changed.isEmpty() ? QStringLiteral("slot %1 keeps what it holds").arg(m_operation.slot)
                             : changed;
}

}  // namespace hideaway
