#pragma once

#include <memory>
#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "com_dlg.h"

namespace hideaway::test {

/// What a scripted file prompt was asked and what it answers. The test keeps it; the prompt that
/// ComDlg owns only points at it.
struct PromptScript {
    struct Question {
        QString kind;  // "open" or "save"
        QString start;
        QString filter;
    };
    /// One answer per question: a path, or an empty string for a cancel. Cancels once empty.
    QStringList answers;
    QList<Question> questions;
};

class ScriptedPrompt final : public FilePrompt {
public:
    explicit ScriptedPrompt(PromptScript& script) : m_script(script) {}

    std::optional<QString> open(const QString& start, const QString& filter) override {
        return answer(QStringLiteral("open"), start, filter);
    }
    std::optional<QString> save(const QString& start, const QString& filter) override {
        return answer(QStringLiteral("save"), start, filter);
    }

private:
    std::optional<QString> answer(const QString& kind, const QString& start,
                                  const QString& filter) {
        m_script.questions.append({kind, start, filter});
        const QString next = m_script.answers.isEmpty() ? QString() : m_script.answers.takeFirst();
        if (next.isEmpty()) {
            return std::nullopt;
        }
        return next;
    }

    PromptScript& m_script;
};

inline std::unique_ptr<FilePrompt> scriptedPrompt(PromptScript& script) {
    return std::make_unique<ScriptedPrompt>(script);
}

}  // namespace hideaway::test
