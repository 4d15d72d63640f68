// How the desktop program names files: what it shows of a path, the output it proposes, and the
// name it hands to the converter.
#pragma once

#include <QString>
#include <string>

namespace tarvex {

// The last path component of `path`: what the program shows as a file's name.
QString fileTitle(const QString &path);

// The output file name proposed for `inputPath`: the file name's own extension replaced by
// `suffix` (".wrl"), or `suffix` appended when it has none. Directory names are never touched.
QString deriveOutputName(const QString &inputPath, const QString &suffix = QStringLiteral(".wrl"));

// `path` as the converter takes it. The converter reads "stdin" and writes "stdout" as the
// standard streams, which a windowed program must never block on, so those names are made to
// refer to the files of that name.
std::string converterFileName(const QString &path);

}  // namespace tarvex
