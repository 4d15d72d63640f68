// The desktop program's command line: the options it shares with the console program, and the
// one input file it reads at once.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace tarvex {

struct StartOptions {
    bool help = false;
    bool version = false;
    bool full = false;      // read the file with Options > Read all objects on
    QString unknownOption;  // the first word that looks like an option but is none
    // The input file: empty when none is named, nullopt when the quote around the program's own
    // name is never closed.
    std::optional<QString> file = QString();
};

// Leading words beginning with "--" are options, until a bare "--" ends them; the words after
// them form one file name, joined with blanks, so that a name with blanks works unquoted.
// `arguments` leaves out the program's name.
StartOptions parseArguments(const QStringList &arguments);

// The same rules for a raw command line that still starts with the program's own name, which
// may be quoted, as Windows hands it over. After the options, a quoted file name ends at its
// closing quote; an unquoted one is the whole rest of the line, blanks included.
StartOptions parseCommandLine(QStringView commandLine);

// What --help prints.
QString helpText();

}  // namespace tarvex
