// tarvexw: converts a 3D Metafile ASCII file to VRML 97 in a window.
#include <QApplication>
#include <QIcon>
#include <QStringList>
#include <optional>

#include "windows/dialogs.h"
#include "windows/main_window.h"
#include "windows/winfuncs.h"

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

}  // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarvex"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.3"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tarvexw/tarvex.xpm")));

    tarvex::QtDialogs dialogs;
    tarvex::MainWindow window(dialogs, commandLineFile());
    window.show();
    return QApplication::exec();
}
