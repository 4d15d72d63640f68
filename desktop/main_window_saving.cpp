// Saving: Save As, and the question about unsaved work that Open, a drop, the option and closing
// ask first.
#include <QAction>

#include "desktop/dialogs.h"
#include "desktop/file_names.h"
#include "desktop/main_window.h"
#include "desktop/string_table.h"

namespace tarvex {

QMessageBox::StandardButton MainWindow::askAboutUnsavedWork(const QString &outputTitle) {
    if (!unsaved_) return QMessageBox::No;
    switch (dialogs_.question(this, formatWithTitle(u"Save file in %s?", outputTitle))) {
        case QMessageBox::Yes:
            // The action that asked is abandoned after saving; the user repeats it.
            saveAs();
            return QMessageBox::Cancel;
        case QMessageBox::No:
            return QMessageBox::No;
        default:
            return QMessageBox::Cancel;
    }
}

bool MainWindow::chooseOutputFile() {
    const std::optional<QString> chosen = dialogs_.saveFileName(this, outputPath_);
    if (!chosen || chosen->isEmpty()) return false;
    outputPath_ = *chosen;
    outputTitle_ = fileTitle(outputPath_);
    return true;
}

void MainWindow::saveAs() {
    if (!chooseOutputFile()) return;
    // Checked before the write: the reason is worth a line of its own, and the input may not
    // look like 3DMF to the writer's own check.
    if (const QString hazard = document_.writeHazard(outputPath_); !hazard.isEmpty()) {
        updateStatusBar(QStringLiteral("Not saved: ") + hazard);
        warn(u"Could not write file %s", outputTitle_);
        return;
    }
    updateStatusBar(formatWithTitle(u"Saving to %s", outputTitle_));
    beginWork();
    paintNow();
    const bool written =
        document_.write(outputPath_, [this](int pct, QStringView) { showProgress(pct, {}); });
    endWork();
    if (written) {
        unsaved_ = false;
        updateStatusBar(formatWithTitle(outputFormatOf(outputPath_).saved, outputTitle_));
    } else {
        warn(u"Could not write file %s", outputTitle_);
    }
}

}  // namespace tarvex
