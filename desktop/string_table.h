// The desktop program's fixed texts: the menu help and toolbar button texts by their string IDs,
// and the one way a message names a file.
#pragma once

#include <QString>
#include <QStringView>

namespace tarvex {

// String IDs of the texts; a menu item's help text has its command's number.
enum class StringId {
    OpenHelp = 210,
    SaveAsHelp = 230,
    ExitHelp = 270,
    AboutHelp = 500,
    OpenButton = 901,
    SaveButton = 902,
};

inline constexpr char kAppName[] = "tarvex";

// The text with string ID `id`.
QString uiString(StringId id);

// `format` with its first "%s" replaced by `titleName`, or by "(no file)" when that is empty.
QString formatWithTitle(QStringView format, const QString &titleName);

}  // namespace tarvex
