// The main window of tarvexw: menu, toolbar, the tree of what was read beside the 3D view, a
// status bar with the progress of a read or a write, and the commands that drive a Document.
//
// Its code is split by job: main_window.cpp (start-up, window events, the commands' shared
// steps), main_window_ui.cpp (building the widgets), main_window_reading.cpp (choosing and
// reading a file), main_window_tree.cpp (filling the tree for each mode), main_window_saving.cpp.
#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

#include "desktop/command_line.h"
#include "desktop/document.h"

class QAction;
class QDockWidget;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QStackedWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarvex {

class Dialogs;
class SceneView;

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    // `options` come from the command line; a file it names is read before this returns, in
    // full mode with --full. `dialogs` must outlive the window.
    MainWindow(Dialogs &dialogs, const StartOptions &options, QWidget *parent = nullptr);
    // The input file named on the command line (empty: none), or nullopt when the command line
    // could not be understood.
    MainWindow(Dialogs &dialogs, const std::optional<QString> &commandLineFile,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // Asks about unsaved work, then reads `path` as if it had been chosen with Open.
    void openDroppedFile(const QString &path);

    const QString &inputFileName() const { return inputPath_; }
    const QString &outputFileName() const { return outputPath_; }
    bool needsSave() const { return unsaved_; }
    SceneView *sceneView() const { return sceneView_; }
    // Whether Options > Read all objects is on (full mode).
    bool readsAllObjects() const;
    // The files opened last, the newest first, as File > Recent Files lists them.
    QStringList recentFiles() const;

  protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

  private:
    // Building the window (main_window_ui.cpp).
    void createActions();
    void createViewActions();
    void createMenus();
    QMenu *createOptionsMenu();
    QMenu *createViewMenu();
    void createToolBar();
    void createStatusBar();
    void createTreeView();
    void createMessagesPanel();
    // The tree beside the 3D view, or what to do while no file is open.
    void createCentralArea();
    // The bar above them that says what the default mode skipped and offers to read it all.
    QWidget *createSkippedBar();
    void updateRecentFilesMenu();
    void rememberRecentFile(const QString &path);

    // Choosing and reading (main_window_reading.cpp).
    void open();
    void openRecentFile(const QString &path);
    // The steps Open, Recent Files and a drop share once the input file is chosen.
    void readChosenFile();
    void readFile();
    // Options > Read all objects was ticked or unticked by the user.
    void readAllObjectsToggled(bool on);
    // The skipped-objects bar's button: the option on, and the file read again at once.
    void readAllFromBar();
    // Shows the bar for what the default mode skipped ("" hides it).
    void showSkipped(const QString &skipped);
    void reportReadFailure(const ReadReport &report);
    void showMessages(const QList<Message> &messages);
    bool chooseInputFile();

    // The tree (main_window_tree.cpp).
    void resetDisplay();
    void showProgress(int pct, QStringView meshLine);
    QTreeWidgetItem *addTreeItem(const QString &text, int level);
    // Full mode: under "Top", the outline of what was read.
    void fillOutline();
    void updateFolderIcon(QTreeWidgetItem *item, bool expanding);
    // Widens the tree pane to its labels, up to half the window.
    void fitTreePane();
    // Hands what was read to the 3D view and lists its viewpoints in the View menu.
    void showReadScene();
    void updateViewpointActions();
    // The shapes of the 3D view that the tree item stands for; none for "Top".
    std::vector<int> viewShapesOf(QTreeWidgetItem *item) const;

    // Saving (main_window_saving.cpp).
    void saveAs();
    bool chooseOutputFile();
    QMessageBox::StandardButton askAboutUnsavedWork(const QString &outputTitle);

    void about();
    void updateCaption(const QString &inputTitle);
    void warn(QStringView format, const QString &title);
    // Menu help: the help text of `item`, or nothing when no item is selected.
    void showMenuHelp(const QAction *item);
    void updateStatusBar(const QString &text);
    // Paints the window now: reading and writing keep the event loop from running.
    void paintNow();
    // The progress bar is seen only while a file is read or written.
    void beginWork();
    void endWork();

    Dialogs &dialogs_;
    Document document_;

    QString inputPath_;
    QString inputTitle_;
    QString outputPath_;
    QString outputTitle_;
    bool unsaved_ = false;

    QAction *openAction_ = nullptr;
    QAction *saveAsAction_ = nullptr;
    QAction *exitAction_ = nullptr;
    QAction *aboutAction_ = nullptr;
    QAction *helpAction_ = nullptr;
    // The toolbar's Save button has its own action: it starts disabled, the menu item never is.
    QAction *toolBarSaveAction_ = nullptr;
    QMenu *recentFilesMenu_ = nullptr;
    QToolBar *toolBar_ = nullptr;
    QProgressBar *progressBar_ = nullptr;
    QLabel *statusText_ = nullptr;
    QToolButton *messagesButton_ = nullptr;
    QDockWidget *messagesPanel_ = nullptr;
    QTreeWidget *messageList_ = nullptr;
    QTreeWidget *tree_ = nullptr;
    QSplitter *splitter_ = nullptr;
    QStackedWidget *viewArea_ = nullptr;
    QLabel *emptyHint_ = nullptr;
    QFrame *skippedBar_ = nullptr;
    QLabel *skippedText_ = nullptr;
    SceneView *sceneView_ = nullptr;
    QAction *fitAction_ = nullptr;
    QAction *resetViewAction_ = nullptr;
    QMenu *viewMenu_ = nullptr;
    QList<QAction *> viewpointActions_;
    QAction *readAllAction_ = nullptr;
    QMenu *optionsMenu_ = nullptr;

    QIcon openIcon_;
    QIcon closedIcon_;
    QIcon documentIcon_;
    QTreeWidgetItem *topItem_ = nullptr;
    QTreeWidgetItem *lastMeshItem_ = nullptr;
    // Throttles the tree's repaints while the reader adds one item per mesh.
    QElapsedTimer treePaintClock_;
};

}  // namespace tarvex
