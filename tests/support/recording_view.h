#pragma once

#include <array>

#include <QString>

#include "captions.h"
#include "event_log.h"
#include "slot_view.h"

namespace hideaway::test {

/// A fake main window: records every write in the log as "Field=value" and keeps each field's
/// current value. Fields: Caption, Status, LCD, Message, Name<n>, Bytes<n>, Bar<n>, Total.
class RecordingView : public SlotView {
public:
    explicit RecordingView(EventLog& log) : m_log(log) { selectCom(1); }

    // What the window shows at start.
    QString caption = kStartCaptionText;
    QString status = QStringLiteral("OFFLINE");
    QString lcd;
    QString total = QStringLiteral("0");
    std::array<QString, 6> names{};
    std::array<QString, 6> bytes{{"0", "0", "0", "0", "0", "0"}};
    std::array<float, 6> bars{};
    std::array<bool, 6> com{};
    QStringList messages;
    /// Ports whose option button was read, in order.
    mutable QList<int> comReads;

    /// Selects ComN alone, as a click on it does; 0 selects none.
    void selectCom(int port) {
        com.fill(false);
        if (port >= 1 && port <= 5) {
            com[static_cast<std::size_t>(port)] = true;
        }
    }

    void setCaption(const QString& text) override {
        write(caption, QStringLiteral("Caption"), text);
    }
    void setStatus(const QString& text) override { write(status, QStringLiteral("Status"), text); }
    void setLcdStatus(const QString& text) override { write(lcd, QStringLiteral("LCD"), text); }
    bool isComSelected(int port) const override {
        comReads << port;
        return com.at(static_cast<std::size_t>(port));
    }
    void showMessage(const QString& text) override {
        messages << text;
        m_log.add(QStringLiteral("Message=") + text);
    }
    void setSlotName(int slot, const QString& text) override {
        write(names.at(index(slot)), QStringLiteral("Name%1").arg(slot), text);
    }
    void setSlotBytes(int slot, const QString& text) override {
        write(bytes.at(index(slot)), QStringLiteral("Bytes%1").arg(slot), text);
    }
    QString slotBytes(int slot) const override { return bytes.at(index(slot)); }
    void setSlotProgress(int slot, float value) override {
        bars.at(index(slot)) = value;
        m_log.add(QStringLiteral("Bar%1=%2").arg(slot).arg(static_cast<double>(value)));
    }
    void setTotalHidden(const QString& text) override {
        write(total, QStringLiteral("Total"), text);
    }

private:
    static std::size_t index(int slot) {
        Q_ASSERT(slot >= 1 && slot <= 5);
        return static_cast<std::size_t>(slot);
    }
    void write(QString& field, const QString& name, const QString& text) {
        field = text;
        m_log.add(name + QLatin1Char('=') + text);
    }

    EventLog& m_log;
};

}  // namespace hideaway::test
