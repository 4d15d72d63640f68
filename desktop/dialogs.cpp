#include "desktop/dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtGlobal>

#include "desktop/document.h"
#include "desktop/string_table.h"
#include "tarvex/version.h"

namespace tarvex {

namespace {

// The "all files" pattern differs: on POSIX systems "*.*" would hide names without a dot.
#ifdef Q_OS_WIN
constexpr char allFiles[] = "All Files (*.*)";
#else
constexpr char allFiles[] = "All Files (*)";
#endif

// `suffixes[i]` is added to a name typed without one while `filters[i]` is chosen.
std::optional<QString> runFileDialog(QWidget *owner, QFileDialog::AcceptMode mode,
                                     QStringList filters, const QStringList &suffixes,
                                     const QString &fileName) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(mode);
    // A file that does not exist could only fail to open.
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    filters << QString::fromLatin1(allFiles);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffixes.constFirst());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, filters, suffixes](const QString &filter) {
                         const qsizetype i = filters.indexOf(filter);
                         if (i >= 0 && i < suffixes.size()) dialog.setDefaultSuffix(suffixes[i]);
                     });
    // The type shown is the one the proposed name has: a name saved as .glb is proposed again
    // as glTF, not as the first type. Chosen before the name, which a change of type rewrites.
    const QString suffix = QFileInfo(fileName).suffix();
    for (qsizetype i = 0; i < suffixes.size(); ++i) {
        if (suffix.compare(suffixes[i], Qt::CaseInsensitive) != 0) continue;
        dialog.selectNameFilter(filters[i]);
        dialog.setDefaultSuffix(suffixes[i]);
        break;
    }
    if (!fileName.isEmpty()) dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.constFirst();
}

QLabel *centredLabel(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

std::optional<QString> QtDialogs::openFileName(QWidget *owner, const QString &fileName) {
    return runFileDialog(owner, QFileDialog::AcceptOpen,
                         {QStringLiteral("QuickDraw 3D Files (*.3dmf *.3dm *.q3d)")},
                         {QStringLiteral("3dmf")}, fileName);
}

std::optional<QString> QtDialogs::saveFileName(QWidget *owner, const QString &fileName) {
    QStringList filters, suffixes;
    for (const OutputFormat &format : outputFormats()) {
        filters << format.filter;
        suffixes << format.suffix;
    }
    return runFileDialog(owner, QFileDialog::AcceptSave, filters, suffixes, fileName);
}

void QtDialogs::warning(QWidget *owner, const QString &text) {
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kAppName), text, QMessageBox::Ok,
                    owner);
    box.exec();
}

QMessageBox::StandardButton QtDialogs::question(QWidget *owner, const QString &text) {
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kAppName), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, owner);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    const QMessageBox::StandardButton answer = box.standardButton(box.clickedButton());
    return answer == QMessageBox::NoButton ? QMessageBox::Cancel : answer;
}

void QtDialogs::about(QWidget *owner) {
    // Like the classic box: no caption bar, a frame, the icon beside the program's name.
    QDialog box(owner, Qt::Dialog | Qt::FramelessWindowHint);
    box.setObjectName(QStringLiteral("aboutBox"));
    auto *frame = new QFrame(&box);
    frame->setFrameStyle(QFrame::Box | QFrame::Raised);
    auto *outer = new QVBoxLayout(&box);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    auto *icon = new QLabel(frame);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(QIcon(QStringLiteral(":/tarvexw/tarvex.xpm")).pixmap(32, 32));
    auto *head = new QHBoxLayout;
    head->addWidget(icon);
    head->addWidget(centredLabel(QString::fromLatin1(kAppName), frame), 1);
    head->addSpacing(32);

    auto *ok = new QPushButton(QStringLiteral("OK"), frame);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &box, &QDialog::accept);

    auto *lines = new QVBoxLayout(frame);
    lines->addLayout(head);
    lines->addWidget(centredLabel(QStringLiteral("Version " TARVEX_VERSION), frame));
    QStringList formats;
    for (const OutputFormat &format : outputFormats()) formats << format.name;
    auto *converts = centredLabel(
        QStringLiteral("converts 3D Metafile text and binary files to %1").arg(formats.join(", ")),
        frame);
    converts->setObjectName(QStringLiteral("aboutConverts"));
    lines->addWidget(converts);
    lines->addWidget(
        centredLabel(QStringLiteral("Qt edition, built with Qt " QT_VERSION_STR), frame));
    lines->addWidget(ok, 0, Qt::AlignHCenter);
    box.exec();
}

}  // namespace tarvex
