#include "desktop/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLayout>
#include <QMimeData>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include "desktop/dialogs.h"
#include "desktop/file_names.h"
#include "desktop/scene_view.h"
#include "desktop/string_table.h"
#include "desktop/window_settings.h"

namespace tarvex {

namespace {

// The first local file among dropped items; empty when there is none.
QString droppedFile(const QMimeData *mime) {
    if (mime == nullptr) return {};
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile()) return url.toLocalFile();
    }
    return {};
}

StartOptions fileOnly(const std::optional<QString> &file) {
    StartOptions options;
    options.file = file;
    return options;
}

}  // namespace

MainWindow::MainWindow(Dialogs &dialogs, const std::optional<QString> &commandLineFile,
                       QWidget *parent)
    : MainWindow(dialogs, fileOnly(commandLineFile), parent) {}

MainWindow::MainWindow(Dialogs &dialogs, const StartOptions &options, QWidget *parent)
    : QMainWindow(parent),
      dialogs_(dialogs),
      openIcon_(QStringLiteral(":/tarvexw/open.xpm")),
      closedIcon_(QStringLiteral(":/tarvexw/closed.xpm")),
      documentIcon_(QStringLiteral(":/tarvexw/document.xpm")) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QString::fromLatin1(kAppName));
    setWindowIcon(QIcon(QStringLiteral(":/tarvexw/tarvex.xpm")));
    setAcceptDrops(true);
    // QMainWindow's own context menu would let the user hide the toolbar for good.
    setContextMenuPolicy(Qt::NoContextMenu);
    resize(900, 560);

    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    createTreeView();
    createCentralArea();
    createMessagesPanel();
    treePaintClock_.start();
    // --full holds for this run; only the menu changes what is remembered.
    if (options.full) readAllAction_->setChecked(true);

    if (!options.file) {
        dialogs_.warning(this, QStringLiteral("Bad command line!"));
        return;
    }
    inputPath_ = *options.file;
    unsaved_ = false;
    if (!inputPath_.isEmpty()) {
        inputTitle_ = fileTitle(inputPath_);
        readFile();
    }
    updateCaption(inputTitle_);
}

MainWindow::~MainWindow() = default;

bool MainWindow::event(QEvent *event) {
    // Status tips would overwrite the status text whenever the pointer crosses the toolbar;
    // only the menus show help texts, through showMenuHelp.
    if (event->type() == QEvent::StatusTip) return true;
    return QMainWindow::event(event);
}

void MainWindow::closeEvent(QCloseEvent *event) {
    if (askAboutUnsavedWork(outputTitle_) != QMessageBox::No) {
        event->ignore();
        return;
    }
    window_settings::setTreeWidth(splitter_->sizes().value(0));
    document_.clear();
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    if (unsaved_) toolBarSaveAction_->setEnabled(true);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event) {
    if (!droppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event) {
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // Questions and the read run after the drop has been answered, so that the program the file
    // was dragged from is not held up by them.
    QMetaObject::invokeMethod(
        this, [this, path] { openDroppedFile(path); }, Qt::QueuedConnection);
}

void MainWindow::about() {
    dialogs_.about(this);
}

void MainWindow::updateCaption(const QString &inputTitle) {
    QString caption = formatWithTitle(u"tarvex - %s", inputTitle);
    // Qt reads "[*]" in a title as the unsaved-changes marker; a file name may contain it.
    caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(caption);
}

void MainWindow::warn(QStringView format, const QString &title) {
    dialogs_.warning(this, formatWithTitle(format, title));
}

void MainWindow::showMenuHelp(const QAction *item) {
    updateStatusBar(item != nullptr ? item->statusTip() : QString());
}

void MainWindow::updateStatusBar(const QString &text) {
    statusText_->setText(text);
}

void MainWindow::paintNow() {
    if (isVisible()) repaint();
}

void MainWindow::beginWork() {
    progressBar_->setValue(0);
    progressBar_->show();
    // The event loop that would place the bar does not run until the work is done.
    if (QLayout *layout = statusBar()->layout()) layout->activate();
    if (isVisible()) statusBar()->repaint();
}

void MainWindow::endWork() {
    progressBar_->setValue(0);
    progressBar_->hide();
}

}  // namespace tarvex
