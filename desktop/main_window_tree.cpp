// The tree of what was read: one item per triangle mesh in the default mode, the outline of the
// whole file in full mode; and the 3D view that shows the same scene.
#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTreeWidget>
#include <algorithm>

#include "desktop/main_window.h"
#include "desktop/scene_view.h"
#include "desktop/tree_icons.h"

namespace tarvex {

namespace {

// Role of a full-mode tree item's index into the outline.
constexpr int kOutlineRole = Qt::UserRole + 1;

}  // namespace

void MainWindow::resetDisplay() {
    viewArea_->setCurrentWidget(sceneView_);
    sceneView_->clearScene();
    updateViewpointActions();
    tree_->clear();
    topItem_ = nullptr;
    lastMeshItem_ = nullptr;
    addTreeItem(QStringLiteral("Top"), 1);
}

void MainWindow::showProgress(int pct, QStringView meshLine) {
    progressBar_->setValue(std::clamp(pct, 0, 100));
    if (!meshLine.isEmpty()) addTreeItem(meshLine.toString(), 2);
    // Reading and writing block the event loop; repaint now and then so that the bar is seen
    // moving and the tree growing.
    if (isVisible() && treePaintClock_.hasExpired(100)) {
        if (!meshLine.isEmpty()) tree_->viewport()->repaint();
        progressBar_->repaint();
        treePaintClock_.restart();
    }
}

QTreeWidgetItem *MainWindow::addTreeItem(const QString &text, int level) {
    QTreeWidgetItem *parent = level == 1 ? nullptr : level == 2 ? topItem_ : lastMeshItem_;
    QTreeWidgetItem *item = parent != nullptr ? new QTreeWidgetItem(parent, {text})
                                              : new QTreeWidgetItem(tree_, {text});
    item->setIcon(0, documentIcon_);
    item->setData(0, Qt::UserRole, level);
    if (level == 1) topItem_ = item;
    if (level == 2) lastMeshItem_ = item;
    if (parent != nullptr) {
        // Show the children as they arrive; the picture then says that the item has children.
        parent->setExpanded(true);
        parent->setIcon(0, closedIcon_);
    }
    return item;
}

void MainWindow::fillOutline() {
    // Under "Top": groups as folders, each object with its type, its label and its size, and a
    // picture saying what kind of object it is.
    std::vector<QTreeWidgetItem *> parents = {topItem_};
    const builder::Outline &outline = document_.outline();
    const QIcon attributesIcon = treeIcon(ObjectKind::attributes);
    const QIcon lightIcon = treeIcon(ObjectKind::light);
    const QIcon cameraIcon = treeIcon(ObjectKind::camera);
    const QIcon hintIcon = treeIcon(ObjectKind::hint);
    const QIcon otherIcon = treeIcon(ObjectKind::other);
    const auto iconOf = [&](ObjectKind kind) -> const QIcon & {
        switch (kind) {
            case ObjectKind::group:
                return closedIcon_;
            case ObjectKind::geometry:
                return documentIcon_;
            case ObjectKind::attributes:
                return attributesIcon;
            case ObjectKind::light:
                return lightIcon;
            case ObjectKind::camera:
                return cameraIcon;
            case ObjectKind::hint:
                return hintIcon;
            case ObjectKind::other:
                break;
        }
        return otherIcon;
    };
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const builder::OutlineItem &entry = outline[i];
        const std::size_t depth = std::min<std::size_t>(entry.depth, parents.size() - 1);
        QString text = QString::fromStdString(entry.label);
        if (!text.isEmpty()) text += QStringLiteral(": ");
        text += QString::fromStdString(entry.type);
        if (!entry.size.empty()) text += QStringLiteral(", ") + QString::fromStdString(entry.size);
        auto *item = new QTreeWidgetItem(parents[depth], {text});
        item->setData(0, kOutlineRole, static_cast<uint>(i));
        item->setIcon(0, iconOf(document_.kindOf(entry)));
        parents.resize(depth + 1);
        if (entry.is_group) parents.push_back(item);
    }
    // Only items with children open: an item opened shows the open-folder picture.
    topItem_->setExpanded(true);
    for (int i = 0; i < topItem_->childCount(); ++i) {
        QTreeWidgetItem *child = topItem_->child(i);
        if (child->childCount() > 0) child->setExpanded(true);
    }
}

void MainWindow::updateFolderIcon(QTreeWidgetItem *item, bool expanding) {
    item->setIcon(0, expanding ? openIcon_ : closedIcon_);
}

void MainWindow::fitTreePane() {
    const QList<int> sizes = splitter_->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    tree_->resizeColumnToContents(0);
    const int wanted = tree_->columnWidth(0) + 2 * tree_->frameWidth() +
                       tree_->verticalScrollBar()->sizeHint().width();
    const int width = std::min(wanted, total / 2);
    if (total <= 0 || width <= sizes.value(0)) return;
    splitter_->setSizes({width, total - width});
}

void MainWindow::showReadScene() {
    try {
        sceneView_->showScene(document_.drawList());
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

std::vector<int> MainWindow::viewShapesOf(QTreeWidgetItem *item) const {
    if (item == nullptr || item->parent() == nullptr) return {};
    if (document_.fullMode()) {
        // An object stands for the shapes made from it; a group for those of all it holds.
        std::vector<int> found;
        const builder::Outline &outline = document_.outline();
        std::vector<QTreeWidgetItem *> pending = {item};
        while (!pending.empty()) {
            QTreeWidgetItem *next = pending.back();
            pending.pop_back();
            const QVariant index = next->data(0, kOutlineRole);
            if (index.isValid() && index.toUInt() < outline.size()) {
                for (const std::uint32_t shape :
                     document_.shapesMadeFrom(outline[index.toUInt()].source)) {
                    const std::vector<int> drawn = sceneView_->shapesOfSource(shape);
                    found.insert(found.end(), drawn.begin(), drawn.end());
                }
            }
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

}  // namespace tarvex
