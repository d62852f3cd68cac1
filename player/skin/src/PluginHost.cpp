#include "ombrix/skin/PluginHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <utility>

#include "HostProcess.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix {

using namespace pluginhost;

namespace {

Kind hostKind(PluginKind kind) {
    switch (kind) {
        case PluginKind::Background:
            return Kind::Background;
        case PluginKind::FullScreen:
            return Kind::FullScreen;
        case PluginKind::Amp:
            return Kind::Amp;
    }
    return Kind::Background;
}

/// Writes @p text as zero-terminated UTF-8, cut at a character boundary to fit @p size.
void putText(char* out, std::size_t size, const QString& text) {
    QByteArray bytes = text.toUtf8();
    if (static_cast<std::size_t>(bytes.size()) >= size) {
        qsizetype cut = static_cast<qsizetype>(size - 1);
        while (cut > 0 && (static_cast<uint8_t>(bytes[cut]) & 0xC0) == 0x80) --cut;
        bytes.truncate(cut);
    }
    copyText(out, size, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString getText(const char* text, std::size_t size) {
    return TextFile::decodeLine(
        QByteArray(text, static_cast<qsizetype>(boundedLength(text, size))));
}

/// A host started for @p path of @p kind, or null when the host cannot be started.
std::unique_ptr<HostProcess> startHost(PluginKind kind, const QString& path,
                                       const QString& programFolder, int width, int height) {
    auto process = std::make_unique<HostProcess>();
    if (!process->start(PluginHost::hostProgram(), hostKind(kind))) return nullptr;
    SharedBlock& b = process->block();
    putText(b.path, sizeof b.path, path);
    putText(b.programFolder, sizeof b.programFolder, programFolder);
    b.width = width;
    b.height = height;
    return process;
}

}  // namespace

PluginHost::PluginHost(PluginKind kind)
    : kind_(kind),
      width_(kind == PluginKind::Background ? 220 : 320),
      height_(kind == PluginKind::Background ? 80 : 240),
      frame_(static_cast<std::size_t>(width_ * height_), 0),
      canvas_(kind == PluginKind::Amp ? std::size_t{kCanvasWidth * kCanvasHeight} : 0, 0),
      palette_(256, qRgb(0, 0, 0)) {}

PluginHost::~PluginHost() {
    unload();
}

QString PluginHost::hostProgram() {
    const QString name = QStringLiteral("ombrix-plugin-host");
    const QString chosen = qEnvironmentVariable("OMBRIX_PLUGIN_HOST");
    if (!chosen.isEmpty()) return QFileInfo(chosen).isExecutable() ? chosen : QString();
    const QDir dir(QCoreApplication::applicationDirPath());
    for (const QString& candidate : {dir.filePath(name), dir.filePath("../lib/ombrix/" + name)}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable()) return info.absoluteFilePath();
    }
    return {};
}

bool PluginHost::loaded() const {
    return process_ != nullptr && !failed_;
}

bool PluginHost::load(const QString& path, const QString& programFolder, QString* error) {
    unload();
    failed_ = false;
    failure_.clear();
    std::fill(frame_.begin(), frame_.end(), uint8_t{0});
    std::fill(canvas_.begin(), canvas_.end(), 0u);
    const QString invalid = QStringLiteral("Invalid plugin.");
    process_ = startHost(kind_, path, programFolder, width_, height_);
    if (!process_) {
        fail(QStringLiteral("plug-in host missing"));
        process_.reset();
        if (error) *error = invalid;
        return false;
    }
    Reply reply{};
    HostProcess::Wait wait = HostProcess::Wait::Died;
    if (process_->send(Command::Load)) wait = process_->wait(&reply, kLoadLimitMs);
    if (wait != HostProcess::Wait::Answered || reply.status != Status::Ok) {
        const bool format =
            wait == HostProcess::Wait::Answered && reply.status == Status::InvalidFormat;
        if (error) *error = format ? QStringLiteral("invalid format") : invalid;
        fail(wait == HostProcess::Wait::Pending ? QStringLiteral("plug-in stopped responding")
             : wait == HostProcess::Wait::Died  ? QStringLiteral("plug-in crashed")
                                                : invalid);
        process_->kill();
        process_.reset();
        return false;
    }
    const SharedBlock& b = process_->block();
    const int count = std::clamp(reply.value, 0, kMaxModules);
    for (int i = 0; i < count && kind_ == PluginKind::Amp; ++i)
        modules_ << getText(b.modules[i], kMaxModuleName);
    readPalette();
    paletteChanged_ = false;
    collect(true);
    return true;
}

QStringList PluginHost::ampModules() const {
    return modules_;
}

bool PluginHost::selectModule(int index) {
    if (!loaded() || kind_ != PluginKind::Amp || index < 0 || index >= modules_.size())
        return false;
    if (pending_ && !waitForAnswer(kAnswerLimitMs)) {
        if (!failed_) fail(QStringLiteral("plug-in stopped responding"));
        return false;
    }
    Reply reply{};
    if (!process_->send(Command::SelectModule, index)) {
        fail(QStringLiteral("plug-in crashed"));
        return false;
    }
    switch (process_->wait(&reply, kAnswerLimitMs)) {
        case HostProcess::Wait::Answered:
            return reply.status == Status::Ok;
        case HostProcess::Wait::Pending:
            fail(QStringLiteral("plug-in stopped responding"));
            break;
        case HostProcess::Wait::Died:
            fail(QStringLiteral("plug-in crashed"));
            break;
    }
    return false;
}

void PluginHost::update(const QString& title, int timeMs, int leftLevel, int rightLevel,
                        const uint8_t* waveform, const uint8_t* spectrum) {
    if (!loaded()) return;
    if (pending_) {
        Reply reply{};
        switch (process_->wait(&reply, 0)) {
            case HostProcess::Wait::Answered:
                collect(reply.status == Status::Ok);
                break;
            case HostProcess::Wait::Died:
                fail(QStringLiteral("plug-in crashed"));
                return;
            case HostProcess::Wait::Pending:
                if (++missed_ >= kMissedTicks) fail(QStringLiteral("plug-in stopped responding"));
                return;
        }
        if (failed_) return;
    }
    SharedBlock& b = process_->block();
    putText(b.title, sizeof b.title, title);
    b.timeMs = timeMs;
    b.record.leftLevel = leftLevel;
    b.record.rightLevel = rightLevel;
    b.record.paletteChanged = 0;
    b.haveWaveform = waveform != nullptr;
    b.haveSpectrum = spectrum != nullptr;
    if (waveform) std::memcpy(b.waveform, waveform, sizeof b.waveform);
    if (spectrum) std::memcpy(b.spectrum, spectrum, sizeof b.spectrum);
    if (!process_->send(Command::Update)) {
        fail(QStringLiteral("plug-in crashed"));
        return;
    }
    pending_ = true;
    missed_ = 0;
}

bool PluginHost::waitForAnswer(int limitMs) {
    if (!loaded() || !pending_) return false;
    Reply reply{};
    switch (process_->wait(&reply, limitMs)) {
        case HostProcess::Wait::Answered:
            collect(reply.status == Status::Ok);
            return !failed_;
        case HostProcess::Wait::Died:
            fail(QStringLiteral("plug-in crashed"));
            return false;
        case HostProcess::Wait::Pending:
            return false;
    }
    return false;
}

void PluginHost::collect(bool ok) {
    pending_ = false;
    missed_ = 0;
    if (!ok) {
        fail(QStringLiteral("plug-in ended"));
        return;
    }
    // The host is idle now: nothing writes the block while it is copied.
    const SharedBlock& b = process_->block();
    if (kind_ == PluginKind::Amp) {
        std::memcpy(canvas_.data(), b.canvas, canvas_.size() * sizeof(uint32_t));
        return;
    }
    std::memcpy(frame_.data(), b.frame, frame_.size());
    if (b.record.paletteChanged != 0) {
        readPalette();
        paletteChanged_ = true;
    }
}

void PluginHost::readPalette() {
    const OmbrixPaletteEntry* p = process_->block().record.palette;
    for (int i = 0; i < 256; ++i) palette_[i] = qRgb(p[i].red, p[i].green, p[i].blue);
}

bool PluginHost::takePaletteChanged() {
    return std::exchange(paletteChanged_, false);
}

void PluginHost::fail(const QString& reason) {
    failed_ = true;
    failure_ = reason;
    pending_ = false;
    if (process_) process_->kill();
}

void PluginHost::unload() {
    if (process_) process_->stop(kCloseLimitMs);
    process_.reset();
    pending_ = false;
    missed_ = 0;
    modules_.clear();
    paletteChanged_ = false;
}

QString PluginHost::description(PluginKind kind, const QString& path) {
    auto process = startHost(kind, path, QString(), 0, 0);
    if (!process || !process->send(Command::Description)) return {};
    Reply reply{};
    QString text;
    if (process->wait(&reply, kAnswerLimitMs) == HostProcess::Wait::Answered &&
        reply.status == Status::Ok) {
        const SharedBlock& b = process->block();
        text = getText(b.description, sizeof b.description);
    }
    process->reap(kCloseLimitMs);
    return text;
}

bool PluginHost::configure(PluginKind kind, const QString& path, const QString& programFolder,
                           int module) {
    const bool background = kind == PluginKind::Background;
    auto process =
        startHost(kind, path, programFolder, background ? 220 : 320, background ? 80 : 240);
    if (!process || !process->send(Command::Config, module)) return false;
    Reply reply{};
    const bool present = process->wait(&reply, kLoadLimitMs) == HostProcess::Wait::Answered &&
                         reply.status == Status::Ok;
    process->reap(kCloseLimitMs);
    return present;
}

}  // namespace ombrix
