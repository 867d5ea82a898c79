#include "terminal_view.h"

#include "stopping_library.h"
#include "terminal.h"

namespace hideaway::cli {

namespace {

std::size_t index(int slot) {
    return static_cast<std::size_t>(slot - 1);
}

}  // namespace

TerminalView::TerminalView(Terminal& terminal, int port) : m_terminal(terminal), m_port(port) {
    m_bytes.fill(QStringLiteral("0"));
}

void TerminalView::setCaption(const QString& text) {
    field(QStringLiteral("title"), text);
}

void TerminalView::setStatus(const QString& text) {
    field(QStringLiteral("status"), text);
}

void TerminalView::setLcdStatus(const QString& text) {
    field(QStringLiteral("display"), text);
}

void TerminalView::showMessage(const QString& text) {
    field(QStringLiteral("message"), text);
}

void TerminalView::setSlotName(int slot, const QString& text) {
    field(QStringLiteral("slot %1").arg(slot), text);
}

void TerminalView::setSlotBytes(int slot, const QString& text) {
    m_bytes.at(index(slot)) = text;
    field(QStringLiteral("slot %1 bytes").arg(slot), text);
}

QString TerminalView::slotBytes(int slot) const {
    return m_bytes.at(index(slot));
}

void TerminalView::setTotalHidden(const QString& text) {
    field(QStringLiteral("total hidden bytes"), text);
}

void TerminalView::noteFact(int /*slot*/, SlotFact fact) {
    if (StoppingLibrary* run = StoppingLibrary::ofRun()) {
        run->noted(fact);
    }
}

void TerminalView::field(const QString& name, const QString& text) {
    // Messages carry CR LF between their parts; a field stays one line.
    QString flat = text;
    flat.replace(QLatin1String("\r\n"), QLatin1String(" "));
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    m_terminal.trace(name + QLatin1String(": ") + flat);
}

}  // namespace hideaway::cli
