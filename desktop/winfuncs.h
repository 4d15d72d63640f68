// Window-system-free helpers of the desktop program: its string table, file names and command line.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>
#include <string>

namespace tarvex {

// Command identifiers; they double as the string IDs of the menu help texts.
inline constexpr int IDM_OPEN = 210;
inline constexpr int IDM_SAVEAS = 230;
inline constexpr int IDM_EXIT = 270;
inline constexpr int IDM_ABOUT = 500;
// String IDs of the toolbar button texts.
inline constexpr int IDS_OPEN_BUTTON = 901;
inline constexpr int IDS_SAVE_BUTTON = 902;

inline constexpr char szAppName[] = "tarvex";

// The text with string ID `id`; empty when there is none.
QString loadString(int id);

// `format` with its first "%s" replaced by `titleName`, or by "(no file)" when that is empty.
QString formatWithTitle(QStringView format, const QString &titleName);

// The last path component of `path`: what the program shows as a file's name.
QString fileTitle(const QString &path);

// The VRML file name proposed for `inputPath`: the file name's own extension replaced by ".wrl",
// or ".wrl" appended when it has none. Directory names are never touched.
QString deriveOutputName(const QString &inputPath);

// The input file named on a raw command line that still starts with the program's own name,
// which may be quoted. A quoted file name ends at its closing quote; an unquoted one is the
// whole rest of the line, blanks included. Empty: no file named. nullopt: the quote around the
// program's name is never closed.
std::optional<QString> fileNameFromCommandLine(QStringView commandLine);

// `path` as the core's functions take it. The core reads "stdin" and writes "stdout" as the
// standard streams, which a windowed program must never block on, so those names are made to
// refer to the files of that name.
std::string coreFileName(const QString &path);

}  // namespace tarvex
