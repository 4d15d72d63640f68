// The real main window, driven headlessly; its modal dialogs are answered by a script.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QWindow>
#include <deque>
#include <functional>
#include <memory>

#include "core/progress.h"
#include "core/result_codes.h"
#include "core/vrml.h"
#include "windows/dialogs.h"
#include "windows/main_window.h"
#include "windows/winfuncs.h"

using tarvex::MainWindow;
using Button = QMessageBox::StandardButton;
using OptName = std::optional<QString>;

namespace {

const QByteArray mesh = "TriMesh ( 1 0 0 0 3 0 0 1 2 0 0 0 1 0 0 0 1 0 0 0 0 1 1 0 False )\n";
const QByteArray twoMeshes =
    "cube:\n" + mesh + "DiffuseColor ( 1 0 0 )\npyramid:\n" + mesh + "DiffuseColor ( 0 0 1 )\n";

// Answers the window's dialogs from queues; a dialog nobody queued an answer for is a failure.
struct FakeDialogs final : tarvex::Dialogs {
    std::deque<OptName> opens, saves;
    std::deque<Button> answers;
    QStringList openProposals, saveProposals, warnings, questions;
    int abouts = 0;
    bool unexpected = false;

    // Swapping rather than copying the front keeps GCC 12 from a false uninitialised warning.
    template <class T>
    T take(std::deque<T> &queue, T fallback) {
        if (queue.empty()) {
            unexpected = true;
        } else {
            std::swap(fallback, queue.front());
            queue.pop_front();
        }
        return fallback;
    }
    OptName openFileName(QWidget *, const QString &name) override {
        return openProposals << name, take(opens, OptName());
    }
    OptName saveFileName(QWidget *, const QString &name) override {
        return saveProposals << name, take(saves, OptName());
    }
    void warning(QWidget *, const QString &text) override { warnings << text; }
    Button question(QWidget *, const QString &text) override {
        return questions << text, take(answers, QMessageBox::Cancel);
    }
    void about(QWidget *) override { ++abouts; }
};

// Calls `answer` with the next modal widget to appear; `answer` must close it.
void whenModal(std::function<void(QWidget *)> answer) {
    QTimer::singleShot(0, qApp, [answer] { answer(QApplication::activeModalWidget()); });
}

QImage picture(const QIcon &icon) {
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

QStringList childTexts(const QTreeWidgetItem *item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i) texts << item->child(i)->text(0);
    return texts;
}

}  // namespace

class TarvexwTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeDialogs> dialogs;

    QString write(const QString &name, const QByteArray &content) {
        QFile file(dir->filePath(name));
        if (file.open(QIODevice::WriteOnly)) file.write(content);
        return file.fileName();
    }
    static QByteArray readAll(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // What the console program writes for `input`, and the progress lines it prints.
    std::pair<QByteArray, QStringList> console(const QString &input) {
        const QString out = dir->filePath(QStringLiteral("console.wrl"));
        QProcess tarvex;
        tarvex.start(QStringLiteral(TARVEX_EXE), {input, out});
        tarvex.waitForFinished();
        const QString err = QString::fromUtf8(tarvex.readAllStandardError());
        return {readAll(out), err.split(u'\n', Qt::SkipEmptyParts)};
    }
    static QTreeWidget *tree(MainWindow &w) { return w.findChild<QTreeWidget *>("treeView"); }
    static QString status(MainWindow &w) { return w.findChild<QLabel *>("statusText")->text(); }
    static QAction *action(MainWindow &w, const char *name) { return w.findChild<QAction *>(name); }
    static int progress(MainWindow &w) {
        return w.findChild<QProgressBar *>("progressBar")->value();
    }

  private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        dialogs = std::make_unique<FakeDialogs>();
    }
    void cleanup() {
        QVERIFY2(!dialogs->unexpected, "a dialog appeared that the test did not expect");
        QVERIFY(dialogs->opens.empty() && dialogs->saves.empty() && dialogs->answers.empty());
    }

    void startsWithoutFile() {
        MainWindow w(*dialogs, QString());
        QCOMPARE(w.windowTitle(), QStringLiteral("tarvex - (no file)"));
        QCOMPARE(tree(w)->topLevelItemCount(), 0);
        QCOMPARE(status(w), QStringLiteral("Ready"));
        auto *bar = w.findChild<QProgressBar *>("progressBar");
        QCOMPARE(QList<int>({bar->minimum(), bar->maximum(), bar->width()}),
                 QList<int>({0, 100, 98}));
        QVERIFY(!action(w, "actionToolBarSave")->isEnabled());
        QVERIFY(action(w, "actionSaveAs")->isEnabled());

        QStringList menus;
        for (QMenu *menu : {w.findChild<QMenu *>("menuFile"), w.findChild<QMenu *>("menuHelp")}) {
            menus << menu->title();
            for (QAction *item : menu->actions()) menus << item->text();
        }
        QCOMPARE(menus, QStringList({"&File", "&Open", "Save &As", "&E&xit", "&Help", "&About"}));
        auto *toolBar = w.findChild<QToolBar *>("toolBar");
        QCOMPARE(toolBar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QStringList buttons;
        for (QAction *item : toolBar->actions()) buttons << item->iconText();
        QCOMPARE(buttons, QStringList({"Open .3dmf", "Save .wrl"}));
        action(w, "actionAbout")->trigger();
        QCOMPARE(dialogs->abouts, 1);

        MainWindow bad(*dialogs, std::nullopt);
        QCOMPARE(dialogs->warnings, QStringList("Bad command line!"));
        QCOMPARE(bad.windowTitle(), QStringLiteral("tarvex"));
    }

    void startsWithFile_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "two.3dmf";
        QTest::newRow("blanks, dotted directory") << "my.dir/my scene.3dmf";
        QTest::newRow("Qt's title marker") << "a[*]b.3dmf";
        QTest::newRow("named like standard input") << "stdin";
    }
    void startsWithFile() {
        QFETCH(QString, name);
        QDir(dir->path()).mkpath(QStringLiteral("my.dir"));
        const QString input = write(name, twoMeshes);
        const QString title = QFileInfo(input).fileName();
        // A bare "stdin" names a file in the working directory, never the standard input.
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir->path());
        MainWindow w(*dialogs, name == u"stdin" ? name : input);
        QDir::setCurrent(previous);
        w.show();

        QCOMPARE(dialogs->warnings, QStringList());
        QCOMPARE(w.windowHandle()->title(), "tarvex - " + title);
        QCOMPARE(status(w), title + " read OK");
        QVERIFY(action(w, "actionToolBarSave")->isEnabled());
        QVERIFY(w.needsSave());
        QCOMPARE(progress(w), 0);
        QCOMPARE(tree(w)->topLevelItemCount(), 1);
        QCOMPARE(tree(w)->topLevelItem(0)->text(0), QStringLiteral("Top"));
        QCOMPARE(childTexts(tree(w)->topLevelItem(0)), console(input).second);
        QCOMPARE(tree(w)->topLevelItem(0)->childCount(), 2);
        QCOMPARE(w.outputFileName(), name == u"stdin" ? "stdin.wrl" : input.chopped(5) + ".wrl");
    }

    void treeAndProgress() {
        MainWindow w(*dialogs, write("two.3dmf", twoMeshes));
        QTreeWidgetItem *top = tree(w)->topLevelItem(0);
        const QImage open = picture(QIcon(":/tarvexw/open.xpm")),
                     closed = picture(QIcon(":/tarvexw/closed.xpm")),
                     globe = picture(QIcon(":/tarvexw/document.xpm"));
        QVERIFY(open != closed && closed != globe && open != globe);
        QCOMPARE(picture(top->icon(0)), closed);
        QCOMPARE(picture(top->child(1)->icon(0)), globe);
        top->setExpanded(false);
        QCOMPARE(picture(top->icon(0)), closed);
        top->setExpanded(true);
        QCOMPARE(picture(top->icon(0)), open);

        // The hook as the core calls it: the bar follows, only non-empty lines become children.
        tarvex::update_display(150, "extra");
        QCOMPARE(progress(w), 100);
        QCOMPARE(childTexts(top).last(), QStringLiteral("extra"));
        tarvex::update_display(40, "");
        QCOMPARE(progress(w), 40);
        QCOMPARE(top->childCount(), 3);
    }

    void readFailures_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("meshes");
        const auto row = [](const char *tag, int code, const QByteArray &content, int meshes) {
            QTest::newRow(tag) << code << content << meshes;
        };
        row("can't open", tarvex::CNV_CANT_OPEN, {}, 0);
        row("mesh spec", tarvex::CNV_BAD_TRI_MESH_SPEC, "TriMesh ( x 0 0 0 3 0 )\n", 0);
        row("allocation", tarvex::CNV_CANT_ALLOC_NODE, "TriMesh ( -1 0 0 0 3 0 )\n", 0);
        row("triangle", tarvex::CNV_BAD_TRIANGLE, "TriMesh ( 1 0 0 0 3 0 x )\n", 1);
        row("points", tarvex::CNV_BAD_POINTS, "TriMesh ( 1 0 0 0 3 0 0 1 2 x )\n", 1);
        row("empty", tarvex::CNV_EMPTY_FILE, {}, 0);
        row("color", tarvex::CNV_BAD_COLOR, mesh + "DiffuseColor ( x 0 0 )\n", 1);
        row("direction", tarvex::CNV_BAD_DIRECTION, "ForwardDirection ( x )\n", 0);
        row("viewpoint", tarvex::CNV_BAD_VIEWPOINT, "CameraPlacement ( x )\n", 0);
        row("light", tarvex::CNV_BAD_LIGHT, "DirectionalLight ( x )\n", 0);
    }
    void readFailures() {
        QFETCH(int, code);
        QFETCH(QByteArray, content);
        QFETCH(int, meshes);
        const bool missing = code == tarvex::CNV_CANT_OPEN;
        const QString input = missing ? dir->filePath("gone.3dmf") : write("bad.3dmf", content);
        const QString title = QFileInfo(input).fileName();
        MainWindow w(*dialogs, QString());
        dialogs->opens = {input};
        action(w, "actionOpen")->trigger();

        const std::string text = tarvex::read_result_message(code, title.toStdString());
        QCOMPARE(dialogs->warnings, QStringList(QString::fromStdString(text)));
        if (missing) QCOMPARE(dialogs->warnings.first(), "Can't open " + title + "!");
        QCOMPARE(w.windowTitle(), QStringLiteral("tarvex - (no file)"));
        QCOMPARE(status(w), "Reading " + title);
        QVERIFY(!w.needsSave());
        QVERIFY(!action(w, "actionToolBarSave")->isEnabled());
        QCOMPARE(tree(w)->topLevelItem(0)->text(0), QStringLiteral("Top"));
        QCOMPARE(tree(w)->topLevelItem(0)->childCount(), meshes);
        QCOMPARE(w.inputFileName(), missing ? QString() : input);
    }

    void openAndSave() {
        const QString input = QStringLiteral(TARVEX_SOURCE_DIR "/examples/scene.3dmf");
        const QString output = dir->filePath("chosen.wrl");
        MainWindow w(*dialogs, QString());
        w.show();
        // Before any read, Save As writes the empty scene.
        dialogs->saves = {dir->filePath("empty.wrl")};
        action(w, "actionSaveAs")->trigger();
        QCOMPARE(readAll(dir->filePath("empty.wrl")),
                 console(write("none.3dmf", "# none\n")).first);
        QCOMPARE(dialogs->saveProposals, QStringList(QString()));

        dialogs->opens = {input};
        action(w, "actionOpen")->trigger();
        QCOMPARE(dialogs->openProposals, QStringList(QString()));
        QCOMPARE(w.windowTitle(), QStringLiteral("tarvex - scene.3dmf"));

        // The toolbar's button, clicked: the dialog proposes the derived name.
        dialogs->saves = {output};
        auto *toolBar = w.findChild<QToolBar *>("toolBar");
        QTest::mouseClick(toolBar->widgetForAction(action(w, "actionToolBarSave")), Qt::LeftButton);
        QCOMPARE(dialogs->saveProposals.last(), input.chopped(5) + ".wrl");
        QCOMPARE(readAll(output), console(input).first);
        QCOMPARE(status(w), QStringLiteral("VRML world saved in chosen.wrl"));
        QVERIFY(!w.needsSave());
        QVERIFY(action(w, "actionToolBarSave")->isEnabled());

        // A write that fails is reported and leaves the work unsaved.
        dialogs->opens = {input};
        action(w, "actionOpen")->trigger();
        dialogs->saves = {dir->filePath("no/such/dir/x.wrl")};
        action(w, "actionSaveAs")->trigger();
        QCOMPARE(dialogs->warnings, QStringList("Could not write file x.wrl"));
        QCOMPARE(status(w), QStringLiteral("Saving to x.wrl"));
        QVERIFY(w.needsSave());
    }

    void unsavedWork_data() {
        QTest::addColumn<bool>("onClose");
        QTest::addColumn<int>("answer");
        for (bool onClose : {false, true}) {
            const char *what = onClose ? "close" : "open";
            QTest::addRow("%s yes", what) << onClose << int(QMessageBox::Yes);
            QTest::addRow("%s no", what) << onClose << int(QMessageBox::No);
            QTest::addRow("%s cancel", what) << onClose << int(QMessageBox::Cancel);
        }
    }
    void unsavedWork() {
        QFETCH(bool, onClose);
        QFETCH(int, answer);
        const QString other = write("other.3dmf", "lone:\n" + mesh);
        MainWindow w(*dialogs, write("two.3dmf", twoMeshes));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        dialogs->answers = {Button(answer)};
        if (answer == QMessageBox::Yes) dialogs->saves = {w.outputFileName()};
        if (answer == QMessageBox::No && !onClose) dialogs->opens = {other};
        if (onClose) {
            QApplication::setActiveWindow(&w);
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
        } else {
            action(w, "actionOpen")->trigger();
        }

        QCOMPARE(dialogs->questions, QStringList("Save file in two.wrl?"));
        // Yes saves and abandons what asked; No goes on; Cancel changes nothing.
        const bool yes = answer == QMessageBox::Yes, no = answer == QMessageBox::No;
        QCOMPARE(QFile::exists(dir->filePath("two.wrl")), yes);
        QCOMPARE(w.needsSave(), !yes);
        QCOMPARE(w.isVisible(), !(onClose && no));
        QCOMPARE(tarvex::numberOfShapes(), no ? (onClose ? 0 : 1) : 2);
        QCOMPARE(w.windowTitle(), no && !onClose ? "tarvex - other.3dmf" : "tarvex - two.3dmf");
        if (yes) {
            w.close();  // the repeat goes through without a question
            QVERIFY(!w.isVisible());
        }
    }

    void menuHelp() {
        MainWindow w(*dialogs, QString());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const std::pair<const char *, const char *> items[] = {
            {"actionOpen", "Open .3dmf"},
            {"actionSaveAs", "Save .wrl"},
            {"actionExit", "Quits this application"},
            {"actionAbout", "Displays information about this application"}};
        for (const auto &[name, help] : items) {
            QAction *item = action(w, name);
            QMenu *menu = nullptr;
            for (QObject *owner : item->associatedObjects()) {
                if (auto *m = qobject_cast<QMenu *>(owner)) menu = m;
            }
            menu->popup(w.geometry().center());
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            QCOMPARE(status(w), QString());
            menu->setActiveAction(item);
            QCOMPARE(status(w), QString::fromLatin1(help));
            menu->hide();
            QCOMPARE(status(w), QString());
        }
        // The toolbar shows no help: it would wipe out the result of the last command.
        QTest::mouseMove(
            w.findChild<QToolBar *>("toolBar")->widgetForAction(action(w, "actionOpen")));
        QCOMPARE(status(w), QString());
        QCOMPARE(w.statusBar()->currentMessage(), QString());
    }

    void dropToOpen() {
        const QString other = write("other.3dmf", "lone:\n" + mesh);
        MainWindow w(*dialogs, write("two.3dmf", twoMeshes));
        QMimeData web, file;
        web.setUrls({QUrl(QStringLiteral("https://example.org/x.3dmf"))});
        file.setUrls({QUrl::fromLocalFile(other)});
        QDragEnterEvent refused({5, 5}, Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &refused);
        QVERIFY(!refused.isAccepted());
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, &file, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &enter);
        QVERIFY(enter.isAccepted());

        dialogs->answers = {QMessageBox::No};
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &file, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &drop);
        QTRY_COMPARE(w.windowTitle(), QStringLiteral("tarvex - other.3dmf"));
        QCOMPARE(dialogs->questions, QStringList("Save file in two.wrl?"));
        QCOMPARE(childTexts(tree(w)->topLevelItem(0)), console(other).second);
    }

    void namesAndCommandLine() {
        const std::pair<QString, QString> outputs[] = {
            {"/a/b/cube.3dmf", "/a/b/cube.wrl"},
            {"/a/cube.x.3dmf", "/a/cube.x.wrl"},
            {"/a/b.c/cube", "/a/b.c/cube.wrl"},
            {"cube", "cube.wrl"},
            {"../cube.", "../cube.wrl"},
            {QString(600, u'd') + "/c.3dmf", QString(600, u'd') + "/c.wrl"}};
        for (const auto &[input, output] : outputs)
            QCOMPARE(tarvex::deriveOutputName(input), output);

        const std::pair<QString, OptName> lines[] = {
            {"tarvexw", QString()},
            {"tarvexw \t ", QString()},
            {"\"C:\\my dir\\tarvexw.exe\"  a.3dmf", "a.3dmf"},
            {"\"C:\\tarvexw.exe a.3dmf", std::nullopt},
            {"tarvexw my scene.3dmf  ", "my scene.3dmf  "},
            {"tarvexw \"my scene.3dmf\" x", "my scene.3dmf"},
            {"tarvexw \"my scene", "my scene"}};
        for (const auto &[line, file] : lines)
            QCOMPARE(tarvex::fileNameFromCommandLine(line), file);
    }

    // The dialogs a user sees carry the program's titles, texts, filters and buttons.
    void realDialogs() {
        tarvex::QtDialogs real;
        QStringList seen;
        const auto click = [&seen](Button button) {
            whenModal([&seen, button](QWidget *modal) {
                auto *box = qobject_cast<QMessageBox *>(modal);
                seen << box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon());
                box->button(button)->click();
            });
        };
        click(QMessageBox::Ok);
        real.warning(nullptr, QStringLiteral("Can't open x!"));
        for (Button answer : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
            click(answer);
            QCOMPARE(real.question(nullptr, QStringLiteral("Save file in x.wrl?")), answer);
        }
        const QString asked =
            "tarvex|Save file in x.wrl?|" + QString::number(QMessageBox::Question);
        QCOMPARE(seen, QStringList({"tarvex|Can't open x!|" + QString::number(QMessageBox::Warning),
                                    asked, asked, asked}));

        const auto fileDialog = [&seen](bool accept) {
            seen.clear();
            whenModal([&seen, accept](QWidget *modal) {
                auto *dialog = qobject_cast<QFileDialog *>(modal);
                seen << dialog->nameFilters().first() << dialog->defaultSuffix();
                if (!dialog->testOption(QFileDialog::DontConfirmOverwrite)) seen << "confirms";
                QMetaObject::invokeMethod(dialog, accept ? "accept" : "reject");
            });
        };
        const QString input = write("in.3dmf", twoMeshes);
        fileDialog(true);
        QCOMPARE(real.openFileName(nullptr, input), OptName(input));
        QCOMPARE(seen.mid(0, 2), QStringList({"QuickDraw Files (*.3dmf)", "3dmf"}));
        fileDialog(false);
        QCOMPARE(real.saveFileName(nullptr, dir->filePath("out.wrl")), std::nullopt);
        QCOMPARE(seen, QStringList({"VRML Files (*.wrl)", "wrl", "confirms"}));

        seen.clear();
        whenModal([&](QWidget *modal) {
            for (QLabel *label : modal->findChildren<QLabel *>()) {
                seen << (label->pixmap().isNull() ? label->text() : QStringLiteral("icon"));
            }
            seen << modal->findChild<QPushButton *>()->text();
            modal->findChild<QPushButton *>()->click();
        });
        real.about(nullptr);
        QCOMPARE(seen.size(), 6);
        QCOMPARE(seen.mid(0, 4), QStringList({"icon", "tarvex", "Version 1.0.3 - 22 May 2001",
                                              "converts 3D Metafile ASCII to VRML 97"}));
        QCOMPARE(seen.last(), QStringLiteral("OK"));
    }
};

QTEST_MAIN(TarvexwTest)
#include "tarvexw_test.moc"
