// Choosing a file and reading it: Open, Recent Files, a drop, the command line, and the option
// that reads every object.
#include <QAction>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>

#include "desktop/dialogs.h"
#include "desktop/file_names.h"
#include "desktop/main_window.h"
#include "desktop/string_table.h"
#include "desktop/window_settings.h"

namespace tarvex {

void MainWindow::open() {
    if (askAboutUnsavedWork(outputTitle_) == QMessageBox::Cancel) return;
    if (!chooseInputFile()) return;
    readChosenFile();
}

void MainWindow::openRecentFile(const QString &path) {
    openDroppedFile(path);
}

void MainWindow::openDroppedFile(const QString &path) {
    if (askAboutUnsavedWork(outputTitle_) == QMessageBox::Cancel) return;
    inputPath_ = path;
    inputTitle_ = fileTitle(path);
    readChosenFile();
}

bool MainWindow::chooseInputFile() {
    const std::optional<QString> chosen = dialogs_.openFileName(this, inputPath_);
    if (!chosen || chosen->isEmpty()) return false;
    inputPath_ = *chosen;
    inputTitle_ = fileTitle(inputPath_);
    return true;
}

void MainWindow::readChosenFile() {
    unsaved_ = false;
    updateStatusBar(formatWithTitle(u"Reading %s", inputTitle_));
    paintNow();
    readFile();
}

void MainWindow::readAllObjectsToggled(bool on) {
    window_settings::setReadAllObjects(on);
    // Binary files are read in full either way; without a file there is nothing to read again.
    if (inputPath_.isEmpty() || document_.binaryInput()) return;
    if (askAboutUnsavedWork(outputTitle_) == QMessageBox::Cancel && unsaved_) {
        // Kept as it was: the scene shown is still the one read in the mode the menu shows.
        readAllAction_->setChecked(!on);
        window_settings::setReadAllObjects(!on);
        return;
    }
    readChosenFile();
}

void MainWindow::readAllFromBar() {
    // Asked for by name: no question first, since the file read again is still unsaved work.
    readAllAction_->setChecked(true);
    window_settings::setReadAllObjects(true);
    readChosenFile();
}

void MainWindow::showSkipped(const QString &skipped) {
    skippedBar_->setVisible(!skipped.isEmpty());
    if (skipped.isEmpty()) return;
    // Without a mesh the view is empty, and would look like a file without content.
    const bool nothingRead = topItem_ == nullptr || topItem_->childCount() == 0;
    skippedText_->setText(
        (nothingRead ? QStringLiteral("The default mode read no triangle mesh and skipped %1.")
                     : QStringLiteral("The default mode read the triangle meshes only and "
                                      "skipped %1."))
            .arg(skipped));
}

void MainWindow::readFile() {
    showSkipped({});
    resetDisplay();
    beginWork();
    const ReadReport report =
        document_.read(inputPath_, readsAllObjects(),
                       [this](int pct, QStringView line) { showProgress(pct, line); });
    endWork();
    if (document_.fullMode()) fillOutline();
    fitTreePane();
    showMessages(document_.messages());
    if (!report.ok) {
        reportReadFailure(report);
        return;
    }
    rememberRecentFile(inputPath_);
    showReadScene();
    updateCaption(inputTitle_);
    toolBarSaveAction_->setEnabled(true);
    QString status = formatWithTitle(u"%s read OK", inputTitle_);
    if (!report.summary.isEmpty()) status += QStringLiteral(" (%1)").arg(report.summary);
    showSkipped(report.skipped);
    if (!report.skipped.isEmpty()) {
        status += QStringLiteral(
                      " - the default mode skipped %1; Options > Read all objects "
                      "reads them")
                      .arg(report.skipped);
    }
    updateStatusBar(status);
    unsaved_ = true;
    outputPath_ = deriveOutputName(inputPath_);
    outputTitle_ = fileTitle(outputPath_);
}

void MainWindow::reportReadFailure(const ReadReport &report) {
    if (report.failure.isEmpty()) return;
    if (report.failureNamesTitle) {
        warn(report.failure, inputTitle_);
    } else {
        dialogs_.warning(this, report.failure);
    }
    if (report.cantOpen) {
        inputPath_.clear();
        inputTitle_.clear();
    }
}

void MainWindow::showMessages(const QList<Message> &messages) {
    messageList_->clear();
    for (const Message &message : messages)
        new QTreeWidgetItem(messageList_, {message.place, message.text});
    messagesButton_->setText(messages.size() == 1
                                 ? QStringLiteral("1 message")
                                 : QStringLiteral("%1 messages").arg(messages.size()));
    messagesButton_->setVisible(!messages.isEmpty());
    if (messages.isEmpty()) messagesPanel_->hide();
}

}  // namespace tarvex
