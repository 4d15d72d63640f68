// tarvexw: converts 3D Metafile files to VRML 97 in a window.
#include <QApplication>
#include <QIcon>
#include <QStringList>
#include <cstdio>
#include <iostream>

#include "desktop/command_line.h"
#include "desktop/dialogs.h"
#include "desktop/main_window.h"
#include "tarvex/version.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// Windows hands over the line as typed, so the program's own rule applies; elsewhere the shell
// has split it. Read before any window exists, so that --help and --version need no display.
tarvex::StartOptions startOptions(int argc, char *argv[]) {
#ifdef Q_OS_WIN
    (void)argc;
    (void)argv;
    return tarvex::parseCommandLine(QString::fromWCharArray(GetCommandLineW()));
#else
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return tarvex::parseArguments(arguments);
#endif
}

}  // namespace

int main(int argc, char *argv[]) {
    const tarvex::StartOptions options = startOptions(argc, argv);
    if (!options.unknownOption.isEmpty()) {
        std::cerr << "Unknown option " << options.unknownOption.toLocal8Bit().constData() << "!\n"
                  << tarvex::helpText().toLocal8Bit().constData();
        return 1;
    }
    if (options.help) {
        std::cout << tarvex::helpText().toLocal8Bit().constData();
        return 0;
    }
    if (options.version) {
        std::cout << "tarvexw " TARVEX_VERSION "\n";
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarvex"));
    QApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tarvexw/tarvex.xpm")));

    tarvex::QtDialogs dialogs;
    tarvex::MainWindow window(dialogs, options);
    window.show();
    return QApplication::exec();
}
