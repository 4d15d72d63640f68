// Measures the 3D view of tarvexw in its real window: how long after reading a file its picture
// is on screen, and how many frames a second it draws while orbiting. With --screenshot it saves
// the window instead. Run it under Xvfb to measure Mesa's software renderer:
//
//   xvfb-run -a -s "-screen 0 1280x800x24" tarvexw_view_bench [--frames N] [file.3dmf]
//   xvfb-run -a tarvexw_view_bench --screenshot out.png file.3dmf [mesh number to select]
//
// Without a file it generates the benchmark's big mesh (1.1 M triangles) in a temporary folder.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <cstdio>
#include <ctime>

#include "bench/scene_generator.h"
#include "core/scene_store.h"
#include "desktop/dialogs.h"
#include "desktop/main_window.h"
#include "desktop/scene_view.h"
#include "draw/draw_list.h"

namespace {

// Waits until the view has put `frames` more frames on screen; false after 60 s. Sleeps while
// waiting, so that the process's CPU time is the drawing's.
bool waitForFrames(QOpenGLWidget &gl, int frames) {
    int swapped = 0;
    QEventLoop loop;
    const auto connection = QObject::connect(&gl, &QOpenGLWidget::frameSwapped, [&] {
        if (++swapped >= frames) loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return swapped >= frames;
}

double ms(const QElapsedTimer &clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

// CPU time of the whole process (Mesa's rendering threads included), in milliseconds: on a
// machine shared with other work it says more than the wall clock.
double cpuMs() {
    return double(std::clock()) * 1000 / CLOCKS_PER_SEC;
}

}  // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int frames = 200;
    QString screenshot;
    while (!args.isEmpty() && args.first().startsWith(u"--")) {
        const QString option = args.takeFirst();
        if (option == u"--frames" && !args.isEmpty()) {
            frames = std::max(1, args.takeFirst().toInt());
        } else if (option == u"--screenshot" && !args.isEmpty()) {
            screenshot = args.takeFirst();
        } else {
            std::fprintf(stderr,
                         "usage: tarvexw_view_bench [--frames N] [--screenshot out.png] "
                         "[file.3dmf [mesh number]]\n");
            return 2;
        }
    }
    QTemporaryDir temp;
    QString file = args.value(0);
    if (file.isEmpty()) {
        file = temp.filePath(QStringLiteral("big.3dmf"));
        const auto size = tarvex::bench::write_big_mesh_scene(file.toStdString(), 742);
        std::printf("generated %s: %llu triangles, %llu points\n", qPrintable(file),
                    static_cast<unsigned long long>(size.triangles),
                    static_cast<unsigned long long>(size.points));
    }

    tarvex::QtDialogs dialogs;
    tarvex::MainWindow window(dialogs, QString());
    window.resize(1024, 640);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    auto *view = window.findChild<tarvex::SceneView *>();
    auto *gl = window.findChild<QOpenGLWidget *>();
    if (gl == nullptr) {
        std::printf("no OpenGL: %s\n", qPrintable(view->unavailableText()));
        return 1;
    }
    waitForFrames(*gl, 1);

    QElapsedTimer clock;
    clock.start();
    const double cpuRead = cpuMs();
    window.openDroppedFile(file);  // reads, fills the tree, makes the draw list
    const double read = ms(clock);
    clock.restart();
    const double cpuFirst = cpuMs();
    if (!waitForFrames(*gl, 1)) return 1;
    const double firstFrame = ms(clock);
    const double firstFrameCpu = cpuMs() - cpuFirst;
    const double readCpu = cpuFirst - cpuRead;
    clock.restart();
    const tarvex::draw::DrawList list = tarvex::draw::fromStore();
    const double drawList = ms(clock);

    if (!screenshot.isEmpty()) {
        if (args.size() > 1) {
            auto *tree = window.findChild<QTreeWidget *>();
            tree->setCurrentItem(tree->topLevelItem(0)->child(args[1].toInt()));
            waitForFrames(*gl, 1);
        }
        return window.grab().save(screenshot) ? 0 : 1;
    }

    gl->makeCurrent();
    const auto *renderer = gl->context()->functions()->glGetString(GL_RENDERER);
    std::printf("renderer: %s; view %dx%d\n", reinterpret_cast<const char *>(renderer), gl->width(),
                gl->height());
    gl->doneCurrent();
    std::printf("%zu triangles in %zu shapes\n", list.triangleCount(), list.shapes.size());
    std::printf(
        "read (with tree and draw list): %.0f ms (%.0f ms CPU), of which draw list %.0f ms\n", read,
        readCpu, drawList);
    std::printf(
        "end of read to first frame on screen: %.0f ms (draw list %.0f ms, then packing, "
        "upload and first frame %.0f ms, %.0f ms CPU)\n",
        drawList + firstFrame, drawList, firstFrame, firstFrameCpu);

    clock.restart();
    const double cpuBefore = cpuMs();
    for (int i = 0; i < frames; ++i) {
        view->orbit(1.8f, -0.9f);  // round and down
        if (!waitForFrames(*gl, 1)) return 1;
    }
    const double orbit = ms(clock);
    const double cpu = cpuMs() - cpuBefore;
    std::printf(
        "orbiting: %d frames in %.0f ms = %.1f frames a second (%.1f ms CPU time a "
        "frame)\n",
        frames, orbit, frames * 1000 / orbit, cpu / frames);

    // Once the view rests it draws everything in full; the same frame again, a few times.
    QEventLoop resting;
    QTimer::singleShot(1000, &resting, &QEventLoop::quit);
    resting.exec();
    const int still = std::max(1, frames / 10);
    clock.restart();
    const double cpuStill = cpuMs();
    for (int i = 0; i < still; ++i) {
        gl->update();
        if (!waitForFrames(*gl, 1)) return 1;
    }
    const double full = ms(clock);
    std::printf(
        "at rest, in full: %d frames in %.0f ms = %.1f frames a second (%.1f ms CPU "
        "time a frame)\n",
        still, full, still * 1000 / full, (cpuMs() - cpuStill) / still);
    return 0;
}
