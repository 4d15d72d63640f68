#include "desktop/command_line.h"

namespace tarvex {

namespace {

// Sets what the option `word` asks for; false when it is no option of the program.
bool takeOption(QStringView word, StartOptions &options) {
    if (word == u"--help") return options.help = true;
    if (word == u"--version") return options.version = true;
    if (word == u"--full") return options.full = true;
    if (options.unknownOption.isEmpty()) options.unknownOption = word.toString();
    return false;
}

// The C library's isspace in the "C" locale, which is what separates the program's name.
bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

}  // namespace

StartOptions parseArguments(const QStringList &arguments) {
    StartOptions options;
    qsizetype first = 0;
    for (; first < arguments.size() && arguments[first].startsWith(u"--"); ++first) {
        if (arguments[first] == u"--") {
            ++first;
            break;
        }
        takeOption(arguments[first], options);
    }
    options.file = arguments.mid(first).join(u' ');
    return options;
}

StartOptions parseCommandLine(QStringView commandLine) {
    StartOptions options;
    qsizetype i = 0;
    const qsizetype n = commandLine.size();
    if (n > 0 && commandLine[0] == u'"') {
        const qsizetype close = commandLine.indexOf(u'"', 1);
        if (close < 0) {
            options.file = std::nullopt;
            return options;
        }
        i = close + 1;
    } else {
        while (i < n && !isBlank(commandLine[i])) ++i;
    }
    for (;;) {
        while (i < n && isBlank(commandLine[i])) ++i;
        if (!commandLine.mid(i).startsWith(u"--")) break;
        qsizetype end = i;
        while (end < n && !isBlank(commandLine[end])) ++end;
        const QStringView word = commandLine.mid(i, end - i);
        i = end;
        if (word == u"--") {
            while (i < n && isBlank(commandLine[i])) ++i;
            break;
        }
        takeOption(word, options);
    }
    if (i < n && commandLine[i] == u'"') {
        const qsizetype close = commandLine.indexOf(u'"', i + 1);
        options.file = commandLine.mid(i + 1, close < 0 ? -1 : close - i - 1).toString();
    } else {
        options.file = commandLine.mid(i).toString();
    }
    return options;
}

QString helpText() {
    return QStringLiteral(
        "usage: tarvexw [options] [3dmffile]\n"
        "  --help     print this help and exit\n"
        "  --version  print the program's name and version and exit\n"
        "  --full     read every object of the file and write all that VRML 97 can show\n"
        "  --         end the options: every later word is part of the file name\n"
        "The words after the options form one file name, read at once.\n");
}

}  // namespace tarvex
