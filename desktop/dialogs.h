// The modal dialogs of the desktop program, behind one interface so that tests can answer them.
#pragma once

#include <QMessageBox>
#include <QString>
#include <optional>

class QWidget;

namespace tarvex {

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // The Open dialog for 3DMF files, starting from `fileName`; the chosen path, or nullopt when
    // the user cancels.
    virtual std::optional<QString> openFileName(QWidget *owner, const QString &fileName) = 0;
    // The Save As dialog for VRML files, starting from `fileName`; it has already confirmed
    // overwriting an existing file when it returns a path.
    virtual std::optional<QString> saveFileName(QWidget *owner, const QString &fileName) = 0;
    // A warning box titled "tarvex" with an OK button.
    virtual void warning(QWidget *owner, const QString &text) = 0;
    // A question box titled "tarvex"; returns Yes, No or Cancel.
    virtual QMessageBox::StandardButton question(QWidget *owner, const QString &text) = 0;
    virtual void about(QWidget *owner) = 0;
};

// The dialogs a user sees: Qt's file dialogs and message boxes, and the About box.
class QtDialogs final : public Dialogs {
  public:
    std::optional<QString> openFileName(QWidget *owner, const QString &fileName) override;
    std::optional<QString> saveFileName(QWidget *owner, const QString &fileName) override;
    void warning(QWidget *owner, const QString &text) override;
    QMessageBox::StandardButton question(QWidget *owner, const QString &text) override;
    void about(QWidget *owner) override;
};

}  // namespace tarvex
