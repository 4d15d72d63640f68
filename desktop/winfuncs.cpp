#include "desktop/winfuncs.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace tarvex {

QString loadString(int id) {
    switch (id) {
        case IDM_OPEN:
            return QStringLiteral("Open .3dmf");
        case IDM_SAVEAS:
            return QStringLiteral("Save .wrl");
        case IDM_EXIT:
            return QStringLiteral("Quits this application");
        case IDM_ABOUT:
            return QStringLiteral("Displays information about this application");
        case IDS_OPEN_BUTTON:
            return QStringLiteral("Open .3dmf");
        case IDS_SAVE_BUTTON:
            return QStringLiteral("Save .wrl");
        default:
            return {};
    }
}

QString formatWithTitle(QStringView format, const QString &titleName) {
    const QString title = titleName.isEmpty() ? QStringLiteral("(no file)") : titleName;
    const qsizetype at = format.indexOf(u"%s");
    if (at < 0) return format.toString();
    QString text = format.left(at).toString();
    text.append(title).append(format.mid(at + 2));
    return text;
}

QString fileTitle(const QString &path) {
    return QFileInfo(path).fileName();
}

QString deriveOutputName(const QString &inputPath) {
#ifdef Q_OS_WIN
    const qsizetype nameStart = std::max({inputPath.lastIndexOf(u'/'), inputPath.lastIndexOf(u'\\'),
                                          inputPath.lastIndexOf(u':')}) +
                                1;
#else
    const qsizetype nameStart = inputPath.lastIndexOf(u'/') + 1;
#endif
    const qsizetype dot = inputPath.lastIndexOf(u'.');
    const qsizetype end = dot >= nameStart ? dot : inputPath.size();
    return inputPath.left(end) + QStringLiteral(".wrl");
}

std::optional<QString> fileNameFromCommandLine(QStringView commandLine) {
    // The C library's isspace in the "C" locale, which is what separates the program's name.
    const auto isBlank = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
    };
    qsizetype i = 0;
    const qsizetype n = commandLine.size();
    if (n > 0 && commandLine[0] == u'"') {
        const qsizetype close = commandLine.indexOf(u'"', 1);
        if (close < 0) return std::nullopt;
        i = close + 1;
    } else {
        while (i < n && !isBlank(commandLine[i])) ++i;
    }
    while (i < n && isBlank(commandLine[i])) ++i;
    if (i < n && commandLine[i] == u'"') {
        const qsizetype close = commandLine.indexOf(u'"', i + 1);
        return commandLine.mid(i + 1, close < 0 ? -1 : close - i - 1).toString();
    }
    return commandLine.mid(i).toString();
}

std::string coreFileName(const QString &path) {
    const QString name = path == u"stdin" || path == u"stdout" ? QStringLiteral("./") + path : path;
    return QFile::encodeName(name).toStdString();
}

}  // namespace tarvex
