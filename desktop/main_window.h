// The main window of tarvexw: menu, toolbar, tree of the meshes read, status bar with a progress
// bar, and the commands that drive the converter core.
#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <QStringView>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/progress.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarvex {

namespace conversion {
class Conversion;
}

class Dialogs;
class SceneView;

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    // `commandLineFile` is the input file named on the command line (empty: none), or nullopt
    // when the command line could not be understood. A named file is read before this returns.
    // `dialogs` must outlive the window.
    MainWindow(Dialogs &dialogs, const std::optional<QString> &commandLineFile,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // The core's progress: moves the progress bar and, for a non-empty line, adds it to the tree.
    void update_display(int pct, QStringView outputLine);
    // update_display as the callback a conversion reports through.
    Progress progress();

    // Asks about unsaved work, then reads `path` as if it had been chosen with Open.
    void openDroppedFile(const QString &path);

    const QString &inputFileName() const { return sz3dmfFileName; }
    const QString &outputFileName() const { return szWrlFileName; }
    bool needsSave() const { return bNeedSave; }
    SceneView *sceneView() const { return sceneView_; }
    // Whether Options > Read all objects is on (full mode).
    bool readsAllObjects() const;

  protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

  private:
    void createActions();
    void createViewActions();
    void createMenus();
    QMenu *createOptionsMenu();
    QMenu *createViewMenu();
    void CreateAToolBar();
    void createStatusBar();
    void createTreeView();
    // The tree and the 3D view side by side.
    void createCentralSplitter();

    void open();
    // The steps Open and a drop share once the input file is chosen.
    void readChosenFile();
    void saveAs();
    void about();
    void readFile();
    // Full mode: every object of the file (binary files always come this way). The tree then
    // shows the outline of what was read.
    void readAllObjects(const std::string &fileName);
    void fillOutline();
    void handle_result(int result);
    void DoCaption(const QString &szTitleName);
    void OkMessage(QStringView szMessage, const QString &szTitleName);
    QMessageBox::StandardButton AskAboutSave(const QString &szTitleName);
    bool FileOpenDlg();
    bool FileSaveDlg();
    // Menu help: the help text of `item`, or nothing when no item is selected.
    void MsgMenuSelect(const QAction *item);
    void handle_node_msgs(QTreeWidgetItem *item, bool expanding);
    void updateStatusBar(const QString &text);
    void init_display();
    QTreeWidgetItem *AddItemToTree(const QString &lpszItem, int nLevel);
    // Paints the window now: reading and writing keep the event loop from running.
    void paintNow();
    // Hands what was read to the 3D view and lists its viewpoints in the View menu.
    void showReadScene();
    void updateViewpointActions();
    // The shapes of the 3D view that the tree item stands for; none for "Top".
    std::vector<int> viewShapesOf(QTreeWidgetItem *item) const;

    Dialogs &dialogs_;

    QString sz3dmfFileName;
    QString sz3dmfTitleName;
    QString szWrlFileName;
    QString szWrlTitleName;
    bool bNeedSave = false;

    QAction *openAction_ = nullptr;
    QAction *saveAsAction_ = nullptr;
    QAction *exitAction_ = nullptr;
    QAction *aboutAction_ = nullptr;
    // The toolbar's Save button has its own action: it starts disabled, the menu item never is.
    QAction *toolBarSaveAction_ = nullptr;
    QToolBar *hwndToolBar = nullptr;
    QProgressBar *hwndProgress = nullptr;
    QLabel *statusText_ = nullptr;
    QTreeWidget *hwndTV = nullptr;
    QSplitter *splitter_ = nullptr;
    SceneView *sceneView_ = nullptr;
    QAction *fitAction_ = nullptr;
    QAction *resetViewAction_ = nullptr;
    QMenu *viewMenu_ = nullptr;
    QList<QAction *> viewpointActions_;
    QAction *readAllAction_ = nullptr;
    QMenu *optionsMenu_ = nullptr;

    // The last read in full mode; null when the default reader read the file.
    std::unique_ptr<conversion::Conversion> conversion_;
    // Full mode: the scene's shapes by the object they were made from.
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> shapesByObject_;

    QIcon openIcon_;
    QIcon closedIcon_;
    QIcon documentIcon_;
    QTreeWidgetItem *hPrevRootItem = nullptr;
    QTreeWidgetItem *hPrevLev2Item = nullptr;
    // Throttles the tree's repaints while the reader adds one item per mesh.
    QElapsedTimer treePaintClock_;
};

}  // namespace tarvex
