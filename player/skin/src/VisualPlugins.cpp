#include "ombrix/skin/VisualPlugins.h"

#include <QDir>
#include <QFileInfo>
#include <cstring>

namespace ombrix {
namespace {

const QString kDefaultEntry = QStringLiteral("bg/default");
const QString kBumpEntry = QStringLiteral("bg/bump");

}  // namespace

VisualPlugins::VisualPlugins(QString home, Hooks hooks)
    : home_(std::move(home)),
      hooks_(std::move(hooks)),
      catalog_(QDir(home_).filePath(QStringLiteral("plugin"))) {}

VisualPlugins::~VisualPlugins() {
    unloadAll();
}

void VisualPlugins::scan() {
    catalog_.scan();
}

QStringList VisualPlugins::captions(PluginKind kind) const {
    return catalog_.captions(kind);
}

QStringList VisualPlugins::entries() const {
    return QStringList{kDefaultEntry, kBumpEntry} + catalog_.entries();
}

PluginKind VisualPlugins::entryKind(const QString& entry) {
    if (entry.startsWith(QLatin1String("full/"))) return PluginKind::FullScreen;
    if (entry.startsWith(QLatin1String("amp/"))) return PluginKind::Amp;
    return PluginKind::Background;
}

QString VisualPlugins::entryPath(const QString& entry) const {
    if (entry == kDefaultEntry || entry == kBumpEntry) return {};
    const PluginKind kind = entryKind(entry);
    const QString file = entry.mid(pluginFolderName(kind).size() + 1);
    for (const QString& caption : catalog_.captions(kind)) {
        const QString path = catalog_.path(kind, caption);
        if (QFileInfo(path).fileName() == file) return path;
    }
    return {};
}

std::unique_ptr<PluginHost> VisualPlugins::load(PluginKind kind, const QString& caption) {
    const QString path = catalog_.path(kind, caption);
    auto host = std::make_unique<PluginHost>(kind);
    QString error;
    if (path.isEmpty() || !host->load(path, QDir(home_).absolutePath() + u'/', &error)) {
        if (hooks_.message)
            hooks_.message(error.isEmpty() ? QStringLiteral("Invalid plugin.") : error);
        return nullptr;
    }
    return host;
}

void VisualPlugins::setScreen(ScreenDisplay* screen) {
    screen_ = screen;
    if (!screen_) return;
    if (backgroundIndex_ == 1)
        screen_->useBumpBackground(hooks_.bumpLight ? hooks_.bumpLight() : BumpBackground::Light{});
    else if (background_)
        screen_->usePluginBackground(backgroundIndex_, this, background_->palette());
    else
        screen_->useDefaultBackground();
}

void VisualPlugins::chooseBackground(int index) {
    if (index == 0 && backgroundIndex_ == 0 && !background_) return;
    background_.reset();
    const QStringList plugins = captions(PluginKind::Background);
    if (index < 0 || index - 2 >= plugins.size()) index = 0;
    backgroundIndex_ = index;
    if (index >= 2) {
        background_ = load(PluginKind::Background, plugins.at(index - 2));
        if (!background_) backgroundIndex_ = 0;
    }
    setScreen(screen_);
}

bool VisualPlugins::openFullScreen(int index) {
    closeFullScreen();
    const QStringList plugins = captions(PluginKind::FullScreen);
    if (index < 0 || index >= plugins.size()) return false;
    full_ = load(PluginKind::FullScreen, plugins.at(index));
    if (!full_) return false;
    fullPalette_ = full_->palette();
    fullFrame_.assign(size_t(320 * 240), uint8_t{0});
    fullOpen_ = true;
    return true;
}

void VisualPlugins::closeFullScreen() {
    full_.reset();
    fullOpen_ = false;
}

bool VisualPlugins::chooseAmp(int index, const std::function<int(const QStringList&)>& pick) {
    closeAmp();
    const QStringList plugins = captions(PluginKind::Amp);
    if (index < 0 || index >= plugins.size()) return false;
    amp_ = load(PluginKind::Amp, plugins.at(index));
    if (!amp_) return false;
    const QStringList modules = amp_->ampModules();
    if (modules.size() > 1) {
        const int chosen = pick ? pick(modules) : 0;
        if (chosen < 0 || !amp_->selectModule(chosen)) {
            closeAmp();
            return false;
        }
    }
    ampIndex_ = index;
    return true;
}

void VisualPlugins::closeAmp() {
    amp_.reset();
    ampIndex_ = -1;
}

const uint32_t* VisualPlugins::ampCanvas() const {
    return amp_ ? amp_->canvas() : nullptr;
}

void VisualPlugins::fail(const QString& why) {
    if (hooks_.message) hooks_.message(why);
}

void VisualPlugins::tick(const TickInput& input) {
    input_ = input;
    if (background_ && background_->failed()) {
        const QString why = background_->failure();
        background_.reset();
        backgroundIndex_ = 0;
        setScreen(screen_);
        fail(why);
    }
    if (full_) {
        if (full_->failed()) {
            // The window keeps the last picture until a key or a click closes it.
            fail(full_->failure());
            full_.reset();
        } else {
            full_->update(input.title, input.timeMs, input.left, input.right, nullptr, nullptr);
            std::memcpy(fullFrame_.data(), full_->frame(), fullFrame_.size());
            if (full_->takePaletteChanged()) fullPalette_ = full_->palette();
        }
    }
    if (amp_) {
        if (amp_->failed()) {
            fail(amp_->failure());
            closeAmp();
        } else {
            amp_->update(input.title, input.timeMs, input.left, input.right, input.waveform,
                         input.spectrum);
        }
    }
}

bool VisualPlugins::drawFrame(uint8_t* frame, QList<QRgb>& palette) {
    if (!background_) return false;
    if (!background_->failed())
        background_->update(input_.title, input_.timeMs, input_.left, input_.right, nullptr,
                            nullptr);
    std::memcpy(frame, background_->frame(), size_t(BumpBackground::kPixels));
    if (!background_->takePaletteChanged()) return false;
    palette = background_->palette();
    return true;
}

void VisualPlugins::unloadAll() {
    if (screen_ && background_) screen_->useDefaultBackground();
    background_.reset();
    full_.reset();
    fullOpen_ = false;
    amp_.reset();
}

}  // namespace ombrix
