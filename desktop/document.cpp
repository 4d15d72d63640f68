#include "desktop/document.h"

#include <QFileInfo>
#include <algorithm>

#include "conversion/conversion.h"
#include "conversion/skip_hint.h"
#include "core/convert.h"
#include "core/output_guard.h"
#include "core/result_codes.h"
#include "core/scene_store.h"
#include "desktop/file_names.h"
#include "tree/object_type.h"

namespace tarvex {

namespace {

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

// The converter's progress as the window takes it.
tarvex::Progress update_display(const Document::Progress &progress) {
    if (!progress) return {};
    return [&progress](int pct, std::string_view outputLine) {
        progress(std::clamp(pct, 0, 100), fromUtf8(outputLine));
    };
}

const QList<OutputFormat> &outputFormats() {
    static const QList<OutputFormat> formats = [] {
        const QList<OutputFormat> all = {
            {QStringLiteral("VRML 97"), QStringLiteral("VRML Files (*.wrl)"), QStringLiteral("wrl"),
             QStringLiteral("VRML world saved in %s")},
            {QStringLiteral("X3D"), QStringLiteral("X3D Files (*.x3d)"), QStringLiteral("x3d"),
             QStringLiteral("X3D world saved in %s")},
            {QStringLiteral("glTF 2.0"), QStringLiteral("glTF Binary Files (*.glb)"),
             QStringLiteral("glb"), QStringLiteral("glTF scene saved in %s")},
            {QStringLiteral("glTF 2.0 (JSON)"), QStringLiteral("glTF Files (*.gltf)"),
             QStringLiteral("gltf"), QStringLiteral("glTF scene saved in %s")},
        };
        // Only what this build writes.
        QList<OutputFormat> offered;
        for (const OutputFormat &format : all) {
            const auto known =
                conversion::format_from_file_name("x." + format.suffix.toStdString());
            if (!known || conversion::format_available(*known)) offered.append(format);
        }
        return offered;
    }();
    return formats;
}

const OutputFormat &outputFormatOf(const QString &path) {
    for (const OutputFormat &format : outputFormats())
        if (path.endsWith(u'.' + format.suffix, Qt::CaseInsensitive)) return format;
    return outputFormats().constFirst();
}

Document::Document() : conversion_(std::make_unique<conversion::Conversion>()) {}

Document::~Document() {
    clean_up();
}

void Document::clear() {
    clean_up();
    conversion_ = std::make_unique<conversion::Conversion>();
    shapesByObject_.clear();
    messages_.clear();
}

bool Document::fullMode() const {
    return conversion_->mode() == conversion::Mode::full;
}

bool Document::binaryInput() const {
    return conversion_->binary_input();
}

ReadReport Document::read(const QString &path, bool readAllObjects, const Progress &progress) {
    messages_.clear();
    shapesByObject_.clear();
    const std::string fileName = converterFileName(path);
    inputFileName_ = fileName;
    conversion::Options options;
    options.full = readAllObjects;
    options.outline = true;
    // A full-mode reading leaves the store alone; nothing of an earlier reading stays there.
    if (conversion::mode_for(fileName, options) == conversion::Mode::full) clean_up();
    const conversion::Result &result =
        conversion_->read(fileName, options, update_display(progress));

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
    report.ok = result.ok();
    report.cantOpen = result.status == conversion::Status::cant_open;
    if (result.status == conversion::Status::failed && result.mode == conversion::Mode::full) {
        // The message names the file and the line: no title to put in.
        report.failure = QString::fromStdString(result.message);
        report.failureNamesTitle = false;
        messages_.append({QString(), report.failure});
        return report;
    }
    if (!report.ok) {
        report.failure = readFailure(result.code);
        return report;
    }
    if (result.mode == conversion::Mode::default_mode) {
        report.skipped = QString::fromStdString(default_mode_skipped(fileName));
        if (!report.skipped.isEmpty())
            messages_.append({QString(), QStringLiteral("skipped ") + report.skipped});
        return report;
    }
    const auto &shapes = conversion_->scene().shapes;
    for (std::uint32_t i = 0; i < shapes.size(); ++i)
        shapesByObject_[shapes[i].source].push_back(i);
    report.summary = QString::fromStdString(diagnostics.summary());
    return report;
}

QString Document::writeHazard(const QString &path) const {
    const std::string input = inputFileName_.empty() ? std::string("stdin") : inputFileName_;
    return QString::fromUtf8(output_hazard_reason(output_hazard(input, converterFileName(path))));
}

bool Document::write(const QString &path, const Progress &progress) const {
    const std::string output = converterFileName(path);
    const conversion::Format format =
        conversion::format_from_file_name(output).value_or(conversion::Format::vrml97);
    if (format == conversion::Format::vrml97 || fullMode())
        return conversion_->write(output, format, OutputMode::binary, nullptr,
                                  update_display(progress)) == 0;
    // The other formats hold the whole scene, which only full mode reads: the file is read so
    // for this write alone, and what the window shows stays as it is.
    conversion::Options options;
    options.full = true;
    conversion::Conversion whole;
    if (!whole.read(inputFileName_, options, update_display(progress)).ok()) return false;
    return whole.write(output, format, OutputMode::binary) == 0;
}

draw::DrawList Document::drawList() const {
    return conversion_->draw_list();
}

const builder::Outline &Document::outline() const {
    return conversion_->outline();
}

ObjectKind Document::kindOf(const builder::OutlineItem &item) const {
    using tree::ObjectType;
    if (item.is_group) return ObjectKind::group;
    if (!fullMode() || item.source >= conversion_->tree().node_count()) return ObjectKind::other;
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
