#pragma once

#include <deque>
#include <optional>

#include "app_error.h"
#include "event_log.h"
#include "file_dialog.h"

namespace hideaway::test {

/// A scripted ComDlg: each ShowOpen or ShowSave takes the next answer (a path, or nullopt for a
/// cancel) and logs "ShowOpen[filter]" or "ShowSave[filter]". The file name carries over as in
/// the real dialog.
class ScriptedFileDialog : public FileDialog {
public:
    explicit ScriptedFileDialog(EventLog& log) : m_log(log) {}

    std::deque<std::optional<QString>> answers;
    bool cancelError = false;
    QString filter;
    QString name;

    void setCancelError(bool raise) override { cancelError = raise; }
    void setFilter(const QString& f) override { filter = f; }
    void ShowOpen() override { show(QStringLiteral("ShowOpen")); }
    void ShowSave() override { show(QStringLiteral("ShowSave")); }
    QString fileName() const override { return name; }

private:
    void show(const QString& kind) {
        m_log.add(kind + QLatin1Char('[') + filter + QLatin1Char(']'));
        std::optional<QString> answer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        if (!answer) {
            if (cancelError) {
                throw AppError(ErrorCode::DialogCancelled);
            }
            return;
        }
        name = *answer;
    }

    EventLog& m_log;
};

}  // namespace hideaway::test
