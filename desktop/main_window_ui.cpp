// Building the main window: actions, menus, toolbar, status bar, the tree beside the 3D view,
// and the Messages panel.
#include <QAction>
#include <QDockWidget>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "desktop/main_window.h"
#include "desktop/scene_view.h"
#include "desktop/string_table.h"
#include "desktop/window_settings.h"

namespace tarvex {

namespace {

QAction *makeAction(QObject *owner, const QString &text, const char *name, const QString &help) {
    auto *action = new QAction(text, owner);
    action->setObjectName(QString::fromLatin1(name));
    action->setStatusTip(help);
    return action;
}

// The tree pane's width before the user has chosen one.
constexpr int kDefaultTreeWidth = 260;

}  // namespace

void MainWindow::createActions() {
    openAction_ =
        makeAction(this, QStringLiteral("&Open"), "actionOpen", uiString(StringId::OpenHelp));
    openAction_->setIcon(QIcon::fromTheme(QStringLiteral("document-open"),
                                          style()->standardIcon(QStyle::SP_DialogOpenButton)));
    openAction_->setIconText(uiString(StringId::OpenButton));
    openAction_->setShortcut(QKeySequence::Open);
    connect(openAction_, &QAction::triggered, this, &MainWindow::open);

    saveAsAction_ = makeAction(this, QStringLiteral("Save &As"), "actionSaveAs",
                               uiString(StringId::SaveAsHelp));
    saveAsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(saveAsAction_, &QAction::triggered, this, &MainWindow::saveAs);

    exitAction_ =
        makeAction(this, QStringLiteral("&E&xit"), "actionExit", uiString(StringId::ExitHelp));
    exitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exitAction_, &QAction::triggered, this, &QWidget::close);

    aboutAction_ =
        makeAction(this, QStringLiteral("&About"), "actionAbout", uiString(StringId::AboutHelp));
    connect(aboutAction_, &QAction::triggered, this, &MainWindow::about);
    // F1 has no help pages to show; the About box names the program, its formats and version.
    helpAction_ = makeAction(this, QString(), "actionHelpKey", QString());
    helpAction_->setShortcut(QKeySequence::HelpContents);
    connect(helpAction_, &QAction::triggered, this, &MainWindow::about);

    toolBarSaveAction_ = makeAction(this, uiString(StringId::SaveButton), "actionToolBarSave",
                                    uiString(StringId::SaveAsHelp));
    toolBarSaveAction_->setIcon(QIcon::fromTheme(
        QStringLiteral("document-save"), style()->standardIcon(QStyle::SP_DialogSaveButton)));
    toolBarSaveAction_->setEnabled(false);
    connect(toolBarSaveAction_, &QAction::triggered, this, &MainWindow::saveAs);

    // Also on the window itself, so that the keys work wherever the menu bar lives.
    addActions({openAction_, saveAsAction_, exitAction_, helpAction_});
    createViewActions();
}

void MainWindow::createViewActions() {
    fitAction_ = makeAction(this, QStringLiteral("&Fit to Window"), "actionFitToWindow",
                            QStringLiteral("Shows the whole scene"));
    fitAction_->setShortcut(QKeySequence(Qt::Key_F));
    connect(fitAction_, &QAction::triggered, this, [this] { sceneView_->fitToWindow(); });
    resetViewAction_ = makeAction(this, QStringLiteral("&Reset View"), "actionResetView",
                                  QStringLiteral("Shows the scene from its first viewpoint"));
    resetViewAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(resetViewAction_, &QAction::triggered, this, [this] { sceneView_->resetView(); });
    addAction(fitAction_);
    addAction(resetViewAction_);
}

void MainWindow::createMenus() {
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("menuFile"));
    file->addAction(openAction_);
    recentFilesMenu_ = file->addMenu(QStringLiteral("Recent &Files"));
    recentFilesMenu_->setObjectName(QStringLiteral("menuRecentFiles"));
    updateRecentFilesMenu();
    file->addAction(saveAsAction_);
    file->addAction(exitAction_);
    QMenu *view = createViewMenu();
    QMenu *options = createOptionsMenu();
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("menuHelp"));
    help->addAction(aboutAction_);

    // A popup being opened or closed shows no help text, an item its own. A menu also relays the
    // hovering of its actions' toolbar buttons, which must show nothing.
    for (QMenu *menu : {file, recentFilesMenu_, view, options, help}) {
        connect(menu, &QMenu::hovered, this, [this, menu](const QAction *item) {
            if (menu->isVisible()) showMenuHelp(item);
        });
        connect(menu, &QMenu::aboutToShow, this, [this] { showMenuHelp(nullptr); });
        connect(menu, &QMenu::aboutToHide, this, [this] { showMenuHelp(nullptr); });
    }
}

void MainWindow::updateRecentFilesMenu() {
    recentFilesMenu_->clear();
    const QStringList files = window_settings::recentFiles();
    for (int i = 0; i < files.size(); ++i) {
        // A name with '&' must not turn into a shortcut.
        QString name = QFileInfo(files[i]).fileName().replace(u'&', QStringLiteral("&&"));
        QAction *action =
            recentFilesMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
        action->setObjectName(QStringLiteral("actionRecentFile%1").arg(i + 1));
        action->setStatusTip(files[i]);
        action->setData(files[i]);
        const QString path = files[i];
        connect(action, &QAction::triggered, this, [this, path] { openRecentFile(path); });
    }
    recentFilesMenu_->setEnabled(!files.isEmpty());
}

void MainWindow::rememberRecentFile(const QString &path) {
    window_settings::addRecentFile(path);
    updateRecentFilesMenu();
}

QStringList MainWindow::recentFiles() const {
    QStringList files;
    for (const QAction *action : recentFilesMenu_->actions()) files << action->data().toString();
    return files;
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
    readAllAction_ =
        makeAction(this, QStringLiteral("&Read all objects"), "actionReadAllObjects",
                   QStringLiteral("Reads every object of a file, not only its triangle meshes"));
    readAllAction_->setCheckable(true);
    readAllAction_->setChecked(window_settings::readAllObjects());
    // Only the user's choice is remembered, not a --full given for one run.
    connect(readAllAction_, &QAction::triggered, this, &MainWindow::readAllObjectsToggled);
    optionsMenu_->addAction(readAllAction_);
    return optionsMenu_;
}

bool MainWindow::readsAllObjects() const {
    return readAllAction_->isChecked();
}

void MainWindow::createToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar_->addAction(openAction_);
    toolBar_->addAction(toolBarSaveAction_);
}

void MainWindow::createStatusBar() {
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(true);

    progressBar_ = new QProgressBar;
    progressBar_->setObjectName(QStringLiteral("progressBar"));
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    progressBar_->setFixedWidth(98);
    progressBar_->hide();
    bar->addWidget(progressBar_);

    statusText_ = new QLabel;
    statusText_->setObjectName(QStringLiteral("statusText"));
    // A long file name must not widen the window.
    statusText_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(statusText_, 1);

    messagesButton_ = new QToolButton;
    messagesButton_->setObjectName(QStringLiteral("messagesButton"));
    // Raised, with a picture: a plain text in a status bar does not look like it can be clicked.
    messagesButton_->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
    messagesButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    messagesButton_->setCursor(Qt::PointingHandCursor);
    messagesButton_->setToolTip(QStringLiteral("Lists every warning with its place"));
    messagesButton_->hide();
    bar->addPermanentWidget(messagesButton_);
    updateStatusBar(QStringLiteral("Ready"));
}

void MainWindow::createMessagesPanel() {
    messagesPanel_ = new QDockWidget(QStringLiteral("Messages"), this);
    messagesPanel_->setObjectName(QStringLiteral("messagesPanel"));
    messageList_ = new QTreeWidget(messagesPanel_);
    messageList_->setObjectName(QStringLiteral("messageList"));
    messageList_->setColumnCount(2);
    messageList_->setHeaderLabels({QStringLiteral("Place"), QStringLiteral("Message")});
    messageList_->setRootIsDecorated(false);
    messageList_->setUniformRowHeights(true);
    messageList_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    messagesPanel_->setWidget(messageList_);
    addDockWidget(Qt::BottomDockWidgetArea, messagesPanel_);
    messagesPanel_->hide();

    QAction *toggle = messagesPanel_->toggleViewAction();
    toggle->setObjectName(QStringLiteral("actionMessages"));
    toggle->setText(QStringLiteral("&Messages"));
    toggle->setStatusTip(QStringLiteral("Lists every warning of the last read with its place"));
    viewMenu_->insertAction(viewMenu_->actions().value(2), toggle);
    connect(messagesButton_, &QToolButton::clicked, this, [this] {
        messagesPanel_->show();
        messagesPanel_->raise();
    });
}

void MainWindow::createTreeView() {
    tree_ = new QTreeWidget;
    tree_->setObjectName(QStringLiteral("treeView"));
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setRootIsDecorated(true);
    tree_->setIconSize(QSize(16, 16));
    // A label wider than the pane scrolls instead of being cut off.
    tree_->header()->setStretchLastSection(false);
    connect(tree_, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem *item) { updateFolderIcon(item, true); });
    connect(tree_, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem *item) { updateFolderIcon(item, false); });
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *item) { sceneView_->setHighlighted(viewShapesOf(item)); });
    // Double-clicking a mesh frames it; "Top" stands for the whole scene.
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        if (item->parent() == nullptr) return sceneView_->fitToWindow();
        sceneView_->frameShapes(viewShapesOf(item));
    });
}

void MainWindow::createCentralArea() {
    sceneView_ = new SceneView;
    emptyHint_ = new QLabel(
        QStringLiteral("<p style='font-size:large'>No file is open.</p>"
                       "<p>Open a 3DMF file with <b>File &gt; Open</b> (%1),<br>"
                       "or drop one on this window.</p>"
                       "<p>Text and binary 3DMF files are read; <b>Options &gt; Read all "
                       "objects</b><br>reads every object, not only the triangle meshes.</p>")
            .arg(QKeySequence(QKeySequence::Open).toString(QKeySequence::NativeText)));
    emptyHint_->setObjectName(QStringLiteral("emptyHint"));
    emptyHint_->setAlignment(Qt::AlignCenter);
    emptyHint_->setWordWrap(true);
    emptyHint_->setAutoFillBackground(true);
    viewArea_ = new QStackedWidget;
    viewArea_->addWidget(emptyHint_);
    viewArea_->addWidget(sceneView_);

    splitter_ = new QSplitter(Qt::Horizontal);
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->addWidget(tree_);
    splitter_->addWidget(viewArea_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    const int treeWidth = window_settings::treeWidth();
    splitter_->setSizes({treeWidth > 0 ? treeWidth : kDefaultTreeWidth, 640});
    connect(splitter_, &QSplitter::splitterMoved, this,
            [this] { window_settings::setTreeWidth(splitter_->sizes().value(0)); });
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(createSkippedBar());
    layout->addWidget(splitter_, 1);
    setCentralWidget(central);
}

QWidget *MainWindow::createSkippedBar() {
    skippedBar_ = new QFrame;
    skippedBar_->setObjectName(QStringLiteral("skippedBar"));
    // The colours of a tooltip: set apart from the window, and readable in any theme.
    skippedBar_->setBackgroundRole(QPalette::ToolTipBase);
    skippedBar_->setForegroundRole(QPalette::ToolTipText);
    skippedBar_->setAutoFillBackground(true);
    skippedBar_->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    auto *icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(20, 20));
    skippedText_ = new QLabel;
    skippedText_->setObjectName(QStringLiteral("skippedText"));
    skippedText_->setForegroundRole(QPalette::ToolTipText);
    skippedText_->setWordWrap(true);
    auto *button = new QPushButton(QStringLiteral("Read all objects"));
    button->setObjectName(QStringLiteral("skippedReadAll"));
    button->setToolTip(readAllAction_->statusTip());
    connect(button, &QPushButton::clicked, this, &MainWindow::readAllFromBar);
    auto *row = new QHBoxLayout(skippedBar_);
    row->setContentsMargins(8, 4, 8, 4);
    row->addWidget(icon);
    row->addWidget(skippedText_, 1);
    row->addWidget(button);
    skippedBar_->hide();
    return skippedBar_;
}

}  // namespace tarvex
