#include "ombrix/app/PluginWindows.h"

#include <QActionGroup>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include "mixora.h"
#include "ombrix/control/PlayerState.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/skin/PanelFont.h"
#include "ombrix/skin/SkinFile.h"
#include "ombrix/windows/visuals/BumpSettingsWindow.h"
#include "ombrix/windows/visuals/FullScreenWindow.h"
#include "ombrix/windows/visuals/VisualizationWindow.h"

namespace ombrix {

PluginWindows::PluginWindows(SettingsStore& store, const QString& home, QWidget* mainWindow,
                             std::function<void(const QString&)> message)
    : store_(store),
      home_(home),
      main_(mainWindow),
      plugins_(home, VisualPlugins::Hooks{
                         [this] {
                             const PlayerSettings& s = store_.settings();
                             return BumpBackground::Light{int(s.plasmacolor), s.glbambient,
                                                          s.glbreflect, s.glblight};
                         },
                         std::move(message)}) {}

PluginWindows::~PluginWindows() {
    fullScreen_.reset();
    amp_.reset();
    plugins_.unloadAll();
}

void PluginWindows::start() {
    plugins_.scan();
    plugins_.chooseBackground(store_.settings().glbbg);
}

void PluginWindows::fillMenu(QMenu* menu) {
    menu->clear();
    auto addKind = [&](const QString& title, const char* name, const QStringList& items,
                       int checked, auto choose) {
        QMenu* sub = menu->addMenu(title);
        sub->menuAction()->setObjectName(QString::fromLatin1(name));
        auto* group = new QActionGroup(sub);
        for (int i = 0; i < items.size(); ++i) {
            QAction* a = sub->addAction(items.at(i));
            a->setCheckable(true);
            a->setChecked(i == checked);
            group->addAction(a);
            // Chosen after the menu has closed: a full-screen window or a chooser opens then.
            connect(a, &QAction::triggered, this,
                    [this, choose, i] { QTimer::singleShot(0, this, [this, choose, i] { (this->*choose)(i); }); });
        }
        sub->setEnabled(!items.isEmpty());
    };
    const QStringList backgrounds = QStringList{QStringLiteral("default"), QStringLiteral("bump")} +
                                    plugins_.captions(PluginKind::Background);
    addKind(tr("&Background"), "Background1", backgrounds, plugins_.backgroundIndex(),
            &PluginWindows::chooseBackground);
    addKind(tr("&Fullscreen"), "Fullscreen1", plugins_.captions(PluginKind::FullScreen), -1,
            &PluginWindows::openFullScreen);
    addKind(tr("&Amp"), "Amp1", plugins_.captions(PluginKind::Amp), plugins_.ampIndex(),
            &PluginWindows::chooseAmp);
}

void PluginWindows::chooseBackground(int index) {
    plugins_.chooseBackground(index);
    const int chosen = plugins_.backgroundIndex();
    store_.change([chosen](PlayerSettings& s) { s.glbbg = chosen; });
    emit activityChanged();
}

void PluginWindows::openFullScreen(int index) {
    closeFullScreen();
    if (!plugins_.openFullScreen(index)) return;
    fullScreen_ = std::make_unique<FullScreenWindow>();
    connect(fullScreen_.get(), &FullScreenWindow::closed, this, [this] {
        // Not inside the window's own event handler: it goes once the handler has returned.
        QTimer::singleShot(0, this, &PluginWindows::closeFullScreen);
    });
    fullScreen_->open(main_);
    if (main_) main_->hide();
    emit activityChanged();
}

void PluginWindows::closeFullScreen() {
    if (!fullScreen_ && !plugins_.fullScreenOpen()) return;
    plugins_.closeFullScreen();
    fullScreen_.reset();
    if (main_) {
        main_->show();
        main_->raise();
        main_->activateWindow();
    }
    emit activityChanged();
}

void PluginWindows::chooseAmp(int index) {
    closeAmp();
    const bool running = plugins_.chooseAmp(
        index, [this](const QStringList& modules) { return chooseVisualization(modules, main_); });
    if (running) {
        amp_ = std::make_unique<VisualizationWindow>();
        amp_->setWindowTitle(plugins_.captions(PluginKind::Amp).value(index));
        connect(amp_.get(), &VisualizationWindow::closed, this,
                [this] { QTimer::singleShot(0, this, &PluginWindows::closeAmp); });
        // Below the panel, where it does not cover it.
        if (main_) amp_->move(main_->frameGeometry().bottomLeft() + QPoint(0, 1));
        amp_->show();
    }
    emit activityChanged();
}

void PluginWindows::closeAmp() {
    if (!amp_ && !plugins_.ampRunning()) return;
    plugins_.closeAmp();
    amp_.reset();
    emit activityChanged();
}

void PluginWindows::openBumpSettings(QWidget* parent) {
    BumpSettingsWindow(store_, parent).exec();
}

FullScreenPicture::Text PluginWindows::fullScreenText(const PlayerState& state) {
    // The panel's screen is hidden meanwhile, so the slide-in of a new song's lines is kept
    // here, at the screen's pace.
    if (state.playback != fullPlayback_) {
        fullPlayback_ = state.playback;
        fullSlide_ = ScreenDisplay::kSlideStart;
    }
    const PlayerSettings& s = store_.settings();
    FullScreenPicture::Text text;
    text.lines = {state.line1, state.line2, state.line3};
    text.left = s.labelsleft;
    text.top = s.labelstop;
    text.slide = fullSlide_;
    text.font = PanelFont::fromSetting(s.screenfont);
    text.color = QColor(SkinFile::rgbFromColorRef(s.screenfont.color));
    fullSlide_ = std::max(0, fullSlide_ - ScreenDisplay::kSlideStep);
    return text;
}

namespace {
const QString kDefaultDescription = QStringLiteral("default by Tessik.");
const QString kBumpDescription = QStringLiteral("bump by Tessik.");
}  // namespace

QString PluginWindows::description(const QString& entry) const {
    if (entry == QLatin1String("bg/default")) return kDefaultDescription;
    if (entry == QLatin1String("bg/bump")) return kBumpDescription;
    const QString path = plugins_.entryPath(entry);
    return path.isEmpty() ? QString() : PluginHost::description(VisualPlugins::entryKind(entry), path);
}

void PluginWindows::properties(const QString& entry, QWidget* parent) {
    if (entry == QLatin1String("bg/default")) {
        QMessageBox::information(parent, QStringLiteral("Config"), kDefaultDescription);
        return;
    }
    if (entry == QLatin1String("bg/bump")) {
        openBumpSettings(parent);
        return;
    }
    const QString path = plugins_.entryPath(entry);
    if (path.isEmpty() || !PluginHost::configure(VisualPlugins::entryKind(entry), path,
                                                 QDir(home_).absolutePath() + u'/'))
        QMessageBox::information(parent, QStringLiteral("Config"), QStringLiteral("Invalid format."));
}

void PluginWindows::tick(const PlayerState& state) {
    if (!plugins_.wantsLevels()) return;
    float left = 0, right = 0;
    const bool amp = plugins_.ampRunning();
    if (store_.settings().enablevu || amp)
        XMGetVisualization(&left, &right, amp ? waveform_.data() : nullptr,
                           amp ? spectrum_.data() : nullptr);
    if (!store_.settings().enablevu) left = right = 0;
    VisualPlugins::TickInput in;
    in.title = state.line1;
    in.timeMs = state.playing && !state.paused ? std::max(0, state.elapsedMs) : 0;
    in.left = int(left / 256);
    in.right = int(right / 256);
    in.waveform = amp ? waveform_.data() : nullptr;
    in.spectrum = amp ? spectrum_.data() : nullptr;
    plugins_.tick(in);
    if (fullScreen_ && plugins_.fullScreenOpen()) {
        fullScreen_->setFrame(plugins_.fullScreenFrame(), plugins_.fullScreenPalette(),
                              store_.effectiveMmx());
        fullScreen_->setText(fullScreenText(state));
    }
    if (amp_ && plugins_.ampRunning()) amp_->setCanvas(plugins_.ampCanvas());
    if (amp_ && !plugins_.ampRunning()) closeAmp();
}

}  // namespace ombrix
