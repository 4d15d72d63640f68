// What the window tests share: the window's dialogs answered without a screen, and input files.
#pragma once

#include <QtWidgets>
#include <optional>

#include "desktop/dialogs.h"

// Answers the window's dialogs from queues; a dialog nobody queued an answer for is a failure
// (and is cancelled, so that no test can hang on it).
struct FakeDialogs final : tarvex::Dialogs {
    using Button = QMessageBox::StandardButton;
    QList<std::optional<QString>> opens, saves;
    QList<Button> answers;
    QStringList warnings, questions;
    int abouts = 0;  // About is asked for by the tests that expect it
    bool unexpected = false;

    template <class T>
    T take(QList<T> &q) {
        return q.isEmpty() ? (unexpected = true, T()) : q.takeFirst();
    }
    std::optional<QString> openFileName(QWidget *, const QString &) override { return take(opens); }
    std::optional<QString> saveFileName(QWidget *, const QString &) override { return take(saves); }
    void warning(QWidget *, const QString &text) override { warnings << text; }
    Button question(QWidget *, const QString &t) override { return questions << t, take(answers); }
    void about(QWidget *) override { ++abouts; }
};

// `name`, once it holds `content`; "" if it could not be written.
inline QString write(const QString &name, const QByteArray &content) {
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() ? name : "";
}
