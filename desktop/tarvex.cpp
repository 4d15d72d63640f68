// tarvexw: converts a 3D Metafile ASCII file to VRML 97 in a window.
#include <QApplication>
#include <QIcon>
#include <QStringList>
#include <cstring>
#include <iostream>
#include <optional>

#include "desktop/dialogs.h"
#include "desktop/main_window.h"
#include "desktop/winfuncs.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// The input file named on the command line. Windows hands over the line as typed, so the
// program's own rule applies; elsewhere the shell has split it and the words are joined again.
std::optional<QString> commandLineFile() {
#ifdef Q_OS_WIN
    return tarvex::fileNameFromCommandLine(QString::fromWCharArray(GetCommandLineW()));
#else
    return QCoreApplication::arguments().mid(1).join(u' ');
#endif
}

// Answers `tarvexw --help` or `tarvexw --version` on standard output; false for any other command
// line. Asked before any window exists, so that it works without a display.
bool answeredWithoutWindow(int argc, char *argv[]) {
    if (argc != 2) return false;
    if (std::strcmp(argv[1], "--help") == 0) {
        std::cout << "usage: tarvexw [3dmffile]\n"
                     "  --help     print this help and exit\n"
                     "  --version  print the program's name and version and exit\n"
                     "The words after the program name form one file name, read at once.\n";
        return true;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::cout << "tarvexw " TARVEX_VERSION "\n";
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char *argv[]) {
    if (answeredWithoutWindow(argc, argv)) return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarvex"));
    QApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tarvexw/tarvex.xpm")));

    tarvex::QtDialogs dialogs;
    tarvex::MainWindow window(dialogs, commandLineFile());
    window.show();
    return QApplication::exec();
}
