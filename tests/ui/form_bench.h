#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QString>
#include <QStringList>
#include <QtTest>

#include "event_log.h"
#include "form_main.h"
#include "scripted_library.h"
#include "scripted_prompt.h"

namespace hideaway::test {

/// "ButtonUp" and 3 give "ButtonUp3", a control of slot 3's row.
inline QString numbered(const char* name, int n) {
    return QLatin1String(name) + QString::number(n);
}

/// A FormMain on a scripted library; message boxes and the quit are recorded in the log, and the
/// file dialog answers from prompt.
struct Bench {
    EventLog log;
    ScriptedLibrary library{log};
    FormMain form{library};
    PromptScript prompt;
    QStringList messages;
    int quits = 0;

    Bench() {
        form.setMessagePresenter([this](const QString& text) {
            messages << text;
            log.add(QStringLiteral("Message=") + text);
        });
        form.setQuitHandler([this] {
            ++quits;
            log.add(QStringLiteral("Quit"));
        });
        form.comDlg().setPrompt(scriptedPrompt(prompt));
    }

    template <typename T = QWidget>
    T* find(const QString& name) {
        return form.findChild<T*>(name);
    }

    QString text(const QString& name) {
        if (auto* edit = find<QLineEdit>(name)) {
            return edit->text();
        }
        if (auto* label = find<QLabel>(name)) {
            return label->text();
        }
        return QStringLiteral("<no control ") + name + QLatin1Char('>');
    }

    int barValue(int slot) {
        auto* bar = find<QProgressBar>(numbered("ProgressBar", slot));
        return bar != nullptr ? bar->value() : -1;
    }

    bool show() {
        form.show();
        return QTest::qWaitForWindowExposed(&form);
    }

    /// A left click on the named button; false when there is no such button.
    bool click(const QString& name) {
        auto* button = find<QAbstractButton>(name);
        if (button == nullptr) {
            return false;
        }
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    }
};

}  // namespace hideaway::test
