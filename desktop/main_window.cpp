#include "desktop/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>

#include "conversion/conversion.h"
#include "core/convert.h"
#include "core/progress.h"
#include "core/result_codes.h"
#include "core/scene_store.h"
#include "desktop/dialogs.h"
#include "desktop/scene_view.h"
#include "desktop/winfuncs.h"
#include "draw/draw_list.h"

namespace tarvex {

namespace {

// The window the core's progress goes to.

// Remembered between runs: whether every object of a file is read.
constexpr const char *kReadAllObjectsKey = "options/readAllObjects";

QSettings settings() {
    return QSettings(QStringLiteral("tarvex"), QStringLiteral("tarvexw"));
}

// Role of a full-mode tree item's index into the scene's outline.
constexpr int kOutlineRole = Qt::UserRole + 1;

// The first local file among dropped items; empty when there is none.
QString droppedFile(const QMimeData *mime) {
    if (mime == nullptr) return {};
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile()) return url.toLocalFile();
    }
    return {};
}

}  // namespace

Progress MainWindow::progress() {
    return [this](int pct, std::string_view outputLine) {
        update_display(
            pct, QString::fromUtf8(outputLine.data(), static_cast<qsizetype>(outputLine.size())));
    };
}

MainWindow::MainWindow(Dialogs &dialogs, const std::optional<QString> &commandLineFile,
                       QWidget *parent)
    : QMainWindow(parent),
      dialogs_(dialogs),
      openIcon_(QStringLiteral(":/tarvexw/open.xpm")),
      closedIcon_(QStringLiteral(":/tarvexw/closed.xpm")),
      documentIcon_(QStringLiteral(":/tarvexw/document.xpm")) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QString::fromLatin1(szAppName));
    setWindowIcon(QIcon(QStringLiteral(":/tarvexw/tarvex.xpm")));
    setAcceptDrops(true);
    // QMainWindow's own context menu would let the user hide the toolbar for good.
    setContextMenuPolicy(Qt::NoContextMenu);
    resize(900, 560);

    createActions();
    createMenus();
    CreateAToolBar();
    createStatusBar();
    createTreeView();
    createCentralSplitter();
    treePaintClock_.start();

    if (!commandLineFile) {
        dialogs_.warning(this, QStringLiteral("Bad command line!"));
        return;
    }
    sz3dmfFileName = *commandLineFile;
    bNeedSave = false;
    if (!sz3dmfFileName.isEmpty()) {
        sz3dmfTitleName = fileTitle(sz3dmfFileName);
        readFile();
    }
    DoCaption(sz3dmfTitleName);
}

MainWindow::~MainWindow() {
    clean_up();
}

void MainWindow::createActions() {
    const auto make = [this](const QString &text, const char *name, int id) {
        auto *action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setStatusTip(loadString(id));
        return action;
    };
    openAction_ = make(QStringLiteral("&Open"), "actionOpen", IDM_OPEN);
    openAction_->setIcon(QIcon::fromTheme(QStringLiteral("document-open"),
                                          style()->standardIcon(QStyle::SP_DialogOpenButton)));
    openAction_->setIconText(loadString(IDS_OPEN_BUTTON));
    connect(openAction_, &QAction::triggered, this, &MainWindow::open);

    saveAsAction_ = make(QStringLiteral("Save &As"), "actionSaveAs", IDM_SAVEAS);
    connect(saveAsAction_, &QAction::triggered, this, &MainWindow::saveAs);

    exitAction_ = make(QStringLiteral("&E&xit"), "actionExit", IDM_EXIT);
    exitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exitAction_, &QAction::triggered, this, &QWidget::close);
    // Also on the window itself, so that Ctrl+Q works wherever the menu bar lives.
    addAction(exitAction_);

    aboutAction_ = make(QStringLiteral("&About"), "actionAbout", IDM_ABOUT);
    connect(aboutAction_, &QAction::triggered, this, &MainWindow::about);

    toolBarSaveAction_ = make(loadString(IDS_SAVE_BUTTON), "actionToolBarSave", IDM_SAVEAS);
    toolBarSaveAction_->setIcon(QIcon::fromTheme(
        QStringLiteral("document-save"), style()->standardIcon(QStyle::SP_DialogSaveButton)));
    toolBarSaveAction_->setEnabled(false);
    connect(toolBarSaveAction_, &QAction::triggered, this, &MainWindow::saveAs);

    createViewActions();
}

void MainWindow::createViewActions() {
    const auto make = [this](const QString &text, const char *name, const QString &help) {
        auto *action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setStatusTip(help);
        return action;
    };
    fitAction_ = make(QStringLiteral("&Fit to Window"), "actionFitToWindow",
                      QStringLiteral("Shows the whole scene"));
    fitAction_->setShortcut(QKeySequence(Qt::Key_F));
    connect(fitAction_, &QAction::triggered, this, [this] { sceneView_->fitToWindow(); });
    resetViewAction_ = make(QStringLiteral("&Reset View"), "actionResetView",
                            QStringLiteral("Shows the scene from its first viewpoint"));
    resetViewAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(resetViewAction_, &QAction::triggered, this, [this] { sceneView_->resetView(); });
    // Also on the window itself, so that the keys work wherever the focus is.
    addAction(fitAction_);
    addAction(resetViewAction_);
}

void MainWindow::createMenus() {
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("menuFile"));
    file->addAction(openAction_);
    file->addAction(saveAsAction_);
    file->addAction(exitAction_);
    QMenu *view = createViewMenu();
    QMenu *options = createOptionsMenu();
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("menuHelp"));
    help->addAction(aboutAction_);

    // A popup being opened or closed shows no help text, an item its own. A menu also relays the
    // hovering of its actions' toolbar buttons, which must show nothing.
    for (QMenu *menu : {file, view, options, help}) {
        connect(menu, &QMenu::hovered, this, [this, menu](const QAction *item) {
            if (menu->isVisible()) MsgMenuSelect(item);
        });
        connect(menu, &QMenu::aboutToShow, this, [this] { MsgMenuSelect(nullptr); });
        connect(menu, &QMenu::aboutToHide, this, [this] { MsgMenuSelect(nullptr); });
    }
}

QMenu *MainWindow::createViewMenu() {
    viewMenu_ = menuBar()->addMenu(QStringLiteral("&View"));
    viewMenu_->setObjectName(QStringLiteral("menuView"));
    viewMenu_->addAction(fitAction_);
    viewMenu_->addAction(resetViewAction_);
    // The file's viewpoints follow a separator once a file is read.
    viewMenu_->addSeparator();
    return viewMenu_;
}

QMenu *MainWindow::createOptionsMenu() {
    optionsMenu_ = menuBar()->addMenu(QStringLiteral("&Options"));
    optionsMenu_->setObjectName(QStringLiteral("menuOptions"));
    readAllAction_ = new QAction(QStringLiteral("&Read all objects"), this);
    readAllAction_->setObjectName(QStringLiteral("actionReadAllObjects"));
    readAllAction_->setStatusTip(
        QStringLiteral("Reads every object of a file, not only its triangle meshes"));
    readAllAction_->setCheckable(true);
    readAllAction_->setChecked(
        settings().value(QString::fromLatin1(kReadAllObjectsKey), false).toBool());
    connect(readAllAction_, &QAction::toggled, this,
            [](bool on) { settings().setValue(QString::fromLatin1(kReadAllObjectsKey), on); });
    optionsMenu_->addAction(readAllAction_);
    return optionsMenu_;
}

bool MainWindow::readsAllObjects() const {
    return readAllAction_->isChecked();
}

void MainWindow::CreateAToolBar() {
    hwndToolBar = addToolBar(QStringLiteral("Toolbar"));
    hwndToolBar->setObjectName(QStringLiteral("toolBar"));
    hwndToolBar->setMovable(false);
    hwndToolBar->setFloatable(false);
    hwndToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    hwndToolBar->addAction(openAction_);
    hwndToolBar->addAction(toolBarSaveAction_);
}

void MainWindow::createStatusBar() {
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(true);

    hwndProgress = new QProgressBar;
    hwndProgress->setObjectName(QStringLiteral("progressBar"));
    hwndProgress->setRange(0, 100);
    hwndProgress->setValue(0);
    hwndProgress->setTextVisible(false);
    hwndProgress->setFixedWidth(98);
    bar->addWidget(hwndProgress);

    statusText_ = new QLabel;
    statusText_->setObjectName(QStringLiteral("statusText"));
    // A long file name must not widen the window.
    statusText_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(statusText_, 1);
    updateStatusBar(QStringLiteral("Ready"));
}

void MainWindow::createTreeView() {
    hwndTV = new QTreeWidget;
    hwndTV->setObjectName(QStringLiteral("treeView"));
    hwndTV->setHeaderHidden(true);
    hwndTV->setColumnCount(1);
    hwndTV->setRootIsDecorated(true);
    hwndTV->setIconSize(QSize(16, 16));
    connect(hwndTV, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem *item) { handle_node_msgs(item, true); });
    connect(hwndTV, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem *item) { handle_node_msgs(item, false); });
    connect(hwndTV, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *item) { sceneView_->setHighlighted(viewShapesOf(item)); });
    // Double-clicking a mesh frames it; "Top" stands for the whole scene.
    connect(hwndTV, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        if (item->parent() == nullptr) return sceneView_->fitToWindow();
        sceneView_->frameShapes(viewShapesOf(item));
    });
}

void MainWindow::createCentralSplitter() {
    sceneView_ = new SceneView;
    splitter_ = new QSplitter(Qt::Horizontal);
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->addWidget(hwndTV);
    splitter_->addWidget(sceneView_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({260, 640});
    setCentralWidget(splitter_);
}

std::vector<int> MainWindow::viewShapesOf(QTreeWidgetItem *item) const {
    if (item == nullptr || item->parent() == nullptr) return {};
    if (conversion_) {
        // An object stands for the shapes made from it; a group for those of all it holds.
        std::vector<int> found;
        const auto addShapesOf = [&](QTreeWidgetItem *i) {
            const QVariant outlineIndex = i->data(0, kOutlineRole);
            if (!outlineIndex.isValid()) return;
            const auto &outline = conversion_->outline();
            const std::uint32_t object = outline[outlineIndex.toUInt()].source;
            const auto shapes = shapesByObject_.find(object);
            if (shapes == shapesByObject_.end()) return;
            for (const std::uint32_t shape : shapes->second) {
                const std::vector<int> drawn = sceneView_->shapesOfSource(shape);
                found.insert(found.end(), drawn.begin(), drawn.end());
            }
        };
        std::vector<QTreeWidgetItem *> pending = {item};
        while (!pending.empty()) {
            QTreeWidgetItem *next = pending.back();
            pending.pop_back();
            addShapesOf(next);
            for (int c = 0; c < next->childCount(); ++c) pending.push_back(next->child(c));
        }
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        return found;
    }
    // The reader adds one item under "Top" per mesh, in the store's order.
    const int index = item->parent()->indexOfChild(item);
    return sceneView_->shapesOfSource(static_cast<std::uint32_t>(index));
}

void MainWindow::showReadScene() {
    try {
        sceneView_->showScene(conversion_ ? draw::fromScene(conversion_->scene())
                                          : draw::fromStore());
    } catch (const std::bad_alloc &) {
        sceneView_->clearScene();
    }
    updateViewpointActions();
}

void MainWindow::updateViewpointActions() {
    qDeleteAll(viewpointActions_);
    viewpointActions_.clear();
    const QStringList names = sceneView_->viewpointNames();
    for (int i = 0; i < names.size(); ++i) {
        // A name with '&' must not turn into a shortcut.
        QString text = names[i];
        auto *action = new QAction(text.replace(u'&', QStringLiteral("&&")), viewMenu_);
        action->setObjectName(QStringLiteral("actionViewpoint%1").arg(i + 1));
        action->setStatusTip(QStringLiteral("Shows the scene from this viewpoint"));
        connect(action, &QAction::triggered, this, [this, i] { sceneView_->goToViewpoint(i); });
        viewMenu_->addAction(action);
        viewpointActions_ << action;
    }
}

bool MainWindow::event(QEvent *event) {
    // Status tips would overwrite the status text whenever the pointer crosses the toolbar;
    // only the menus show help texts, through MsgMenuSelect.
    if (event->type() == QEvent::StatusTip) return true;
    return QMainWindow::event(event);
}

void MainWindow::closeEvent(QCloseEvent *event) {
    if (AskAboutSave(szWrlTitleName) != QMessageBox::No) {
        event->ignore();
        return;
    }
    clean_up();
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    if (bNeedSave) toolBarSaveAction_->setEnabled(true);
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

void MainWindow::open() {
    if (AskAboutSave(szWrlTitleName) == QMessageBox::Cancel) return;
    if (!FileOpenDlg()) return;
    readChosenFile();
}

void MainWindow::openDroppedFile(const QString &path) {
    if (AskAboutSave(szWrlTitleName) == QMessageBox::Cancel) return;
    sz3dmfFileName = path;
    sz3dmfTitleName = fileTitle(path);
    readChosenFile();
}

void MainWindow::readChosenFile() {
    bNeedSave = false;
    updateStatusBar(formatWithTitle(u"Reading %s", sz3dmfTitleName));
    paintNow();
    readFile();
}

void MainWindow::readFile() {
    init_display();
    const std::string fileName = coreFileName(sz3dmfFileName);
    if (readsAllObjects() || conversion::is_binary_input(fileName)) {
        readAllObjects(fileName);
        return;
    }
    conversion_.reset();
    shapesByObject_.clear();
    const int result = read_in(fileName, progress());
    handle_result(result);
    if (result != CNV_OK) return;
    showReadScene();
    DoCaption(sz3dmfTitleName);
    toolBarSaveAction_->setEnabled(true);
    updateStatusBar(formatWithTitle(u"%s read OK", sz3dmfTitleName));
    update_display(0, u"");
    bNeedSave = true;
    szWrlFileName = deriveOutputName(sz3dmfFileName);
    szWrlTitleName = fileTitle(szWrlFileName);
}

void MainWindow::readAllObjects(const std::string &fileName) {
    // The default store is not used in full mode; the new reading replaces the old one.
    clean_up();
    shapesByObject_.clear();
    conversion_ = std::make_unique<conversion::Conversion>();
    conversion::Options options;
    options.full = true;
    options.outline = true;
    const conversion::Status result =
        conversion_
            ->read(fileName, options,
                   [this](int pct, std::string_view) {
                       hwndProgress->setValue(std::clamp(pct, 0, 100));
                   })
            .status;
    fillOutline();
    switch (result) {
        case conversion::Status::ok:
            break;
        case conversion::Status::cant_open:
            return handle_result(CNV_CANT_OPEN);
        case conversion::Status::empty:
            return handle_result(CNV_EMPTY_FILE);
        case conversion::Status::read_error:
            return handle_result(CNV_READ_ERROR);
        case conversion::Status::failed:
            // The message names the file and the line: no title to put in.
            dialogs_.warning(this, QString::fromStdString(conversion_->result().message));
            return;
    }
    const auto &shapes = conversion_->scene().shapes;
    for (std::uint32_t i = 0; i < shapes.size(); ++i)
        shapesByObject_[shapes[i].source].push_back(i);
    showReadScene();
    DoCaption(sz3dmfTitleName);
    toolBarSaveAction_->setEnabled(true);
    QString status = formatWithTitle(u"%s read OK", sz3dmfTitleName);
    const std::string summary = conversion_->diagnostics().summary();
    if (!summary.empty()) status += QStringLiteral(" (%1)").arg(QString::fromStdString(summary));
    updateStatusBar(status);
    hwndProgress->setValue(0);
    bNeedSave = true;
    szWrlFileName = deriveOutputName(sz3dmfFileName);
    szWrlTitleName = fileTitle(szWrlFileName);
}

void MainWindow::fillOutline() {
    // Under "Top": groups as folders, each object with its type, its label and its size.
    std::vector<QTreeWidgetItem *> parents = {hPrevRootItem};
    const auto &outline = conversion_->outline();
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const builder::OutlineItem &entry = outline[i];
        const std::size_t depth = std::min<std::size_t>(entry.depth, parents.size() - 1);
        QString text = QString::fromStdString(entry.label);
        if (!text.isEmpty()) text += QStringLiteral(": ");
        text += QString::fromStdString(entry.type);
        if (!entry.size.empty()) text += QStringLiteral(", ") + QString::fromStdString(entry.size);
        auto *item = new QTreeWidgetItem(parents[depth], {text});
        item->setData(0, kOutlineRole, static_cast<uint>(i));
        item->setIcon(0, entry.is_group ? closedIcon_ : documentIcon_);
        parents.resize(depth + 1);
        if (entry.is_group) parents.push_back(item);
    }
    // Only items with children open: an item opened shows the open-folder picture.
    hPrevRootItem->setExpanded(true);
    for (int i = 0; i < hPrevRootItem->childCount(); ++i) {
        QTreeWidgetItem *child = hPrevRootItem->child(i);
        if (child->childCount() > 0) child->setExpanded(true);
    }
}

void MainWindow::handle_result(int result) {
    // The core's message table with the placeholder kept, so that the box substitutes the title
    // exactly as every other box does.
    const std::string message = read_result_message(result, "%s");
    if (message.empty()) return;
    OkMessage(QString::fromStdString(message), sz3dmfTitleName);
    if (result == CNV_CANT_OPEN) {
        sz3dmfFileName.clear();
        sz3dmfTitleName.clear();
    }
}

void MainWindow::DoCaption(const QString &szTitleName) {
    QString caption = formatWithTitle(u"tarvex - %s", szTitleName);
    // Qt reads "[*]" in a title as the unsaved-changes marker; a file name may contain it.
    caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(caption);
}

void MainWindow::OkMessage(QStringView szMessage, const QString &szTitleName) {
    dialogs_.warning(this, formatWithTitle(szMessage, szTitleName));
}

QMessageBox::StandardButton MainWindow::AskAboutSave(const QString &szTitleName) {
    if (!bNeedSave) return QMessageBox::No;
    switch (dialogs_.question(this, formatWithTitle(u"Save file in %s?", szTitleName))) {
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

bool MainWindow::FileOpenDlg() {
    const std::optional<QString> chosen = dialogs_.openFileName(this, sz3dmfFileName);
    if (!chosen || chosen->isEmpty()) return false;
    sz3dmfFileName = *chosen;
    sz3dmfTitleName = fileTitle(sz3dmfFileName);
    return true;
}

bool MainWindow::FileSaveDlg() {
    const std::optional<QString> chosen = dialogs_.saveFileName(this, szWrlFileName);
    if (!chosen || chosen->isEmpty()) return false;
    szWrlFileName = *chosen;
    szWrlTitleName = fileTitle(szWrlFileName);
    return true;
}

void MainWindow::saveAs() {
    if (!FileSaveDlg()) return;
    updateStatusBar(formatWithTitle(u"Saving to %s", szWrlTitleName));
    paintNow();
    const std::string output = coreFileName(szWrlFileName);
    const int written =
        conversion_ ? conversion_->write(output, conversion::Format::vrml97, OutputMode::binary)
                    : write_out(output, OutputMode::binary, progress());
    if (written == 0) {
        bNeedSave = false;
        updateStatusBar(formatWithTitle(u"VRML world saved in %s", szWrlTitleName));
        update_display(0, u"");
    } else {
        OkMessage(u"Could not write file %s", szWrlTitleName);
    }
}

void MainWindow::about() {
    dialogs_.about(this);
}

void MainWindow::MsgMenuSelect(const QAction *item) {
    updateStatusBar(item != nullptr ? item->statusTip() : QString());
}

void MainWindow::updateStatusBar(const QString &text) {
    statusText_->setText(text);
}

void MainWindow::paintNow() {
    if (isVisible()) repaint();
}

void MainWindow::handle_node_msgs(QTreeWidgetItem *item, bool expanding) {
    item->setIcon(0, expanding ? openIcon_ : closedIcon_);
}

void MainWindow::init_display() {
    sceneView_->clearScene();
    updateViewpointActions();
    hwndTV->clear();
    hPrevRootItem = nullptr;
    hPrevLev2Item = nullptr;
    AddItemToTree(QStringLiteral("Top"), 1);
}

void MainWindow::update_display(int pct, QStringView outputLine) {
    hwndProgress->setValue(std::clamp(pct, 0, 100));
    if (outputLine.isEmpty()) return;
    AddItemToTree(outputLine.toString(), 2);
    // The reader blocks the event loop; repaint now and then so that the tree is seen growing.
    if (isVisible() && treePaintClock_.hasExpired(100)) {
        hwndTV->viewport()->repaint();
        treePaintClock_.restart();
    }
}

QTreeWidgetItem *MainWindow::AddItemToTree(const QString &lpszItem, int nLevel) {
    QTreeWidgetItem *parent = nLevel == 1 ? nullptr : nLevel == 2 ? hPrevRootItem : hPrevLev2Item;
    QTreeWidgetItem *item = parent != nullptr ? new QTreeWidgetItem(parent, {lpszItem})
                                              : new QTreeWidgetItem(hwndTV, {lpszItem});
    item->setIcon(0, documentIcon_);
    item->setData(0, Qt::UserRole, nLevel);
    if (nLevel == 1) hPrevRootItem = item;
    if (nLevel == 2) hPrevLev2Item = item;
    if (parent != nullptr) {
        // Show the children as they arrive; the picture then says that the item has children.
        parent->setExpanded(true);
        parent->setIcon(0, closedIcon_);
    }
    return item;
}

}  // namespace tarvex
