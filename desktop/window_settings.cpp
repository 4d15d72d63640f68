#include "desktop/window_settings.h"

#include <QFileInfo>
#include <QSettings>
#include <algorithm>

namespace tarvex::window_settings {

namespace {

QSettings settings() {
    return QSettings(QStringLiteral("tarvex"), QStringLiteral("tarvexw"));
}

const QString readAllKey = QStringLiteral("options/readAllObjects");
const QString recentKey = QStringLiteral("files/recent");
const QString treeWidthKey = QStringLiteral("window/treeWidth");

}  // namespace

bool readAllObjects() {
    return settings().value(readAllKey, false).toBool();
}

void setReadAllObjects(bool on) {
    settings().setValue(readAllKey, on);
}

QStringList recentFiles() {
    QStringList files = settings().value(recentKey).toStringList();
    files.removeAll(QString());
    return files.mid(0, kMaxRecentFiles);
}

void addRecentFile(const QString &path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList files = recentFiles();
    files.removeAll(absolute);
    files.prepend(absolute);
    settings().setValue(recentKey, files.mid(0, kMaxRecentFiles));
}

int treeWidth() {
    return std::max(0, settings().value(treeWidthKey, 0).toInt());
}

void setTreeWidth(int pixels) {
    settings().setValue(treeWidthKey, pixels);
}

}  // namespace tarvex::window_settings
