// The real main window, driven headlessly; its modal dialogs are answered from queues.
#include <QtTest>
#include <QtWidgets>

#include "core/result_codes.h"
#include "desktop/command_line.h"
#include "desktop/main_window.h"
#include "desktop/scene_view.h"
#include "desktop/tree_icons.h"
#include "fake_dialogs.h"
#include "tarvex/version.h"

using tarvex::MainWindow;
using Button = QMessageBox::StandardButton;

const QByteArray mesh = "TriMesh ( 1 0 0 0 3 0 0 1 2 0 0 0 1 0 0 0 1 0 0 0 0 1 1 0 False )\n";
const QByteArray twoMeshes = "cube:\n" + mesh + "pyramid:\n" + mesh;

class TarvexwTest : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir;         // this run's own remembered options
    std::optional<QTemporaryDir> dir;  // also the working directory of each test
    FakeDialogs dialogs;

    static QByteArray readAll(const QString &name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // What the console program given `arguments` writes into `output` (whose extension names
    // the format), and the lines it prints.
    static std::pair<QByteArray, QStringList> console(QStringList arguments,
                                                      const QString &output = "console.wrl") {
        QProcess tarvex;
        tarvex.start(QStringLiteral(TARVEX_EXE), arguments << output);
        tarvex.waitForFinished();
        const QString err = QString::fromUtf8(tarvex.readAllStandardError());
        return {readAll(output), err.split(u'\n', Qt::SkipEmptyParts)};
    }
    static QImage picture(const QIcon &icon) { return icon.pixmap(16).toImage(); }
    static QString status(MainWindow &w) { return w.findChild<QLabel *>("statusText")->text(); }
    static QAction *action(MainWindow &w, const QString &n) { return w.findChild<QAction *>(n); }
    static void click(MainWindow &w, const char *n) {
        QTest::mouseClick(w.findChild<QToolBar *>()->widgetForAction(action(w, n)), Qt::LeftButton);
    }
    static auto *top(MainWindow &w) { return w.findChild<QTreeWidget *>()->topLevelItem(0); }
    // The tree's items in order, indented by their depth under "Top", each cut before its size.
    static QStringList tree(MainWindow &w) {
        QStringList items;
        for (QTreeWidgetItemIterator it(w.findChild<QTreeWidget *>()); *it; ++it) {
            QString indent;
            for (auto *parent = (*it)->parent(); parent; parent = parent->parent()) indent += "  ";
            items << indent + (*it)->text(0).section(u',', 0, 0);
        }
        return items;
    }
    // A shown window's caption, status text and Save button, and whether its work is unsaved.
    static QString state(MainWindow &w) {
        const bool save = action(w, "actionToolBarSave")->isEnabled();
        return w.windowHandle()->title() + " | " + status(w) +
               (save ? " | Save on" : " | Save off") + (w.needsSave() ? " | unsaved" : " | saved");
    }

  private slots:
    void initTestCase() {
        // The remembered options go to a scratch place, never to the user's settings, nor to
        // those of another run of this test (whose full mode would be read here).
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    }
    void init() {
        QSettings(QStringLiteral("tarvex"), QStringLiteral("tarvexw")).clear();
        dialogs = {};
        QDir::setCurrent(dir.emplace().path());
    }
    void cleanup() {
        QDir::setCurrent(QDir::tempPath());
        QVERIFY2(!dialogs.unexpected && dialogs.abouts == 0,
                 "a dialog appeared that the test did not expect");
        QVERIFY(dialogs.opens.isEmpty() && dialogs.saves.isEmpty() && dialogs.answers.isEmpty());
    }

    // The row's name is the file named on the command line; the column, the proposed output.
    void startsWithFile_data() {
        QTest::addColumn<QString>("output");
        QTest::newRow("two.3dmf") << "two.wrl";
        QTest::newRow("my.dir/my scene.3dmf") << "my.dir/my scene.wrl";
        QTest::newRow("my.dir/a[*]b") << "my.dir/a[*]b.wrl";
        QTest::newRow("stdin") << "stdin.wrl";  // a file, never the standard input
    }
    void startsWithFile() {
        QFETCH(QString, output);
        QDir().mkpath(QStringLiteral("my.dir"));
        const QString input = write(QTest::currentDataTag(), twoMeshes);
        MainWindow w(dialogs, input);
        w.show();
        const QString title = QFileInfo(input).fileName();
        QCOMPARE(state(w), "tarvex - " + title + " | " + title + " read OK | Save on | unsaved");
        QCOMPARE(w.outputFileName(), output);
        const QStringList printed = console({QFileInfo(input).absoluteFilePath()}).second;
        QCOMPARE(tree(w), QStringList({"Top", "  " + printed.value(0), "  " + printed.value(1)}));
        QVERIFY(dialogs.warnings.isEmpty() && printed.size() == 2);
        // The parent: a folder with a globe, an open folder when expanded; the meshes: a globe.
        QCOMPARE(picture(top(w)->icon(0)), picture(QIcon(":/tarvexw/closed.xpm")));
        QCOMPARE(picture(top(w)->child(1)->icon(0)), picture(QIcon(":/tarvexw/document.xpm")));
        top(w)->setExpanded(false);
        QCOMPARE(picture(top(w)->icon(0)), picture(QIcon(":/tarvexw/closed.xpm")));
        top(w)->setExpanded(true);
        QCOMPARE(picture(top(w)->icon(0)), picture(QIcon(":/tarvexw/open.xpm")));
    }

    // A read failure is reported with the core's text; the window stays without a file. Which
    // code each kind of bad data gives is left to the console tests, which read the same way.
    void readFailures() {
        for (int code : {1, 6}) {  // missing, then empty
            if (code != 1) write("bad.3dmf", {});
            MainWindow w(dialogs, QString());
            w.show();
            dialogs.opens = {"bad.3dmf"};
            click(w, "actionOpen");
            QCOMPARE(dialogs.warnings.join(u'\n'),
                     tarvex::read_result_message(code, "bad.3dmf").c_str());
            QCOMPARE(state(w), "tarvex - (no file) | Reading bad.3dmf | Save off | saved");
            dialogs.warnings.clear();
        }
    }

    // The file written is the console program's; once a file was read, Save stays enabled.
    // Save As offers every format; one the default mode cannot hold is written from the whole
    // scene, as tarvex --full writes it, while the window keeps showing what it read.
    void openAndSave() {
        const QString input = QStringLiteral(TARVEX_SOURCE_DIR "/examples/scene.3dmf");
        MainWindow w(dialogs, QString());
        w.show();
        QCOMPARE(state(w), "tarvex - (no file) | Ready | Save off | saved");
        dialogs.opens = {input};
        action(w, "actionOpen")->trigger();
        dialogs.saves = {"no/such/dir/x.wrl"};
        action(w, "actionSaveAs")->trigger();
        QCOMPARE(dialogs.warnings, QStringList("Could not write file x.wrl"));
        QCOMPARE(state(w), "tarvex - scene.3dmf | Saving to x.wrl | Save on | unsaved");
        dialogs.saves = {"c.wrl"};
        click(w, "actionToolBarSave");
        QCOMPARE(readAll("c.wrl"), console({input}).first);
        QCOMPARE(state(w), "tarvex - scene.3dmf | VRML world saved in c.wrl | Save on | saved");
        for (const QString name : {"out.glb", "out.gltf", "out.x3d", "out.wrl"}) {
            dialogs.saves = {name};
            action(w, "actionSaveAs")->trigger();
            const QByteArray saved = readAll(name);
            QVERIFY2(saved.size() > 100, qPrintable(name));
            const bool vrml = name.endsWith("wrl");
            const QStringList mode = vrml ? QStringList() : QStringList("--full");
            QCOMPARE(saved, console(mode + QStringList(input), "console-" + name).first);
            // The status names the format written.
            QCOMPARE(status(w), (name.endsWith("x3d") ? "X3D world saved in "
                                 : vrml               ? "VRML world saved in "
                                                      : "glTF scene saved in ") +
                                    name);
        }
        // Save As proposes the type of the name it proposes.
        QString type;
        QTimer::singleShot(0, [&type] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (dialog) type = dialog->selectedNameFilter(), dialog->reject();
        });
        QVERIFY(!tarvex::QtDialogs().saveFileName(&w, "again.glb"));
        QCOMPARE(type, "glTF Binary Files (*.glb)");
        QCOMPARE(dialogs.warnings.size(), 1);
        QCOMPARE(top(w)->childCount(), 2);  // still the default mode's two meshes
        dialogs.opens = {"gone.3dmf"};
        action(w, "actionOpen")->trigger();
        QCOMPARE(state(w), "tarvex - scene.3dmf | Reading gone.3dmf | Save on | saved");
    }

    // Save As onto the open input, which the writer's own check may not take for 3DMF (a
    // headerless fragment), is refused with the reason; the work stays unsaved.
    void saveAsNeverReplacesTheInput() {
        MainWindow w(dialogs, write("in.3dmf", twoMeshes));
        w.show();
        dialogs.saves = {"./in.3dmf"};
        action(w, "actionSaveAs")->trigger();
        QCOMPARE(dialogs.warnings, QStringList("Could not write file in.3dmf"));
        QCOMPARE(readAll("in.3dmf"), twoMeshes);
        QCOMPARE(state(w),
                 "tarvex - in.3dmf | Not saved: it is the input file itself, which the "
                 "conversion would destroy | Save on | unsaved");
    }

    // The question about unsaved work, answered on Open, on a drop and on Ctrl+Q.
    void unsavedWork_data() {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<Button>("answer");
        for (const char *trigger : {"Open", "drop", "Ctrl+Q"}) {
            QTest::addRow("%s, Yes", trigger) << trigger << QMessageBox::Yes;
            QTest::addRow("%s, No", trigger) << trigger << QMessageBox::No;
            QTest::addRow("%s, Cancel", trigger) << trigger << QMessageBox::Cancel;
        }
    }
    void unsavedWork() {
        QFETCH(QString, trigger);
        QFETCH(Button, answer);
        const QString other = QDir::current().absoluteFilePath(write("o.3dmf", "o:\n" + mesh));
        MainWindow w(dialogs, write("two.3dmf", twoMeshes));
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const bool yes = answer == Button::Yes, no = answer == Button::No,
                   close = trigger == u"Ctrl+Q";
        dialogs.answers = {answer};
        if (yes) dialogs.saves = {w.outputFileName()};
        if (no && trigger == u"Open") dialogs.opens = {other};
        if (close) QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
        if (trigger == u"Open") action(w, "actionOpen")->trigger();
        QMimeData file;
        file.setUrls({QUrl::fromLocalFile(other)});
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, &file, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &file, Qt::LeftButton, Qt::NoModifier);
        if (trigger == u"drop") QVERIFY(QApplication::sendEvent(&w, &enter) && enter.isAccepted());
        if (trigger == u"drop") QVERIFY(QApplication::sendEvent(&w, &drop) && drop.isAccepted());
        QCoreApplication::processEvents();  // a drop is handled once it has been answered
        // Yes saves and abandons what asked; No goes on; Cancel changes nothing.
        QCOMPARE(dialogs.questions, QStringList("Save file in two.wrl?"));
        QCOMPARE(w.windowTitle(), no && !close ? "tarvex - o.3dmf" : "tarvex - two.3dmf");
        QCOMPARE(QFile::exists("two.wrl"), yes);
        QCOMPARE(w.needsSave(), !yes);
        QCOMPARE(w.isVisible(), !(close && no));
    }

    // A menu item shows its help; opening and closing a menu shows none. The row names the item.
    void menuHelp_data() {
        QTest::addColumn<QString>("help");
        QTest::newRow("actionOpen") << "Open .3dmf";
        QTest::newRow("actionSaveAs") << "Save .wrl";
        QTest::newRow("actionExit") << "Quits this application";
        QTest::newRow("actionAbout") << "Displays information about this application";
    }
    void menuHelp() {
        QFETCH(QString, help);
        MainWindow w(dialogs, QString());
        w.show();
        QAction *item = action(w, QTest::currentDataTag());
        auto *menu = w.findChild<QMenu *>(item->text() == u"&About" ? "menuHelp" : "menuFile");
        menu->popup(w.geometry().center());
        QStringList seen(status(w));
        menu->setActiveAction(item);
        seen << status(w);
        menu->hide();
        QCOMPARE(seen << status(w), QStringList({"", help, ""}));
    }

    // Ticking Options > Read all objects reads the open file again at once, after the question
    // about unsaved work: No reads, Yes saves first and then reads, Cancel leaves the option and
    // the tree as they were. Save As then writes what tarvex --full writes, the choice holds for
    // the next window, and unticking brings back the default mode's reading.
    void readAllObjects_data() {
        QTest::addColumn<Button>("answer");
        QTest::newRow("No") << QMessageBox::No;
        QTest::newRow("Yes") << QMessageBox::Yes;
        QTest::newRow("Cancel") << QMessageBox::Cancel;
    }
    void readAllObjects() {
        QFETCH(Button, answer);
        const QString input =
            write("objects.3dmf",
                  "3DMetafile ( 1 6 Normal toc> )\n"
                  "block: Box ( 0 2 0  0 0 1  3 0 0  0 0 0 )\n"
                  "BeginGroup ( DisplayGroup ( ) )\nTranslate ( 1 0 0 )\ncube:\n" +
                      mesh + "EndGroup ( )\n");
        MainWindow w(dialogs, input);
        w.show();
        QVERIFY(!w.readsAllObjects());
        QCOMPARE(top(w)->childCount(), 1);  // the default mode: the mesh alone
        dialogs.answers = {answer};
        if (answer == Button::Yes) dialogs.saves = {"default.wrl"};
        action(w, "actionReadAllObjects")->trigger();
        QCOMPARE(dialogs.questions, QStringList("Save file in objects.wrl?"));
        if (answer == Button::Cancel) {
            QVERIFY(!w.readsAllObjects() && w.needsSave());
            QCOMPARE(top(w)->childCount(), 1);
            QVERIFY(!MainWindow(dialogs, QString()).readsAllObjects());
            return;
        }
        if (answer == Button::Yes) QCOMPARE(readAll("default.wrl"), console({input}).first);
        QVERIFY(w.readsAllObjects());
        QCOMPARE(tree(w), QStringList({"Top", "  block: Box", "  DisplayGroup", "    Translate",
                                       "    cube: TriMesh"}));
        QCOMPARE(state(w), "tarvex - objects.3dmf | objects.3dmf read OK | Save on | unsaved");

        dialogs.saves << QStringLiteral("full.wrl");
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(readAll("full.wrl"), console({"--full", input}).first);
        QVERIFY(readAll("full.wrl").contains("DEF block"));
        QVERIFY(MainWindow(dialogs, QString()).readsAllObjects());

        action(w, "actionReadAllObjects")->trigger();  // saved: no question
        QCOMPARE(dialogs.questions.size(), 1);
        QVERIFY(!w.readsAllObjects());
        QCOMPARE(tree(w), QStringList({"Top", "  " + console({input}).second.value(0)}));
    }

    // The command line as the console program takes it: options first, "--" ends them, the
    // words after them form one file name. Windows hands over the raw line, program name first.
    void commandLine() {
        const auto show = [](const tarvex::StartOptions &o) {
            return QStringLiteral("%1 %2 %3 | %4 | %5")
                .arg(o.help ? "help" : "-", o.version ? "version" : "-", o.full ? "full" : "-",
                     o.unknownOption, o.file.value_or("<bad>"));
        };
        const struct {
            QStringList arguments;
            QString rawLine, seen;  // seen: help version full | unknown | file
        } rows[] = {
            {{}, "tarvexw", "- - - |  | "},
            {{"--full", "my", "scene.3dmf"},
             "tarvexw --full my scene.3dmf",
             "- - full |  | my scene.3dmf"},
            {{"--", "--full"}, "tarvexw -- --full", "- - - |  | --full"},
            {{"--version", "--help"},
             "\"C:\\tar vexw.exe\" --version --help",
             "help version - |  | "},
            {{"--fast", "--full", "a"}, "tarvexw --fast --full a", "- - full | --fast | a"},
            {{"a", "--full"}, "tarvexw a --full", "- - - |  | a --full"},
            // The shell has taken the quotes away; on Windows a quoted name ends at its quote.
            {{"--full", "a "}, "tarvexw --full \"a \" b", "- - full |  | a "},
        };
        for (const auto &row : rows) {
            QCOMPARE(show(tarvex::parseCommandLine(row.rawLine)), row.seen);
            QCOMPARE(show(tarvex::parseArguments(row.arguments)), row.seen);
        }
        const tarvex::StartOptions bad = tarvex::parseCommandLine(u"\"tarvexw --full");
        QCOMPARE(show(bad), "- - - |  | <bad>");
        MainWindow w(dialogs, bad);
        QCOMPARE(dialogs.warnings, QStringList("Bad command line!"));
        // The program answers --help and --version without a window, and refuses an unknown
        // option.
        const auto run = [](const QStringList &arguments) {
            QProcess tarvexw;
            tarvexw.start(QStringLiteral(TARVEXW_EXE), arguments);
            tarvexw.waitForFinished();
            return QString::number(tarvexw.exitCode()) + "|" + tarvexw.readAllStandardOutput() +
                   "|" + tarvexw.readAllStandardError();
        };
        QCOMPARE(run({"--help"}), "0|" + tarvex::helpText() + "|");
        QCOMPARE(run({"--version"}), "0|tarvexw " TARVEX_VERSION "\n|");
        QCOMPARE(run({"--fast", "x.3dmf"}), "1||Unknown option --fast!\n" + tarvex::helpText());
    }

    // --full FILE reads FILE in full mode at once, for this run only: the remembered option is
    // left as it was.
    void fullFromCommandLine() {
        const QString input = write("box.3dmf", "block: Box ( 0 2 0  0 0 1  3 0 0  0 0 0 )\n");
        {
            MainWindow w(dialogs, tarvex::parseArguments({"--full", input}));
            QVERIFY(w.readsAllObjects());
            QCOMPARE(tree(w), QStringList({"Top", "  block: Box"}));
            dialogs.saves = {"full.wrl"};
            action(w, "actionSaveAs")->trigger();
            QCOMPARE(readAll("full.wrl"), console({"--full", input}).first);
        }
        MainWindow w(dialogs, input);
        QVERIFY(!w.readsAllObjects());
        QCOMPARE(tree(w), QStringList("Top"));
        // The default mode names what it left out and where to get it.
        QCOMPARE(status(w),
                 "box.3dmf read OK - the default mode skipped 1 object (1 Box); "
                 "Options > Read all objects reads them");
        // So does the bar above the view, whose button reads everything at once, for good.
        w.show();
        auto *bar = w.findChild<QFrame *>("skippedBar");
        QVERIFY(bar->isVisible());
        QCOMPARE(w.findChild<QLabel *>("skippedText")->text(),
                 "The default mode read no triangle mesh and skipped 1 object (1 Box).");
        QTest::mouseClick(w.findChild<QPushButton *>("skippedReadAll"), Qt::LeftButton);
        QVERIFY(w.readsAllObjects() && !bar->isVisible());
        QCOMPARE(tree(w), QStringList({"Top", "  block: Box"}));
        QVERIFY(MainWindow(dialogs, QString()).readsAllObjects());
    }

    // File > Recent Files lists the files read, newest first, each once, in this window and the
    // next; a file that could not be read is not added. Choosing one reads it.
    void recentFiles() {
        const QString a = QDir::current().absoluteFilePath(write("a.3dmf", twoMeshes));
        const QString b = QDir::current().absoluteFilePath(write("b.3dmf", "b:\n" + mesh));
        MainWindow w(dialogs, QString());
        QVERIFY(w.recentFiles().isEmpty());
        QVERIFY(!w.findChild<QMenu *>("menuRecentFiles")->isEnabled());
        for (const QString &name : {a, b, a, QString("missing.3dmf")}) {
            dialogs.answers << Button::No;
            w.openDroppedFile(name);
        }
        QCOMPARE(dialogs.warnings, QStringList("Can't open missing.3dmf!"));
        QCOMPARE(w.recentFiles(), QStringList({a, b}));
        MainWindow next(dialogs, QString());
        QCOMPARE(next.recentFiles(), QStringList({a, b}));
        action(next, "actionRecentFile2")->trigger();
        QCOMPARE(next.windowTitle(), "tarvex - b.3dmf");
        QCOMPARE(top(next)->childCount(), 1);
        QCOMPARE(next.recentFiles(), QStringList({b, a}));
        dialogs.answers = {};  // the last open of `w` asked nothing: a failed read is not unsaved
    }

    // The Messages panel lists every warning and skipped object of a full-mode read with its
    // place, as tarvex --full --verbose prints them; the status bar's button opens it.
    void messagesPanel() {
        const QString input = QStringLiteral(TARVEX_SOURCE_DIR "/tests/data/messages.3dmf");
        MainWindow w(dialogs, tarvex::parseArguments({"--full", input}));
        w.show();
        auto *button = w.findChild<QToolButton *>("messagesButton");
        auto *panel = w.findChild<QDockWidget *>("messagesPanel");
        QVERIFY(button->isVisible() && !panel->isVisible());
        QCOMPARE(button->text(), "3 messages");
        QCOMPARE(status(w), "messages.3dmf read OK (skipped: 1 Frobnicator; 2 warnings)");
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(panel->isVisible());
        QStringList listed;
        auto *list = w.findChild<QTreeWidget *>("messageList");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            listed << input + ":" + list->topLevelItem(i)->text(0).mid(5) + ": " +
                          list->topLevelItem(i)->text(1);
        QStringList printed = console({"--full", "--verbose", input}).second.filter(input + ":");
        // In the order of their lines; tarvex prints them as each stage reports.
        const auto line = [](const QString &m) { return m.section(u':', 1, 1).toInt(); };
        QVERIFY(std::is_sorted(listed.begin(), listed.end(),
                               [&](auto &a, auto &b) { return line(a) < line(b); }));
        listed.sort();
        printed.sort();
        QCOMPARE(listed, printed);
        QCOMPARE(listed.size(), 3);

        // The default mode lists what it skipped; a file without messages hides the button.
        dialogs.answers << Button::No;
        action(w, "actionReadAllObjects")->trigger();
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(1), "skipped 1 object (1 Box)");
        QCOMPARE(button->text(), "1 message");
        dialogs.answers << Button::No;
        w.openDroppedFile(write("plain.3dmf", twoMeshes));
        QVERIFY(!button->isVisible() && !panel->isVisible());
    }

    // In full mode each kind of object has its own picture: geometry the globe, groups the
    // folders, and attribute sets, lights, cameras and view hints pictures of their own.
    void picturesByKind() {
        const QString input = write("kinds.3dmf",
                                    "3DMetafile ( 1 6 Normal toc> )\n"
                                    "BeginGroup ( DisplayGroup ( ) )\n"
                                    "Container ( AttributeSet ( ) DiffuseColor ( 1 0 0 ) )\n"
                                    "Box ( 0 2 0  0 0 1  3 0 0  0 0 0 )\nEndGroup ( )\n"
                                    "DirectionalLight ( 0 0 -1 True )\n"
                                    "ViewAngleAspectCamera ( 1 1 )\n"
                                    "ViewHints ( )\n");
        MainWindow w(dialogs, tarvex::parseArguments({"--full", input}));
        QMap<QString, QImage> pictures;
        for (QTreeWidgetItemIterator it(w.findChild<QTreeWidget *>()); *it; ++it)
            pictures[(*it)->text(0).section(u',', 0, 0)] = picture((*it)->icon(0));
        using enum tarvex::ObjectKind;
        const QImage globe = picture(QIcon(":/tarvexw/document.xpm"));
        QCOMPARE(pictures.value("DisplayGroup"), picture(QIcon(":/tarvexw/open.xpm")));
        QCOMPARE(pictures.value("Box"), globe);
        QList<QImage> distinct = {globe, picture(tarvex::treeIcon(other))};
        const std::pair<const char *, tarvex::ObjectKind> kinds[] = {
            {"AttributeSet", attributes},
            {"DirectionalLight", light},
            {"ViewAngleAspectCamera", camera},
            {"ViewHints", hint}};
        for (const auto &[name, kind] : kinds) {
            distinct << picture(tarvex::treeIcon(kind));
            QCOMPARE(pictures.value(name), distinct.last());
        }
        for (int i = 0; i < distinct.size(); ++i)
            for (int j = i + 1; j < distinct.size(); ++j) QVERIFY(distinct[i] != distinct[j]);
    }

    // The empty window says what to do and shows no progress bar; a read shows the view, and the
    // bar is gone again once the read is done. Ctrl+O opens, F1 shows the About box.
    void emptyWindowAndKeys() {
        MainWindow w(dialogs, QString());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto *hint = w.findChild<QLabel *>("emptyHint");
        auto *progress = w.findChild<QProgressBar *>("progressBar");
        QVERIFY(hint->isVisible() && !progress->isVisible());
        QVERIFY2(hint->text().contains("drop one on this window"), qPrintable(hint->text()));
        dialogs.opens = {write("two.3dmf", twoMeshes)};
        QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(w.windowTitle(), "tarvex - two.3dmf");
        QVERIFY(!hint->isVisible() && !progress->isVisible());
        QVERIFY(w.sceneView()->isVisible());
        QTest::keyClick(&w, Qt::Key_F1);
        QCOMPARE(dialogs.abouts, 1);
        dialogs.abouts = 0;
    }

    // The tree pane widens to a long label (up to half the window) and keeps the width it had
    // when the window closed.
    void treePaneWidth() {
        const QString longName(120, u'm');
        const QString input = write("long.3dmf", longName.toLatin1() + ":\n" + mesh);
        int kept = 0;
        {
            MainWindow w(dialogs, QString());
            w.resize(1000, 600);
            w.show();
            auto *splitter = w.findChild<QSplitter *>("splitter");
            const int before = splitter->sizes().value(0);
            dialogs.opens = {input};
            action(w, "actionOpen")->trigger();
            kept = splitter->sizes().value(0);
            QVERIFY2(kept > before && kept <= 500, qPrintable(QString::number(kept)));
            dialogs.answers = {Button::No};
            w.close();
        }
        MainWindow w(dialogs, QString());
        w.resize(1000, 600);
        w.show();
        QCOMPARE(w.findChild<QSplitter *>("splitter")->sizes().value(0), kept);
    }

    // A binary file goes to full mode whatever the option says; a failure there names the line.
    void binaryFilesAndFullModeFailures() {
        QByteArray triangle("3DMF\0\0\0\x10\0\x01\0\x06\0\0\0\x01", 16);
        triangle += QByteArray(8, '\0') + QByteArray("trng\0\0\0\x24", 8) + QByteArray(36, '\0');
        MainWindow w(dialogs, write("triangle.3dmf", triangle));
        QVERIFY(!w.readsAllObjects());
        QCOMPARE(tree(w), QStringList({"Top", "  Triangle"}));
        QVERIFY(w.needsSave());

        action(w, "actionReadAllObjects")->trigger();
        const QString cut = write("cut.3dmf", "Box ( )\nTriMesh ( 1 0 0 0 3 0\n");
        dialogs.answers << Button::No;  // the triangle is not saved
        w.openDroppedFile(cut);
        QCOMPARE(dialogs.warnings.size(), 1);
        QVERIFY2(dialogs.warnings[0].startsWith(cut + ":"), qPrintable(dialogs.warnings[0]));
        QVERIFY(!w.needsSave());
    }
};

QTEST_MAIN(TarvexwTest)
#include "tarvexw_test.moc"
