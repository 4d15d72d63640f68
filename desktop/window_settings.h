// What tarvexw remembers between runs, in the user's settings for "tarvex"/"tarvexw": whether
// every object is read, the files opened last, and the width of the tree pane.
#pragma once

#include <QString>
#include <QStringList>

namespace tarvex::window_settings {

// Files kept in File > Recent Files.
inline constexpr int kMaxRecentFiles = 8;

bool readAllObjects();
void setReadAllObjects(bool on);

// The newest first; files that no longer exist are still listed (opening one says so).
QStringList recentFiles();
// Puts `path` first, once, and drops the oldest beyond kMaxRecentFiles.
void addRecentFile(const QString &path);

// The tree pane's width in pixels; 0 when never set.
int treeWidth();
void setTreeWidth(int pixels);

}  // namespace tarvex::window_settings
