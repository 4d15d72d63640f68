// Pictures of the real window for a person to look at (not a test): the empty window, a file
// read, a mesh selected, the bar for objects the default mode skipped, and the Messages panel;
// then each FILE named, read in full mode, as OUTDIR/NAME-full.png. Run under a display, for
// example xvfb-run -a tarvexw_screenshots OUTDIR [FILE...]. Settings go to Qt's test location,
// never the user's.
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <iostream>

#include "desktop/command_line.h"
#include "desktop/dialogs.h"
#include "desktop/main_window.h"

namespace {

// Says what a dialog would have shown, instead of waiting for someone to answer it.
struct LoggedDialogs final : tarvex::Dialogs {
    std::optional<QString> openFileName(QWidget *, const QString &) override { return {}; }
    std::optional<QString> saveFileName(QWidget *, const QString &) override { return {}; }
    void warning(QWidget *, const QString &text) override {
        std::cerr << "warning: " << text.toStdString() << "\n";
    }
    QMessageBox::StandardButton question(QWidget *, const QString &) override {
        return QMessageBox::No;
    }
    void about(QWidget *) override {}
};

bool shoot(tarvex::MainWindow &w, const QString &path) {
    QTest::qWait(300);  // the 3D view draws in full once it has rested
    // What the display shows, as another program would capture it.
    const bool saved = w.screen()->grabWindow(w.winId()).save(path);
    std::cerr << (saved ? "wrote " : "could not write ") << path.toStdString() << "\n";
    return saved;
}

}  // namespace

int main(int argc, char *argv[]) {
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: tarvexw_screenshots OUTDIR [FILE...]\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    // The window as a first run shows it: the default mode, the tree pane's first width.
    QSettings(QStringLiteral("tarvex"), QStringLiteral("tarvexw")).clear();
    LoggedDialogs dialogs;
    bool ok = true;
    {
        tarvex::MainWindow w(dialogs, QString());
        w.resize(1000, 640);
        w.show();
        if (!QTest::qWaitForWindowExposed(&w)) return 1;
        ok &= shoot(w, out.filePath("empty.png"));
        w.openDroppedFile(QStringLiteral(TARVEX_SOURCE_DIR "/examples/scene.3dmf"));
        ok &= shoot(w, out.filePath("scene.png"));
        auto *tree = w.findChild<QTreeWidget *>(QStringLiteral("treeView"));
        tree->setCurrentItem(tree->topLevelItem(0)->child(1));
        ok &= shoot(w, out.filePath("scene-selected.png"));
        // The default mode reads the pyramid alone; the bar above the view offers the rest.
        w.openDroppedFile(QStringLiteral(TARVEX_SOURCE_DIR "/examples/shapes.3dmf"));
        ok &= shoot(w, out.filePath("skipped.png"));
    }
    tarvex::MainWindow w(
        dialogs, tarvex::parseArguments({"--full", TARVEX_SOURCE_DIR "/tests/data/messages.3dmf"}));
    w.resize(1000, 640);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) return 1;
    QTest::mouseClick(w.findChild<QToolButton *>(QStringLiteral("messagesButton")), Qt::LeftButton);
    ok &= shoot(w, out.filePath("messages.png"));
    for (int i = 2; i < argc; ++i) {
        const QString file = QString::fromLocal8Bit(argv[i]);
        tarvex::MainWindow view(dialogs, tarvex::parseArguments({"--full", file}));
        view.resize(1000, 640);
        view.show();
        if (!QTest::qWaitForWindowExposed(&view)) return 1;
        ok &= shoot(view, out.filePath(QFileInfo(file).completeBaseName() + "-full.png"));
    }
    return ok ? 0 : 1;
}
