// Every message the console program words itself, in one table, so that the manual can be held
// to it: a message added here without its DIAGNOSTICS entry in man/tarvex.1 fails the console
// test. "%s" stands for a name, a number or a quoted value. The reader's own messages are
// read_result_message's; full mode's warnings, summaries and repairs come from the stages that
// find them, and the manual describes them by their form.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tarvex {

enum class Text {
    usage,
    tooManyFiles,
    unknownOption,
    badSize,
    badFormat,
    badJobs,
    jobsNeedOutDir,
    verboseNeedsFull,
    verboseNeedsFullInBatch,
    noGltf,
    glbToTerminal,
    not3dmf,
    not3dmfLooksLike,
    errorWriting,
    verboseHint,
    skipHint,
    notThatFormat,
    outDirNeedsInputs,
    streamsInBatch,
    cantSearchFolder,
    cantMakeFolder,
    folderInTheWay,
    no3dmfFound,
    renamed,
    totals,
    failed,
    skippedIn,
    skippedInEmptyWorld,
    emptyWorldIn,
    numberedNamesTaken,
    batchSkipHint,
    count  // not a message: how many there are
};

constexpr std::string_view text_format(Text id) {
    switch (id) {
        case Text::usage:
            return "usage: tarvex [3dmffile] [wrlfile]";
        case Text::tooManyFiles:
            return "  too many file names: tarvex converts one 3DMF file into one VRML file; "
                   "--out-dir=DIR converts many";
        case Text::unknownOption:
            return "Unknown option %s!";
        case Text::badSize:
            return "Bad size for --max-output: \"%s\" (a number of bytes, or followed by K, M or "
                   "G)";
        case Text::badFormat:
            return "Bad format for --format: \"%s\" (vrml, x3d, gltf or glb)";
        case Text::badJobs:
            return "Bad number for --jobs: \"%s\" (how many files at once, 1 to 1024)";
        case Text::jobsNeedOutDir:
            return "--jobs converts many files: give the folder for them with --out-dir=DIR";
        case Text::verboseNeedsFull:
            return "--verbose lists full mode's warnings, and %s would be read in the default "
                   "mode: add --full";
        case Text::verboseNeedsFullInBatch:
            return "--verbose lists full mode's warnings: add --full";
        case Text::noGltf:
            return "This build of tarvex writes no glTF: %s is not written";
        case Text::glbToTerminal:
            return "glb output is binary and is not written to a terminal: name an output file";
        case Text::not3dmf:
            return "%s is not a 3DMF file";
        case Text::not3dmfLooksLike:
            return "%s is not a 3DMF file (it looks like %s)";
        case Text::errorWriting:
            return "Error writing to %s";
        case Text::verboseHint:
            return "hint: tarvex --full --verbose %s %s lists each one with its place";
        case Text::skipHint:
            return "hint: the default mode skipped %s; tarvex --full converts them";
        case Text::notThatFormat:
            return "%s holds a VRML 97 world: tarvex writes no %s files (only .wrl, .x3d, .gltf "
                   "and .glb)";
        case Text::outDirNeedsInputs:
            return "--out-dir needs the files or folders to convert";
        case Text::streamsInBatch:
            return "the standard streams cannot be among many inputs: name the files";
        case Text::cantSearchFolder:
            return "Can't search the folder %s";
        case Text::cantMakeFolder:
            return "Can't make the folder %s";
        case Text::folderInTheWay:
            return "  a file of that name is in the way";
        case Text::no3dmfFound:
            return "no 3DMF file found";
        case Text::renamed:
            return "%s: written as %s, since %s is taken by another file of this run";
        case Text::totals:
            return "%s converted, %s with warnings, %s failed";
        case Text::failed:
            return "failed: %s";
        case Text::skippedIn:
            return "%s: the default mode skipped %s";
        case Text::skippedInEmptyWorld:
            return "%s: the default mode skipped %s, and the world is empty";
        case Text::emptyWorldIn:
            return "%s: the world is empty";
        case Text::numberedNamesTaken:
            return "  it and %s numbered names beside it are taken";
        case Text::batchSkipHint:
            return "hint: the default mode skipped drawable objects in %s of %s files; tarvex "
                   "--full converts them";
        case Text::count:
            break;
    }
    return {};
}

// The message `id` with `values` in place of its "%s", in order; no line end.
std::string text(Text id, std::initializer_list<std::string_view> values = {});

}  // namespace tarvex
