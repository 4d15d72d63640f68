// The 3D view in the real window, rendered and read back pixel by pixel. Without OpenGL (Qt's
// "offscreen" platform has none) the view must say so in words; the pixel tests then skip.
#include "desktop/scene_view.h"

#include <QtTest>
#include <QtWidgets>
#include <cmath>

#include "desktop/main_window.h"
#include "draw/draw_list.h"
#include "fake_dialogs.h"

using tarvex::MainWindow;
using tarvex::SceneView;

namespace {

const QString example = QStringLiteral(TARVEX_SOURCE_DIR "/examples/scene.3dmf");

// The example's lights on a face of colour (r g b) with normal n, as VRML lights it: the
// ambient light (0.3, through the material's default ambient intensity 0.2) and the sun.
QColor litFace(QVector3D diffuse, QVector3D n) {
    const QVector3D sun = -QVector3D(-1, -2, -1.5).normalized();
    const QVector3D sunColor(1, 0.95f, 0.9f);
    const float lambert = std::max(0.0f, QVector3D::dotProduct(n, sun));
    const QVector3D c = diffuse * sunColor * (0.3f * 0.2f) + diffuse * sunColor * 0.9f * lambert;
    return QColor::fromRgbF(c.x(), c.y(), c.z());
}

bool near(QColor a, QColor b, int tolerance = 3) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

int countDiffering(const QImage &a, const QImage &b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

// A green cube of side 6 centred at (x y z).
QByteArray cube(const char *name, float x, float y, float z) {
    QByteArray text = QByteArray(name) +
                      ":\nTriMesh ( 12 0 0 0 8 0\n"
                      "0 2 1 0 3 2 4 5 6 4 6 7 0 1 5 0 5 4 1 2 6 1 6 5 2 3 7 2 7 6 3 0 4 3 4 7\n";
    for (int i = 0; i < 8; ++i) {
        const float dx = i % 4 == 1 || i % 4 == 2 ? 3 : -3, dy = i >= 4 ? 3 : -3,
                    dz = i % 4 >= 2 ? 3 : -3;
        text += QString("%1 %2 %3\n").arg(x + dx).arg(y + dy).arg(z + dz).toLatin1();
    }
    return text + "False )\nDiffuseColor ( 0.2 0.8 0.2 )\n";
}

}  // namespace

class SceneViewTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir;
    FakeDialogs dialogs;

    // A shown window that has read `file`; its view, when it can draw (else the test skips).
    std::unique_ptr<MainWindow> open(const QString &file) {
        auto w = std::make_unique<MainWindow>(dialogs, file);
        w->resize(800, 500);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get())) return {};
        QCoreApplication::processEvents();
        return w;
    }

  private slots:
    void init() {
        dialogs = {};
        QDir::setCurrent(dir.emplace().path());
    }
    void cleanup() { QDir::setCurrent(QDir::tempPath()); }

    // With or without OpenGL, reading works and the view is there; without, it says why.
    void viewOrMessage() {
        auto w = open(example);
        QVERIFY(w);
        QVERIFY(dialogs.warnings.isEmpty() && dialogs.questions.isEmpty());
        QCOMPARE(w->findChild<QTreeWidget *>()->topLevelItem(0)->childCount(), 2);
        auto *splitter = w->findChild<QSplitter *>("splitter");
        QCOMPARE(splitter->widget(0), w->findChild<QTreeWidget *>());
        QVERIFY(splitter->widget(1)->isAncestorOf(w->sceneView()) && w->sceneView()->isVisible());
        auto *message = w->findChild<QLabel *>("sceneViewMessage");
        QCOMPARE(message->isVisible(), !w->sceneView()->hasOpenGL());
        if (!w->sceneView()->hasOpenGL()) {
            QVERIFY(message->text().startsWith("The 3D view is not available: "));
            QVERIFY(w->sceneView()->grabImage().isNull());
            QSKIP(qPrintable("no OpenGL here (" + w->sceneView()->unavailableText() + ")"));
        }
        QVERIFY(!w->sceneView()->grabImage().isNull());
    }

    // The camera's view of the example: the red cube's visible faces in the VRML lighting, the
    // cube's centre at the image's centre, the black background in the corners.
    void exampleFromItsCamera() {
        auto w = open(example);
        if (!w->sceneView()->hasOpenGL()) QSKIP("no OpenGL");
        const QImage image = w->sceneView()->grabImage();
        const QPoint centre(image.width() / 2, image.height() / 2);
        const QColor front = litFace({0.8f, 0.1f, 0.1f}, {0, 0, 1});
        const QColor side = litFace({0.8f, 0.1f, 0.1f}, {1, 0, 0});
        const QColor seen = image.pixelColor(centre + QPoint(0, image.height() / 10));
        QVERIFY2(near(seen, front) || near(seen, side),
                 qPrintable(QString("below the centre %1, front %2, side %3")
                                .arg(seen.name(), front.name(), side.name())));
        // Both red faces of the cube show around the centre, each in its own colour.
        int frontPixels = 0, sidePixels = 0;
        for (int dy = -40; dy <= 40; dy += 4)
            for (int dx = -40; dx <= 40; dx += 4) {
                const QColor c = image.pixelColor(centre + QPoint(dx, dy + image.height() / 8));
                frontPixels += near(c, front);
                sidePixels += near(c, side);
            }
        QVERIFY2(frontPixels > 20 && sidePixels > 20,
                 qPrintable(QString("front %1 side %2").arg(frontPixels).arg(sidePixels)));
        QCOMPARE(image.pixelColor(2, 2), QColor(Qt::black));
        QCOMPARE(image.pixelColor(image.width() - 3, image.height() - 3), QColor(Qt::black));
    }

    // Nothing read, or a file without shapes: only the background.
    void emptySceneIsBackgroundOnly_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("camera only") << QByteArray("CameraPlacement ( 0 0 5 0 0 0 0 1 0 )\n");
    }
    void emptySceneIsBackgroundOnly() {
        QFETCH(QByteArray, content);
        auto w = open(content.isEmpty() ? QString() : write("empty.3dmf", content));
        if (!w->sceneView()->hasOpenGL()) QSKIP("no OpenGL");
        const QImage image = w->sceneView()->grabImage().convertToFormat(QImage::Format_RGB32);
        QImage black(image.size(), QImage::Format_RGB32);
        black.fill(Qt::black);
        QCOMPARE(countDiffering(image, black), 0);
    }

    // Cubes far apart, seen from a camera that shows none of them well: after Fit to Window (also
    // after orbiting) every cube lies inside the image, and the image's border is background.
    void fitToWindowShowsEveryShape() {
        QByteArray scene = "CameraPlacement ( 0 0 3 0 0 0 0 1 0 )\n";
        scene += cube("a", -20, 0, 0) + cube("b", 20, 5, -10) + cube("c", 0, -15, 8);
        auto w = open(write("far.3dmf", scene));
        if (!w->sceneView()->hasOpenGL()) QSKIP("no OpenGL");
        SceneView *v = w->sceneView();
        const QRectF inside(0, 0, v->width(), v->height());
        for (int turn = 0; turn < 3; ++turn) {
            w->findChild<QAction *>("actionFitToWindow")->trigger();
            for (int shape = 0; shape < v->shapeCount(); ++shape) {
                const QRectF box = v->projectedBounds(shape);
                QVERIFY2(!box.isEmpty() && inside.contains(box),
                         qPrintable(QString("turn %1 shape %2").arg(turn).arg(shape)));
            }
            const QImage image = v->grabImage();
            int border = 0, shown = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const bool edge =
                        x == 0 || y == 0 || x == image.width() - 1 || y == image.height() - 1;
                    const bool lit = qGray(image.pixel(x, y)) > 0;
                    border += edge && lit;
                    shown += lit;
                }
            QCOMPARE(border, 0);
            QVERIFY(shown > 300);
            v->orbit(70, 25);
        }
    }

    // Selecting a mesh in the tree tints that mesh's pixels and outlines its box, and changes
    // nothing else; selecting "Top" or nothing takes both away. Double-clicking an item frames that
    // mesh.
    void treeSelectionHighlightsAndFrames() {
        auto w = open(example);
        if (!w->sceneView()->hasOpenGL()) QSKIP("no OpenGL");
        SceneView *v = w->sceneView();
        auto *tree = w->findChild<QTreeWidget *>();
        const QImage plain = v->grabImage();
        tree->setCurrentItem(tree->topLevelItem(0)->child(1));  // the pyramid
        const QImage pyramid = v->grabImage();
        const QRectF pyramidBox = v->projectedBounds(1);
        int changed = 0, outside = 0;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x) {
                if (plain.pixel(x, y) == pyramid.pixel(x, y)) continue;
                ++changed;
                outside += !pyramidBox.adjusted(-6, -6, 6, 6).contains(QPointF(x, y));
            }
        QVERIFY2(changed > 500, qPrintable(QString::number(changed)));
        QCOMPARE(outside, 0);
        // The outline around the tint shows on any colour, over the shapes too: along each side
        // light dashes (most of it) alternate with dark gaps.
        QCOMPARE(v->selectionBounds(), pyramidBox);
        const QRect ring = pyramidBox.adjusted(-3, -3, 3, 3).toRect();
        const auto side = [&](QPoint from, QPoint step, int length) {
            int dark = 0, light = 0;
            for (int i = 0; i < length; ++i) {
                const int lightness = pyramid.pixelColor(from + i * step).lightness();
                dark += lightness < 20;
                light += lightness > 235;
            }
            return QString("%1 %2").arg(dark > length / 10 ? "dark" : "-",
                                        light > length / 2 ? "light" : "-");
        };
        QVERIFY(pyramid.rect().adjusted(4, 4, -4, -4).contains(ring));
        for (const QString &seen : {side(ring.topLeft(), {1, 0}, ring.width()),
                                    side(ring.bottomLeft(), {1, 0}, ring.width()),
                                    side(ring.topLeft(), {0, 1}, ring.height()),
                                    side(ring.topRight(), {0, 1}, ring.height())}) {
            QCOMPARE(seen, "dark light");
        }
        tree->setCurrentItem(tree->topLevelItem(0));
        QVERIFY(v->selectionBounds().isNull());
        QCOMPARE(countDiffering(v->grabImage(), plain), 0);

        QTreeWidgetItem *cube = tree->topLevelItem(0)->child(0);
        const QRect rect = tree->visualItemRect(cube);
        // A double click is what follows a first click.
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        const QRectF framed = v->projectedBounds(0);
        QVERIFY(QRectF(0, 0, v->width(), v->height()).contains(framed));
        QVERIFY2(framed.height() > 0.5 * v->height(), qPrintable(QString::number(framed.height())));
    }

    // What full mode adds, on the view alone: a textured square facing the camera in the
    // headlight shows its texels as they are; a half-transparent white square in front of its
    // right half blends with them.
    void texturesAndTransparency() {
        SceneView v;
        v.resize(200, 200);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        if (!v.hasOpenGL()) QSKIP("no OpenGL");
        namespace draw = tarvex::draw;
        draw::DrawList list;
        const auto square = [](float left, float right, float z) {
            draw::Mesh m;
            m.positions = {left, -1.5f, z, right, -1.5f, z, right, 1.5f, z, left, 1.5f, z};
            m.texCoords = {0, 0, 1, 0, 1, 1, 0, 1};
            m.indices = {0, 1, 2, 0, 2, 3};
            m.bounds.add({left, -1.5f, z});
            m.bounds.add({right, 1.5f, z});
            return m;
        };
        list.meshes = {square(-1, 1, 0), square(0, 1.5f, 0.5f)};
        list.meshes[0].positions = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
        // Rows bottom first: red, green; blue, white.
        list.textures.push_back(
            {2, 2, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}, false, false});
        draw::Shape textured;
        textured.texture = 0;
        draw::Shape glass;
        glass.mesh = 1;
        glass.material.diffuse = {1, 1, 1};
        glass.material.transparency = 0.5f;
        for (draw::Shape *s : {&textured, &glass}) {
            s->bounds = list.meshes[s->mesh].bounds;
            list.bounds.addBox(s->bounds);
            list.shapes.push_back(*s);
        }
        list.viewpoints.push_back({"front", {0, 0, 3}, {0, 0, 1}, 0, 0.785398f});
        v.showScene(list);
        const QImage image = v.grabImage();
        // (x, y) = (+-0.5, +-0.5) at 3 ahead, 1.2426 to the view's edge: pixels 60 and 140.
        const QList<std::pair<QPoint, QColor>> expected = {{{60, 140}, QColor(255, 0, 0)},
                                                           {{60, 60}, QColor(0, 0, 255)},
                                                           {{140, 140}, QColor(128, 255, 128)},
                                                           {{140, 60}, QColor(255, 255, 255)}};
        for (const auto &[at, colour] : expected) {
            QVERIFY2(near(image.pixelColor(at), colour, 6),
                     qPrintable(image.pixelColor(at).name() + " at " + QString::number(at.x()) +
                                "," + QString::number(at.y())));
        }
    }

    // The View menu lists the file's camera by name; it and Reset View bring back its picture.
    void viewpointsAndReset() {
        auto w = open(example);
        auto *menu = w->findChild<QMenu *>("menuView");
        QStringList items;
        for (QAction *a : menu->actions())
            if (!a->isSeparator()) items << a->text();
        QCOMPARE(items, QStringList({"&Fit to Window", "&Reset View", "&Messages", "camera1"}));
        if (!w->sceneView()->hasOpenGL()) QSKIP("no OpenGL");
        SceneView *v = w->sceneView();
        const QImage first = v->grabImage();
        v->orbit(40, 10);
        v->zoom(2);
        QVERIFY(countDiffering(v->grabImage(), first) > 1000);
        w->findChild<QAction *>("actionViewpoint1")->trigger();
        QCOMPARE(countDiffering(v->grabImage(), first), 0);
        v->pan(30, 10);
        // Shortcuts reach only the active window.
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(countDiffering(v->grabImage(), first), 0);
        QTest::keyClick(w.get(), Qt::Key_F);  // Fit to Window: the whole scene, nearer
        QVERIFY(v->camera().position().length() < QVector3D(4, 3, 6).length());
    }
};

QTEST_MAIN(SceneViewTest)
#include "scene_view_test.moc"
