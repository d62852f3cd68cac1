#include "ombrix/app/MainWindow.h"

#include <algorithm>
#include <cstdlib>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

#include "mixora.h"
#include "mp3.h"
#include "ombrix/app/AboutBox.h"
#include "ombrix/app/MainMenus.h"
#include "ombrix/app/PanelDisplay.h"
#include "ombrix/control/AudioMixer.h"
#include "ombrix/control/CommandLine.h"
#include "ombrix/control/DropCollector.h"
#include "ombrix/control/InstanceMessage.h"
#include "ombrix/control/MixerRules.h"
#include "ombrix/control/OutputLevel.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/control/VirtualKey.h"
#include "ombrix/desktop/AlsaMixer.h"
#include "ombrix/desktop/DesktopIntegration.h"
#include "ombrix/desktop/GlobalHotKeys.h"
#include "ombrix/desktop/SingleInstance.h"
#include "ombrix/effects/DecoderEqualizer.h"
#include "ombrix/effects/EffectorSettings.h"
#include "ombrix/effects/EqualizerCurve.h"
#include "ombrix/effects/MixoraDesk.h"
#include "ombrix/library/PlaylistFile.h"
#include "ombrix/remote/TelnetDaemon.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/PrivateFolder.h"
#include "ombrix/settings/TextFile.h"
#include "ombrix/windows/common/DialogFilter.h"
#include "ombrix/windows/common/PlaylistSaveDialog.h"
#include "ombrix/windows/effects/DjWindow.h"
#include "ombrix/windows/effects/EqualizerWindow.h"
#include "ombrix/windows/playlist/DesktopPlaylist.h"
#include "ombrix/windows/playlist/PlaylistWindow.h"
#include "ombrix/windows/tag/TagWindow.h"

namespace ombrix {
namespace {

const QString kAppTitle = QStringLiteral("Ombrix Player");
const QString kBackup = QStringLiteral("backup.dmp");

QIcon programIcon() {
    // A simple drawn icon until the desktop data ships its own.
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x2b, 0xb3, 0xa8));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(4, 4, 56, 56));
    p.setBrush(QColor(0x10, 0x14, 0x1b));
    const QPointF tri[3] = {{25, 18}, {25, 46}, {47, 32}};
    p.drawPolygon(tri, 3);
    return QIcon(pm);
}

}  // namespace

MainWindow::MainWindow(Options options)
    : home_(options.home),
      store_(home_, ProcessorFeatures::detect()),
      clock_(options.clock ? std::move(options.clock) : std::make_unique<SystemClock>()),
      mixer_(std::move(options.mixer)),
      marker_(home_.path(SessionMarker::kFileName)),
      args_(options.args),
      wantHotKeys_(options.hotKeys) {
    setWindowTitle(kAppTitle);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose, false);

    // The order of construction: settings and media types, effects engine, tray, menus,
    // hot keys, language, display, mixer, command line.
    const PlayerSettings& s = store_.settings();
    store_.loadOptions();
    if (!store_.mediaTypes().consistent()) showMessage(MediaTypes::kCorruptMessage);
    media_ = std::make_unique<MediaIdentifier>(store_.mediaTypes().flat);
    QString tempFolder;
    try {
        tempFolder = Home::tempFolder(QProcessEnvironment::systemEnvironment());
    } catch (const PrivateFolderError& e) {
        // Archives and web addresses cannot be played then (the resolver refuses to write
        // anywhere else); everything else plays.
        showMessage(QString::fromUtf8(e.what()));
    }
    if (s.firsttime) store_.firstRun(tempFolder, QLocale::system().language() == QLocale::Japanese);
    EntryResolver::Config rc;
    rc.tempFolder = tempFolder;
    rc.downloadFolder = home_.path(QStringLiteral("file"));
    QDir().mkpath(rc.downloadFolder);

    XMInit();
    XMSetSampleRate(s.glbsamplingrate);
    const QIcon icon = programIcon();
    tray_.setIcon(icon);
    tray_.setToolTip(kAppTitle);
    setWindowIcon(icon);
    XMEnableVisualization(20);

    store_.loadSettings();
    // A settings file that exists but cannot be read is kept untouched; say so once.
    for (const QString& problem : store_.takeProblems()) showMessage(problem);
    rc.downloadLimitBytes = qint64{std::max(s.downloadlimit, 1)} * 1024 * 1024;
    rc.downloadDeadlineMs = std::clamp(s.downloadtimeout, 1, 24 * 60) * 60 * 1000;
    rc.copyshared = s.copyshared;
    rc.glbtemp10 = s.glbtemp10;
    rc.proxy = s.proxy;
    rc.proxyport = static_cast<quint16>(s.proxyport.toUInt());
    if (rc.proxyport == 0) rc.proxyport = 80;
    resolver_ = std::make_unique<EntryResolver>(rc, *media_, temps_);
    XMEnableMMX(store_.effectiveMmx() ? 1 : 0);
    applyStoredEffects();

    controller_ = std::make_unique<PlaybackController>(store_, *resolver_, *clock_, *this);
    connect(controller_.get(), &PlaybackController::changed, this, &MainWindow::onChanged);

    menus_ = std::make_unique<MainMenus>();
    connectMenus();
    if (wantHotKeys_ && s.enablehotkey) registerHotKeys();
    applyLanguage();

    credits_ = loadCredits();
    PanelDisplay::Wiring wiring;
    wiring.controller = controller_.get();
    wiring.store = &store_;
    wiring.menus = menus_.get();
    wiring.openFiles = [this] { openFiles(QString(), true); };
    wiring.closeWindow = [this] { close(); };
    wiring.hideWindow = [this] { hideToTray(); };
    wiring.tell = [this](const QString& text) { showMessage(text); };
    wiring.credits = credits_.split(QLatin1Char('\n'));
    wiring.defaultDataDir = Home::defaultDataDir(QProcessEnvironment::systemEnvironment(),
                                                 QCoreApplication::applicationDirPath());
    auto display = std::make_unique<PanelDisplay>(std::move(wiring), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(display.get());
    // Without any usable panel the program cannot be operated: it ends after saying so.
    if (!display->start()) {
        startFailed_ = true;
        exitSaved_ = true;  // nothing of this run is worth keeping
        return;
    }
    display_ = std::move(display);
    controller_->setVolumeShownByDisplay(display_->showsVolume());
    resize(display_->widget()->sizeHint());
    if (s.fmain) move(s.fmain->left, s.fmain->top);

    if (!mixer_) mixer_ = std::make_unique<AlsaMixer>();
    const int mixers = mixer_->deviceCount();
    if (MixerRules::useMixer(s.usemixer, mixers) &&
        mixer_->open(MixerRules::mixerId(s.mixerid, mixers), s.mixerdest1, s.mixerdest2)) {
        controller_->setMixer(mixer_.get());
        const auto [left, right] = mixer_->volume();
        controller_->setVolume(OutputLevel::volumeFromMixer(left, right));
    } else {
        controller_->setVolume(100);
    }

    if (s.stayontop1) setWindowFlag(Qt::WindowStaysOnTopHint, true);

    loadStartFiles();
    setAcceptDrops(true);

    if (options.instance)
        connect(options.instance, &SingleInstance::messageReceived, this,
                &MainWindow::handleInstanceMessage);

    connect(&timer1_, &QTimer::timeout, this, [this] {
        controller_->tick500();
        if (hideAfterStart_ && !hiddenAfterStart_ && controller_->state().playing) {
            hiddenAfterStart_ = true;
            hideToTray();
        }
    });
    connect(&timer2_, &QTimer::timeout, this, [this] {
        controller_->tick100();
        display_->tick(controller_->state());
    });
    connect(&timer3_, &QTimer::timeout, this, [this] { controller_->tickFade(); });
    timer1_.start(500);
    timer3_.start(100);
    connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick || r == QSystemTrayIcon::Trigger) restoreFromTray();
    });
    tray_.setContextMenu(menus_->trayMenu());
    telnet_ = std::make_unique<TelnetDaemon>(*controller_, store_, windowTitle(),
                                             [this] { closeProgram(); });
    telnet_->startIfEnabled();
    desktop_ = std::make_unique<DesktopIntegration>(
        *controller_, store_,
        DesktopIntegration::Hooks{[this] { restoreFromTray(); }, [this] { closeProgram(); },
                                  [this](const QString& text) {
                                      // A message of the start (a skipped entry) matters more.
                                      if (controller_->state().statusText.isEmpty())
                                          controller_->showStatus(text, 50);
                                  }});
    desktop_->start();
    marker_.begin();
    refreshMenus();
    display_->showState(controller_->state());
}

void MainWindow::applyStoredEffects() {
    // The effect settings and the equaliser curve of the last run are heard from the first song
    // on, whether or not their windows are ever opened.
    effectsDesk_ = std::make_unique<MixoraDesk>();
    equalizerSink_ = std::make_unique<DecoderEqualizer>();
    if (const auto fx = EffectorSettings::load(QDir(home_.path(EffectorSettings::kPresetFolder))
                                                   .filePath(EffectorSettings::kLastTime)))
        fx->applyTo(*effectsDesk_);
    EqualizerCurve curve;
    curve.read(store_.readMain());
    curve.send(*equalizerSink_);
    OmbrixEnableEQ(store_.settings().enableeq1 ? 1 : 0);
}

QString MainWindow::loadCredits() const {
    QString credits;
    try {
        credits =
            TextFile::readLines(home_.path(QStringLiteral("credits.txt"))).join(QLatin1Char('\n'));
    } catch (const FileError&) {
    }
    return windowTitle() + QLatin1Char('\n') + PlaybackController::kDisplayName +
           QStringLiteral("\n\n") + credits;
}

MainWindow::~MainWindow() {
    telnet_.reset();
    if (!exitSaved_) exitSave();
}

void MainWindow::loadStartFiles() {
    const PlayerSettings& s = store_.settings();
    const auto crashed = marker_.uncleanExit();
    if (!args_.isEmpty()) {
        const FirstInstanceStart start = CommandLine::gatherFirstInstance(args_);
        if (start.cdRequest) {
            controller_->showStatus(QStringLiteral("no CD drive"));
            return;
        }
        controller_->setPlaylist(start.entries);
        controller_->setStartPending(static_cast<int>(start.entries.size()), start.editRequest);
        hideAfterStart_ = s.glbhide && !s.coolbar;
        return;
    }
    if (!s.resume1) return;
    QStringList entries;
    try {
        if (QFileInfo::exists(home_.path(kBackup)))
            entries = PlaylistFile::load(home_.path(kBackup));
    } catch (const FileError&) {
        controller_->showStatus(QStringLiteral("cannot read ") + kBackup);
    }
    if (entries.isEmpty()) return;
    controller_->setPlaylist(entries);
    controller_->setStartPending(1, false);
    if (crashed && crashed->index >= 0) {
        // The last run did not end cleanly while it played an entry: that entry may be what
        // brought it down, so this run starts with the one after it.
        int index = static_cast<int>(entries.indexOf(crashed->name));
        if (index < 0) index = crashed->index;
        const int next = (index + 1) % static_cast<int>(entries.size());
        controller_->setResumeIndex(next);
        controller_->showStatus(QStringLiteral("last run ended unexpectedly: skipping ") +
                                    QFileInfo(crashed->name).fileName(),
                                60);
    }
}

void MainWindow::applyLanguage() {
    if (store_.settings().language != 1) return;
    menus_->applyLanguage(IniDocument::load(home_.path(QStringLiteral("resource/japanese.ini"))));
}

void MainWindow::registerHotKeys() {
    hotKeys_ = DesktopIntegration::createHotKeys(this);
    if (!hotKeys_->available()) {
        controller_->showStatus(hotKeys_->unavailableReason(), 50);
        return;
    }
    const PlayerSettings& s = store_.settings();
    QStringList refused;
    if (!hotKeys_->registerKey(1, s.scactivate)) refused << s.scactivate;
    if (!hotKeys_->registerKey(2, s.scminimize)) refused << s.scminimize;
    if (!hotKeys_->registerKey(3, s.scplaylist)) refused << s.scplaylist;
    if (!refused.isEmpty())
        controller_->showStatus(
            QStringLiteral("hot keys in use: ") + refused.join(QStringLiteral(", ")), 50);
    connect(hotKeys_.get(), &GlobalHotKeys::activated, this, [this](int id) {
        if (id == 1 && !isVisible()) restoreFromTray();
        if (id == 2 && isVisible()) hideToTray();
        if (id == 3) showPlaylistWindow();
    });
}

// ---------------------------------------------------------------------------------------------
// Menus

void MainWindow::connectMenus() {
    MainMenus& m = *menus_;
    PlaybackController& c = *controller_;
    const PlayerSettings& s = store_.settings();
    auto on = [&](const QString& name, auto fn) {
        if (QAction* a = m.item(name)) connect(a, &QAction::triggered, this, fn);
    };
    on(QStringLiteral("Open1"), [this] { openFiles(QString(), true); });
    on(QStringLiteral("play1"), [&c] { c.play(); });
    on(QStringLiteral("Pause1"), [&c] { c.togglePause(); });
    on(QStringLiteral("stop2"), [&c] { c.stop(); });
    on(QStringLiteral("Next1"), [&c] { c.next(); });
    on(QStringLiteral("Prev1"), [&c] { c.previous(); });
    on(QStringLiteral("TrayPlay1"), [&c] { c.play(); });
    on(QStringLiteral("TrayStop1"), [&c] { c.stop(); });
    on(QStringLiteral("TrayNext1"), [&c] { c.next(); });
    on(QStringLiteral("TrayPrev1"), [&c] { c.previous(); });
    on(QStringLiteral("Restore1"), [this] { restoreFromTray(); });
    on(QStringLiteral("Exit1"), [this] { close(); });
    on(QStringLiteral("TrayExit1"), [this] { close(); });
    on(QStringLiteral("About1"), [this] { showAbout(); });
    on(QStringLiteral("CreateImage1"), [this] { exportImage(); });
    on(QStringLiteral("Playlist1"), [this] { showPlaylistWindow(); });
    on(QStringLiteral("SavePlaylistAs1"), [this] { savePlaylistAs(); });
    on(QStringLiteral("SaveToDesktop1"), [this] {
        savePlaylistToDesktop(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    });
    // The playback options go through the controller, which stores them and tells every
    // reader (menus, telnet, the desktop's media controls).
    auto option = [&](const QString& name, bool value, void (PlaybackController::*set)(bool)) {
        QAction* a = m.item(name);
        if (!a) return;
        a->setChecked(value);
        connect(a, &QAction::toggled, this, [&c, set](bool on) { (c.*set)(on); });
    };
    option(QStringLiteral("Random1"), s.random1, &PlaybackController::setShuffle);
    option(QStringLiteral("Intro1"), s.intro1, &PlaybackController::setIntro);
    option(QStringLiteral("AutoRepeat1"), s.autorepeat1, &PlaybackController::setAutoRepeat);
    option(QStringLiteral("Resume1"), s.resume1, &PlaybackController::setResume);
    option(QStringLiteral("EnableFX1"), s.enablefx1, &PlaybackController::setEffectsEnabled);
    option(QStringLiteral("EnableEQ1"), s.enableeq1, &PlaybackController::setEqualizerEnabled);
    if (QAction* a = m.item(QStringLiteral("StayonTop1"))) {
        a->setChecked(s.stayontop1);
        connect(a, &QAction::toggled, this, [this](bool on) {
            store_.change([on](PlayerSettings& st) { st.stayontop1 = on; });
            const bool visible = isVisible();
            setWindowFlag(Qt::WindowStaysOnTopHint, on);
            if (visible) show();
        });
    }
    on(QStringLiteral("EditTag1"), [this] {
        const PlayerState st = controller_->state();
        openTagEditor(st.songOpen ? st.currentFile : QString());
    });
    on(QStringLiteral("DJControl1"), [this] { present(djWindow()); });
    on(QStringLiteral("Equalizer1"), [this] { present(equalizerWindow()); });
    if (QAction* a = m.item(QStringLiteral("RepeatThisSong1")))
        connect(a, &QAction::toggled, this, [&c](bool on) { c.setRepeatThisSong(on); });
    m.checkPriority(s.threadpriority);
    connect(&m, &MainMenus::priorityChosen, this, [this](int i) {
        store_.change([i](PlayerSettings& s) { s.threadpriority = i; });
    });
    connect(&m, &MainMenus::recentFileChosen, this, [this](const QString& f) {
        if (!controller_->acceptsFiles()) return;
        controller_->stop();
        controller_->clearPlaylist();
        controller_->addFiles({f}, true);
    });
    connect(&m, &MainMenus::recentFolderChosen, this, [this](const QString& folder) {
        if (controller_->acceptsFiles()) openFiles(folder, true);
    });
    // Windows that come later: present, not yet usable.
    for (const char* name : {"ReadCDTrack1", "Config1"})
        if (QAction* a = m.item(QString::fromLatin1(name))) a->setEnabled(false);
}

void MainWindow::refreshMenus() {
    const PlayerState st = controller_->state();
    MainMenus& m = *menus_;
    auto enable = [&](const char* name, bool on) {
        if (QAction* a = m.item(QString::fromLatin1(name))) a->setEnabled(on);
    };
    enable("play1", st.canPlay);
    enable("TrayPlay1", st.canPlay);
    enable("stop2", st.playing);
    enable("TrayStop1", st.playing);
    enable("Pause1", st.playing);
    enable("Next1", st.canSkip);
    enable("Prev1", st.canSkip);
    enable("TrayNext1", st.canSkip);
    enable("TrayPrev1", st.canSkip);
    m.setRecent(store_.settings().recent, store_.settings().recentfolder);
    // Options can also change from the desktop's media controls.
    for (const auto& [name, on] : {std::pair{"Random1", st.random},
                                   {"Intro1", st.intro},
                                   {"AutoRepeat1", st.autoRepeat},
                                   {"Resume1", st.resume},
                                   {"EnableFX1", st.effects},
                                   {"EnableEQ1", st.equalizer},
                                   {"RepeatThisSong1", st.repeatThisSong}})
        if (QAction* a = m.item(QString::fromLatin1(name))) {
            const QSignalBlocker quiet(a);
            a->setChecked(on);
        }
    if (st.playing && !st.currentFile.isEmpty())
        tray_.setToolTip(QFileInfo(st.currentFile).fileName() + QStringLiteral("  (") +
                         QString::number(st.currentIndex + 1) + QLatin1Char('/') +
                         QString::number(st.count) + QLatin1Char(')'));
    else
        tray_.setToolTip(kAppTitle);
}

void MainWindow::onChanged(int mask) {
    if (mask & kChangePlaylist) playlistDirty_ = true;
    if (mask & kChangeSong) {
        const PlayerState st = controller_->state();
        if (st.playing) {
            marker_.songStarted(st.currentIndex, st.currentEntry);
            // Kept current while playing, so a crash does not lose a playlist built this run.
            if (playlistDirty_ && st.count <= 20000) {
                try {
                    PlaylistFile::save(home_.path(kBackup), controller_->playlist());
                    playlistDirty_ = false;
                } catch (const FileError&) {
                }
            }
        }
    }
    if (mask & (kChangeSong | kChangePlaylist | kChangeOptions)) refreshMenus();
    display_->showState(controller_->state());
}

// ---------------------------------------------------------------------------------------------
// Files

void MainWindow::openFiles(const QString& folder, bool replace) {
    const auto filter = store_.mediaTypes().openDialogFilter();
    const QStringList files = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Open files"),
        folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::MusicLocation) : folder,
        filter ? dialogFilter(*filter) : QString());
    if (files.isEmpty() || !controller_->acceptsFiles()) return;
    if (replace) {
        controller_->stop();
        controller_->clearPlaylist();
    }
    controller_->addFiles(files, true);
}

void MainWindow::exportImage() {
    const QString file =
        QFileDialog::getSaveFileName(this, QStringLiteral("Create image file"), QString(),
                                     dialogFilter(QStringLiteral("Microsoft Wave (*.wav)|*.wav")));
    if (file.isEmpty()) return;
    controller_->armExport(file.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive)
                               ? file
                               : file + QStringLiteral(".wav"));
}

void MainWindow::handleInstanceMessage(const QString& text) {
    if (!controller_->acceptsFiles()) return;
    const InstanceMessage msg = InstanceMessage::parse(text);
    switch (msg.kind) {
        case InstanceMessage::Kind::Add:
            if (!msg.path.isEmpty()) controller_->addFiles({msg.path}, false);
            break;
        case InstanceMessage::Kind::Stop:
            controller_->stop();
            break;
        case InstanceMessage::Kind::Edit:
            controller_->stop();
            controller_->clearPlaylist();
            if (!msg.path.isEmpty()) controller_->setPlaylist({msg.path});
            openTagEditor(msg.path);
            break;
        case InstanceMessage::Kind::Cd:
            controller_->showStatus(QStringLiteral("no CD drive"));
            break;
        case InstanceMessage::Kind::Play:
            if (!msg.path.isEmpty()) controller_->addFiles({msg.path}, true);
            break;
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
        else if (url.scheme().startsWith(QLatin1String("http")))
            paths << url.toString();
    }
    event->acceptProposedAction();
    dropPaths(paths);
}

void MainWindow::dropPaths(const QStringList& paths) {
    if (store_.settings().glbdropadd) {
        controller_->stop();
        controller_->clearPlaylist();
    }
    if (!controller_->acceptsFiles() || paths.isEmpty()) return;
    QStringList local, urls;
    for (const QString& p : paths) (p.startsWith(QLatin1String("http")) ? urls : local) << p;
    // Folders can hold many thousands of files: they are gathered off the main thread.
    auto* watcher = new QFutureWatcher<DropResult>(this);
    connect(watcher, &QFutureWatcher<DropResult>::finished, this, [this, watcher, urls] {
        const DropResult r = watcher->result();
        watcher->deleteLater();
        addCollected(urls + r.files, r.statusTexts);
    });
    const MediaIdentifier media = *media_;
    controller_->showStatus(QStringLiteral("reading dropped files..."), 600);
    watcher->setFuture(
        QtConcurrent::run([local, media] { return DropCollector::collect(local, media); }));
}

void MainWindow::addCollected(const QStringList& files, const QStringList& statusTexts) {
    controller_->showStatus(statusTexts.isEmpty() ? QString() : statusTexts.last(),
                            statusTexts.isEmpty() ? 0 : 20);
    if (!files.isEmpty() && controller_->acceptsFiles()) controller_->addFiles(files, true);
}

// ---------------------------------------------------------------------------------------------
// Window events

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    timer2_.start(100);
    menus_->checkPriority(store_.settings().threadpriority);
    controller_->windowShown();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    const int vk = VirtualKey::fromQt(event->key(), event->modifiers());
    if (vk == 0 || !controller_->keyPressed(vk)) QWidget::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    controller_->keyReleased(VirtualKey::fromQt(event->key(), event->modifiers()));
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle()) {
        // The window manager moves the frameless window (X11 and Wayland alike).
        windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    refreshMenus();
    menus_->mainPopup()->popup(event->globalPos());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        closing_ = true;
        // An open playlist window hands its list over first, so its edits are saved too.
        if (playlistWindow_ && playlistWindow_->isVisible()) playlistWindow_->close();
        controller_->stop();
        exitSave();
    }
    event->accept();
    tray_.hide();
    if (QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

void MainWindow::exitSave() {
    if (exitSaved_) return;
    exitSaved_ = true;
    store_.change([this](PlayerSettings& s) {
        s.fmain = WindowPosition{pos().x(), pos().y(), std::nullopt, std::nullopt};
    });
    try {
        store_.saveSettings();
    } catch (const std::exception& e) {
        reportSaveError(QStringLiteral("the settings"), e);
    }
    temps_.deleteAll();
    try {
        store_.saveOptions();
    } catch (const std::exception& e) {
        reportSaveError(QStringLiteral("the settings"), e);
    }
    try {
        PlaylistFile::save(home_.path(kBackup), controller_->playlist());
    } catch (const std::exception& e) {
        reportSaveError(kBackup, e);
    }
    marker_.end();
}

void MainWindow::reportSaveError(const QString& what, const std::exception& e) {
    if (saveErrorShown_) return;
    saveErrorShown_ = true;
    const QString text = QStringLiteral("Could not save ") + what + QStringLiteral(": ") +
                         QString::fromUtf8(e.what());
    tell(text, QMessageBox::Warning);
}

void MainWindow::tell(const QString& text, QMessageBox::Icon icon) {
    // The offscreen platform has nobody to click a message box away.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        qWarning("%s", qPrintable(text));
        return;
    }
    QMessageBox box(icon, kAppTitle, text, QMessageBox::Ok, this);
    box.exec();
}

// ---------------------------------------------------------------------------------------------
// ControllerHost

void MainWindow::closeProgram() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainWindow::showMessage(const QString& text) {
    tell(text, QMessageBox::Information);
}

void MainWindow::openTagEditor(const QString& file) {
    TagWindow& w = tagWindow();
    if (!file.isEmpty()) w.openFor(file);
    present(w);
}

TagWindow& MainWindow::tagWindow() {
    if (!tagWindow_) tagWindow_ = std::make_unique<TagWindow>(store_, *controller_, this);
    return *tagWindow_;
}

DjWindow& MainWindow::djWindow() {
    if (!djWindow_) {
        djWindow_ = std::make_unique<DjWindow>(store_, *controller_, *effectsDesk_, this);
    }
    return *djWindow_;
}

EqualizerWindow& MainWindow::equalizerWindow() {
    if (!equalizerWindow_) {
        equalizerWindow_ = std::make_unique<EqualizerWindow>(store_, *equalizerSink_, this);
    }
    return *equalizerWindow_;
}

void MainWindow::present(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

PlaylistWindow& MainWindow::playlistWindow() {
    if (!playlistWindow_) {
        PlaylistWindow::Hooks hooks;
        hooks.editTag = [this](const QString& file) { openTagEditor(file); };
        hooks.tell = [this](const QString& text) { showMessage(text); };
        playlistWindow_ = std::make_unique<PlaylistWindow>(*controller_, store_, hooks, this);
    }
    return *playlistWindow_;
}

void MainWindow::showPlaylistWindow() {
    present(playlistWindow());
}

void MainWindow::savePlaylistAs() {
    const QString file = PlaylistSaveDialog::ask(this);
    if (file.isEmpty()) return;
    try {
        PlaylistFile::save(file, controller_->playlist());
    } catch (const FileError& e) {
        tell(QString::fromLocal8Bit(e.what()), QMessageBox::Warning);
    }
}

void MainWindow::savePlaylistToDesktop(const QString& desktopFolder) {
    bool ok = false;
    const QString answer = QInputDialog::getText(this, QStringLiteral("Saving playlist to desktop"),
                                                 QStringLiteral("filename"), QLineEdit::Normal,
                                                 DesktopPlaylist::defaultName(desktopFolder), &ok);
    const QString file = DesktopPlaylist::target(desktopFolder, answer);
    if (!ok || file.isEmpty()) return;
    try {
        QDir().mkpath(desktopFolder);
        PlaylistFile::save(file, controller_->playlist());
        controller_->showStatus(QStringLiteral("saved ") + QFileInfo(file).fileName());
    } catch (const FileError& e) {
        tell(QString::fromLocal8Bit(e.what()), QMessageBox::Warning);
    }
}

void MainWindow::hideToTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        showMinimized();
        return;
    }
    tray_.show();
    hide();
}

void MainWindow::restoreFromTray() {
    showNormal();
    raise();
    activateWindow();
    tray_.hide();
}

void MainWindow::showAbout() {
    AboutBox box(credits_, this);
    box.exec();
}

}  // namespace ombrix
