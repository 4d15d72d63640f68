// The file the window works on, and everything the window asks of the converter: reading in the
// mode chosen, what a read has to say, the picture, writing. The window reaches the converter
// through this class alone, so that how a conversion is run can change behind it.
#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "builder/outline.h"
#include "draw/draw_list.h"

namespace tarvex {

namespace conversion {
class Conversion;
}

// What an object of the outline is, for its picture in the tree.
enum class ObjectKind { geometry, group, attributes, light, camera, hint, other };

// A format Save As offers: its name, its file dialog filter and the file name suffix that
// chooses it. The first is proposed.
struct OutputFormat {
    QString name;    // "VRML 97"
    QString filter;  // "VRML Files (*.wrl)"
    QString suffix;  // "wrl"
    QString saved;   // "VRML world saved in %s", the status once a file is written
};
const QList<OutputFormat> &outputFormats();
// The format a file named `path` is written in: the one its suffix names, else the first.
const OutputFormat &outputFormatOf(const QString &path);

// One thing a read has to tell: a warning or a skipped object, and where it was.
struct Message {
    QString place;  // "line 12", "byte 1024"; empty when it concerns the whole file
    QString text;
};

struct ReadReport {
    bool ok = false;
    // The warning box's text when the read failed. "%s" in it stands for the input's title
    // when failureNamesTitle; otherwise the text names the file itself.
    QString failure;
    bool failureNamesTitle = true;
    bool cantOpen = false;  // the file could not be opened at all
    // Full mode: "skipped: 2 NURBCurve; 3 warnings"; empty when there is nothing to say.
    QString summary;
    // The default mode: the drawable objects it skipped, "3 objects (2 Box, 1 Cone)"; empty
    // when none.
    QString skipped;
};

class Document {
  public:
    // Percentages of the work done; a non-empty line names a triangle mesh the default mode read.
    using Progress = std::function<void(int pct, QStringView line)>;

    Document();
    ~Document();
    Document(const Document &) = delete;
    Document &operator=(const Document &) = delete;

    // Reads `path` in full mode when `readAllObjects` or when the file is binary, else in the
    // default mode, replacing what was read before. What was read before a failure is kept.
    ReadReport read(const QString &path, bool readAllObjects, const Progress &progress);
    // Writes what was read (or an empty world) to `path`, in the format its suffix names (VRML
    // 97 for any other); a format other than VRML 97 reads the file in full mode for it. False
    // when the file could not be read or written.
    bool write(const QString &path, const Progress &progress) const;
    // Why writing `path` would destroy the input or another 3DMF file; "" when it would not.
    QString writeHazard(const QString &path) const;
    // Forgets what was read.
    void clear();

    bool fullMode() const;
    bool binaryInput() const;
    // The picture of what was read. Throws std::bad_alloc when memory runs out.
    draw::DrawList drawList() const;
    // The last read's warnings and skipped objects, in the order of their places in the file.
    const QList<Message> &messages() const { return messages_; }

    // Full mode only (empty otherwise): the outline of what was read, what each of its items
    // is, and the scene shapes made from an object of the file.
    const builder::Outline &outline() const;
    ObjectKind kindOf(const builder::OutlineItem &item) const;
    const std::vector<std::uint32_t> &shapesMadeFrom(std::uint32_t object) const;

  private:
    std::unique_ptr<conversion::Conversion> conversion_;
    std::string inputFileName_;  // of the last read
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> shapesByObject_;
    QList<Message> messages_;
};

}  // namespace tarvex
