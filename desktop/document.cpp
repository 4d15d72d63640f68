#include "desktop/document.h"

#include <QFileInfo>
#include <algorithm>

#include "console/skip_hint.h"
#include "conversion/full_conversion.h"
#include "core/convert.h"
#include "core/progress.h"
#include "core/result_codes.h"
#include "core/scene_store.h"
#include "desktop/file_names.h"
#include "tree/object_type.h"

namespace tarvex {

namespace {

// Where the default mode's reader and writer report, while one of them runs.
const Document::Progress *activeProgress = nullptr;

class ProgressScope {
  public:
    explicit ProgressScope(const Document::Progress &progress) { activeProgress = &progress; }
    ~ProgressScope() { activeProgress = nullptr; }
    ProgressScope(const ProgressScope &) = delete;
    ProgressScope &operator=(const ProgressScope &) = delete;
};

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The default mode's messages with their "%s" kept, so that the box puts in the title as every
// other box does.
QString readFailure(int code) {
    return QString::fromStdString(read_result_message(code, "%s"));
}

bool between(tree::ObjectType type, tree::ObjectType first, tree::ObjectType last) {
    return type >= first && type <= last;
}

}  // namespace

void update_display(int pct, std::string_view outputLine) {
    if (activeProgress != nullptr && *activeProgress)
        (*activeProgress)(std::clamp(pct, 0, 100), fromUtf8(outputLine));
}

const QList<OutputFormat> &outputFormats() {
    static const QList<OutputFormat> formats = {
        {QStringLiteral("VRML 97"), QStringLiteral("VRML Files (*.wrl)"), QStringLiteral("wrl")},
    };
    return formats;
}

Document::Document() = default;

Document::~Document() {
    clean_up();
}

void Document::clear() {
    clean_up();
    conversion_.reset();
    shapesByObject_.clear();
    messages_.clear();
}

bool Document::binaryInput() const {
    return conversion_ && conversion_->binary_input();
}

ReadReport Document::read(const QString &path, bool readAllObjects, const Progress &progress) {
    messages_.clear();
    shapesByObject_.clear();
    const std::string fileName = converterFileName(path);
    if (readAllObjects || conversion::is_binary_input(fileName))
        return this->readAllObjects(fileName, progress);

    conversion_.reset();
    ReadReport report;
    int result = CNV_OK;
    {
        const ProgressScope scope(progress);
        result = read_in(fileName);
    }
    report.ok = result == CNV_OK;
    report.failure = readFailure(result);
    report.cantOpen = result == CNV_CANT_OPEN;
    if (report.ok) {
        report.skipped = QString::fromStdString(default_mode_skipped(fileName));
        if (!report.skipped.isEmpty())
            messages_.append({QString(), QStringLiteral("skipped ") + report.skipped});
    }
    return report;
}

ReadReport Document::readAllObjects(const std::string &fileName, const Progress &progress) {
    // The default mode's store is not used in full mode; the new reading replaces the old one.
    clean_up();
    conversion_ = std::make_unique<conversion::Conversion>();
    const conversion::ReadResult result = conversion_->read(fileName, [&progress](int pct) {
        if (progress) progress(std::clamp(pct, 0, 100), {});
    });

    // In the file's order: the readers and the builder each report in their own pass.
    const tree::Diagnostics &diagnostics = conversion_->diagnostics();
    std::vector<const tree::Diagnostics::Entry *> entries;
    for (const tree::Diagnostics::Entry &entry : diagnostics.entries()) entries.push_back(&entry);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto *a, const auto *b) { return a->position < b->position; });
    for (const tree::Diagnostics::Entry *entry : entries)
        messages_.append({QString::fromStdString(diagnostics.where(entry->position)),
                          QString::fromStdString(entry->text)});

    ReadReport report;
    switch (result) {
        case conversion::ReadResult::ok:
            report.ok = true;
            break;
        case conversion::ReadResult::cant_open:
            report.failure = readFailure(CNV_CANT_OPEN);
            report.cantOpen = true;
            return report;
        case conversion::ReadResult::empty:
            report.failure = readFailure(CNV_EMPTY_FILE);
            return report;
        case conversion::ReadResult::read_error:
            report.failure = readFailure(CNV_READ_ERROR);
            return report;
        case conversion::ReadResult::failed:
            // The message names the file and the line: no title to put in.
            report.failure = QString::fromStdString(conversion_->error());
            report.failureNamesTitle = false;
            messages_.append({QString(), report.failure});
            return report;
    }
    const auto &shapes = conversion_->scene().shapes;
    for (std::uint32_t i = 0; i < shapes.size(); ++i)
        shapesByObject_[shapes[i].source].push_back(i);
    report.summary = QString::fromStdString(diagnostics.summary());
    return report;
}

bool Document::write(const QString &path, const Progress &progress) const {
    // Only VRML 97 is written so far; every suffix writes it.
    const std::string output = converterFileName(path);
    if (conversion_) return conversion_->write(output, OutputMode::binary) == 0;
    const ProgressScope scope(progress);
    return write_out(output, OutputMode::binary) == 0;
}

draw::DrawList Document::drawList() const {
    return conversion_ ? draw::fromScene(conversion_->scene()) : draw::fromStore();
}

const std::vector<scene::OutlineItem> &Document::outline() const {
    static const std::vector<scene::OutlineItem> none;
    return conversion_ ? conversion_->scene().outline : none;
}

ObjectKind Document::kindOf(const scene::OutlineItem &item) const {
    using tree::ObjectType;
    if (item.is_group) return ObjectKind::group;
    if (!conversion_ || item.source >= conversion_->tree().node_count()) return ObjectKind::other;
    const ObjectType type = conversion_->tree().node(item.source).type;
    if (between(type, ObjectType::Point, ObjectType::PixmapMarker)) return ObjectKind::geometry;
    if (between(type, ObjectType::DiffuseColor, ObjectType::VertexAttributeSetList) ||
        between(type, ObjectType::BackfacingStyle, ObjectType::FogStyle) ||
        between(type, ObjectType::Shader, ObjectType::NULLIllumination))
        return ObjectKind::attributes;
    if (between(type, ObjectType::LightData, ObjectType::SpotLight)) return ObjectKind::light;
    if (between(type, ObjectType::CameraPlacement, ObjectType::ViewAngleAspectCamera))
        return ObjectKind::camera;
    if (between(type, ObjectType::ViewHints, ObjectType::ForwardDirection)) return ObjectKind::hint;
    return ObjectKind::other;
}

const std::vector<std::uint32_t> &Document::shapesMadeFrom(std::uint32_t object) const {
    static const std::vector<std::uint32_t> none;
    const auto found = shapesByObject_.find(object);
    return found == shapesByObject_.end() ? none : found->second;
}

}  // namespace tarvex
