#include "desktop/file_names.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace tarvex {

QString fileTitle(const QString &path) {
    return QFileInfo(path).fileName();
}

QString deriveOutputName(const QString &inputPath, const QString &suffix) {
#ifdef Q_OS_WIN
    const qsizetype nameStart = std::max({inputPath.lastIndexOf(u'/'), inputPath.lastIndexOf(u'\\'),
                                          inputPath.lastIndexOf(u':')}) +
                                1;
#else
    const qsizetype nameStart = inputPath.lastIndexOf(u'/') + 1;
#endif
    const qsizetype dot = inputPath.lastIndexOf(u'.');
    const qsizetype end = dot >= nameStart ? dot : inputPath.size();
    return inputPath.left(end) + suffix;
}

std::string converterFileName(const QString &path) {
    const QString name = path == u"stdin" || path == u"stdout" ? QStringLiteral("./") + path : path;
    return QFile::encodeName(name).toStdString();
}

}  // namespace tarvex
