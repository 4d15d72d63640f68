#include "desktop/string_table.h"

namespace tarvex {

QString uiString(StringId id) {
    switch (id) {
        case StringId::OpenHelp:
        case StringId::OpenButton:
            return QStringLiteral("Open .3dmf");
        case StringId::SaveAsHelp:
        case StringId::SaveButton:
            return QStringLiteral("Save .wrl");
        case StringId::ExitHelp:
            return QStringLiteral("Quits this application");
        case StringId::AboutHelp:
            return QStringLiteral("Displays information about this application");
    }
    return {};
}

QString formatWithTitle(QStringView format, const QString &titleName) {
    const QString title = titleName.isEmpty() ? QStringLiteral("(no file)") : titleName;
    const qsizetype at = format.indexOf(u"%s");
    if (at < 0) return format.toString();
    QString text = format.left(at).toString();
    text.append(title).append(format.mid(at + 2));
    return text;
}

}  // namespace tarvex
