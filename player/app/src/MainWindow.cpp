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

#include "ombrix/app/AboutBox.h"
#include "ombrix/app/MainMenus.h"
#include "ombrix/app/OpenDialogFolder.h"
#include "ombrix/app/PanelDisplay.h"
#include "ombrix/app/PluginWindows.h"
#include "ombrix/app/ProgramInfo.h"
#include "ombrix/control/DropCollector.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/control/VirtualKey.h"
#include "ombrix/desktop/DesktopIntegration.h"
#include "ombrix/desktop/FileAssociations.h"
#include "ombrix/desktop/GlobalHotKeys.h"
#include "ombrix/desktop/SystemTray.h"
#include "ombrix/library/Playlist.h"
#include "ombrix/library/PlaylistFile.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/TextFile.h"
#include "ombrix/windows/common/DialogFilter.h"
#include "ombrix/windows/common/PlaylistSaveDialog.h"
#include "ombrix/windows/common/ToolWindowStyle.h"
#include "ombrix/windows/effects/DjWindow.h"
#include "ombrix/windows/effects/EqualizerWindow.h"
#include "ombrix/windows/playlist/DesktopPlaylist.h"
#include "ombrix/windows/playlist/PlaylistEditor.h"
#include "ombrix/windows/playlist/PlaylistWindow.h"
#include "ombrix/windows/tag/TagEditor.h"
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

MainWindow::MainWindow(Parts parts)
    : controller_(parts.controller),
      store_(parts.store),
      home_(parts.home),
      effectsDesk_(parts.effectsDesk),
      equalizerSink_(parts.equalizerSink),
      systemTray_(parts.systemTray),
      closingHook_(std::move(parts.closing)) {
    // The title carries the version: telnet's "version" and the about box's credits show it.
    setWindowTitle(QLatin1String(program::kTitle));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    const PlayerSettings& s = store_.settings();
    const QIcon icon = programIcon();
    tray_.setIcon(icon);
    tray_.setToolTip(kAppTitle);
    setWindowIcon(icon);
    connect(&controller_, &PlaybackController::changed, this, &MainWindow::onChanged);

    menus_ = std::make_unique<MainMenus>();
    connectMenus();
    if (parts.hotKeys && s.enablehotkey) registerHotKeys();
    applyLanguage();

    credits_ = loadCredits();
    PanelDisplay::Wiring wiring;
    wiring.controller = &controller_;
    wiring.store = &store_;
    wiring.menus = menus_.get();
    wiring.openFiles = [this] { openFiles(QString(), true); };
    wiring.closeWindow = [this] { close(); };
    wiring.hideWindow = [this] { hideToTray(); };
    wiring.tell = [this](const QString& text) { showMessage(text); };
    wiring.credits = credits_.split(QLatin1Char('\n'));
    wiring.fillPluginMenu = [this](QMenu* menu) {
        if (pluginWindows_) pluginWindows_->fillMenu(menu);
    };
    wiring.defaultDataDir = Home::defaultDataDir(QProcessEnvironment::systemEnvironment(),
                                                 QCoreApplication::applicationDirPath());
    auto display = std::make_unique<PanelDisplay>(std::move(wiring), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(display.get());
    // Without any usable panel the window cannot be operated.
    if (!display->start()) {
        startFailed_ = true;
        return;
    }
    panelDisplay_ = display.get();
    display_ = std::move(display);
    pluginWindows_ = std::make_unique<PluginWindows>(store_, home_.dir(), this,
                                                     [this](const QString& text) {
                                                         controller_.showStatus(text);
                                                     });
    pluginWindows_->plugins().setScreen(&panelDisplay_->panel().screen());
    pluginWindows_->start();
    connect(pluginWindows_.get(), &PluginWindows::activityChanged, this,
            &MainWindow::scheduleTicks);
    connect(menus_->plugInMenu(), &QMenu::aboutToShow, this,
            [this] { pluginWindows_->fillMenu(menus_->plugInMenu()); });
    // The tool windows, their dialogs and the menus wear the panel's colours; a panel chosen
    // later is seen through the settings it changes.
    windowStyle_ = std::make_unique<ToolWindowStyle>(store_);
    followPanel();
    connect(&store_, &SettingsStore::changed, this, &MainWindow::followPanel);
    controller_.setVolumeShownByDisplay(display_->showsVolume());
    resize(display_->widget()->sizeHint());
    if (s.fmain) move(s.fmain->left, s.fmain->top);
    if (s.stayontop1) setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAcceptDrops(true);

    connect(&timer1_, &QTimer::timeout, this, [this] {
        controller_.tick500();
        if (hideAfterStart_ && !hiddenAfterStart_ && controller_.state().playing) {
            hiddenAfterStart_ = true;
            hideToTray();
        }
        scheduleTicks();
    });
    connect(&timer2_, &QTimer::timeout, this, [this] {
        controller_.tick100();
        controller_.tickFade();
        if (pluginWindows_) pluginWindows_->tick(controller_.state());
        if (displaySeen()) display_->tick(controller_.state());
        scheduleTicks();
    });
    timer1_.setInterval(500);
    timer2_.setInterval(100);
    connect(&store_, &SettingsStore::changed, this, &MainWindow::scheduleTicks);
    scheduleTicks();
    connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick || r == QSystemTrayIcon::Trigger) restoreFromTray();
    });
    tray_.setContextMenu(menus_->trayMenu());
}

void MainWindow::start() {
    refreshMenus();
    if (display_) display_->showState(controller_.state());
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

MainWindow::~MainWindow() = default;

void MainWindow::applyLanguage() {
    if (store_.settings().language != 1) return;
    menus_->applyLanguage(IniDocument::load(home_.path(QStringLiteral("resource/japanese.ini"))));
}

void MainWindow::registerHotKeys() {
    hotKeys_ = DesktopIntegration::createHotKeys(this);
    if (!hotKeys_->available()) {
        controller_.showStatus(hotKeys_->unavailableReason(), 50);
        return;
    }
    const PlayerSettings& s = store_.settings();
    QStringList refused;
    if (!hotKeys_->registerKey(1, s.scactivate)) refused << s.scactivate;
    if (!hotKeys_->registerKey(2, s.scminimize)) refused << s.scminimize;
    if (!hotKeys_->registerKey(3, s.scplaylist)) refused << s.scplaylist;
    if (!refused.isEmpty())
        controller_.showStatus(
            QStringLiteral("hot keys in use: ") + refused.join(QStringLiteral(", ")), 50);
    connect(hotKeys_.get(), &GlobalHotKeys::activated, this, [this](int id) {
        if (id == 1 && !isVisible()) restoreFromTray();
        if (id == 2 && isVisible()) hideToTray();
        if (id == 3) showPlaylistWindow();
    });
}

void MainWindow::followPanel() {
    if (!panelDisplay_ || !windowStyle_) return;
    const SkinFile& panel = panelDisplay_->panel().panel();
    if (panel.path() == styledPanel_) return;
    styledPanel_ = panel.path();
    // Only a shape cut out by the transparent colour keeps that colour off the screen.
    const std::optional<QRgb> cutOut =
        panel.paneltype == 2
            ? std::optional<QRgb>(SkinFile::rgbFromColorRef(panel.transparentcolor))
            : std::nullopt;
    windowStyle_->setPanelColours(PanelPalette::measure(panel.base(), cutOut));
}

// ---------------------------------------------------------------------------------------------
// Menus

void MainWindow::connectMenus() {
    MainMenus& m = *menus_;
    PlaybackController& c = controller_;
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
    option(QStringLiteral("RemainingTime1"), s.timeremaining,
           &PlaybackController::setTimeRemaining);
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
        const PlayerState st = controller_.state();
        openTagEditor(st.songOpen ? st.currentFile : QString());
    });
    on(QStringLiteral("DJControl1"), [this] { present(djWindow()); });
    on(QStringLiteral("Equalizer1"), [this] { present(equalizerWindow()); });
    // The look of the other windows: the panel's colours, or the desktop's style.
    QAction* desktopStyle = m.setupMenu()->addAction(QStringLiteral("Desktop style for windows"));
    desktopStyle->setObjectName(QStringLiteral("DesktopStyle1"));
    desktopStyle->setCheckable(true);
    desktopStyle->setChecked(s.desktopstyle);
    connect(desktopStyle, &QAction::toggled, this,
            [this](bool on) { store_.change([on](PlayerSettings& st) { st.desktopstyle = on; }); });
    if (QAction* a = m.item(QStringLiteral("RepeatThisSong1")))
        connect(a, &QAction::toggled, this, [&c](bool on) { c.setRepeatThisSong(on); });
    m.checkPriority(s.threadpriority);
    connect(&m, &MainMenus::priorityChosen, this,
            [this](int i) { store_.change([i](PlayerSettings& s) { s.threadpriority = i; }); });
    m.checkReplayGain(s.replaygain);
    connect(&m, &MainMenus::replayGainChosen, this, [this](int mode) {
        store_.change([mode](PlayerSettings& s) { s.replaygain = mode; });
    });
    connect(&m, &MainMenus::recentFileChosen, this, [this](const QString& f) {
        if (!controller_.acceptsFiles()) return;
        controller_.stop();
        controller_.clearPlaylist();
        controller_.addFiles({f}, true);
    });
    connect(&m, &MainMenus::recentFolderChosen, this, [this](const QString& folder) {
        if (controller_.acceptsFiles()) openFiles(folder, true);
    });
    on(QStringLiteral("Config1"), [this] { openConfiguration(); });
    // The CD items are enabled by the application once it knows a drive and a disc.
    for (const char* name : {"ReadCDTrack1", "EditCDtrack1"})
        if (QAction* a = m.item(QString::fromLatin1(name))) a->setEnabled(false);
}

void MainWindow::refreshMenus() {
    const PlayerState st = controller_.state();
    MainMenus& m = *menus_;
    auto enable = [&](const char* name, bool on) {
        if (QAction* a = m.item(QString::fromLatin1(name))) a->setEnabled(on);
    };
    enable("play1", st.canPlay);
    // The tag editor opens on the playing song: there must be one with a tag it can write.
    enable("EditTag1", st.songOpen && TagEditor::canEdit(st.currentFile));
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
    m.checkReplayGain(store_.settings().replaygain);
    if (st.playing && !st.currentFile.isEmpty())
        tray_.setToolTip(QFileInfo(st.currentFile).fileName() + QStringLiteral("  (") +
                         QString::number(st.currentIndex + 1) + QLatin1Char('/') +
                         QString::number(st.count) + QLatin1Char(')'));
    else
        tray_.setToolTip(kAppTitle);
}

void MainWindow::onChanged(int mask) {
    if (mask & (kChangeSong | kChangePlaylist | kChangeOptions)) refreshMenus();
    if (display_ && mask != kChangeTicks) display_->showState(controller_.state());
    scheduleTicks();
}

void MainWindow::scheduleTicks() {
    const auto run = [](QTimer& timer, bool on) {
        if (on && !timer.isActive()) timer.start();
        if (!on && timer.isActive()) timer.stop();
    };
    run(timer1_, controller_.needsSlowTicks());
    const bool displayMoves =
        display_ && displaySeen() && display_->wantsTicks(controller_.state());
    const bool pluginsRun = pluginWindows_ && pluginWindows_->active();
    run(timer2_, shownOnce_ && (controller_.needsFastTicks() || displayMoves || pluginsRun));
}

bool MainWindow::displaySeen() const {
    if (!isVisible() || isMinimized()) return false;
    const QWindow* w = windowHandle();
    return !w || w->isExposed();
}

// ---------------------------------------------------------------------------------------------
// Files

void MainWindow::openFiles(const QString& folder, bool replace) {
    const auto filter = store_.mediaTypes().openDialogFilter();
    const QStringList files = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Open files"),
        OpenDialogFolder::choose(folder,
                                 QStandardPaths::writableLocation(QStandardPaths::MusicLocation),
                                 QDir::homePath()),
        filter ? dialogFilter(*filter) : QString());
    if (files.isEmpty() || !controller_.acceptsFiles()) return;
    if (replace) {
        controller_.stop();
        controller_.clearPlaylist();
    }
    controller_.addFiles(files, true);
}

void MainWindow::exportImage() {
    const QString file =
        QFileDialog::getSaveFileName(this, QStringLiteral("Create image file"), QString(),
                                     dialogFilter(QStringLiteral("Microsoft Wave (*.wav)|*.wav")));
    if (file.isEmpty()) return;
    controller_.armExport(file.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive)
                              ? file
                              : file + QStringLiteral(".wav"));
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
        controller_.stop();
        controller_.clearPlaylist();
    }
    if (!controller_.acceptsFiles() || paths.isEmpty()) return;
    QStringList local, urls;
    for (const QString& p : paths) (p.startsWith(QLatin1String("http")) ? urls : local) << p;
    // Folders can hold many thousands of files: they are gathered off the main thread.
    auto* watcher = new QFutureWatcher<DropResult>(this);
    connect(watcher, &QFutureWatcher<DropResult>::finished, this, [this, watcher, urls] {
        const DropResult r = watcher->result();
        watcher->deleteLater();
        addCollected(urls + r.files, r.statusTexts);
    });
    const MediaIdentifier media(store_.mediaTypes().flat);
    controller_.showStatus(QStringLiteral("reading dropped files..."), 600);
    watcher->setFuture(
        QtConcurrent::run([local, media] { return DropCollector::collect(local, media); }));
}

void MainWindow::addCollected(const QStringList& files, const QStringList& statusTexts) {
    controller_.showStatus(statusTexts.isEmpty() ? QString() : statusTexts.last(),
                           statusTexts.isEmpty() ? 0 : 20);
    if (!files.isEmpty() && controller_.acceptsFiles()) controller_.addFiles(files, true);
}

// ---------------------------------------------------------------------------------------------
// Window events

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        // Minimising, covering and uncovering reach the window's platform window, not the
        // widget.
        if (QWindow* w = windowHandle()) w->installEventFilter(this);
        menus_->checkPriority(store_.settings().threadpriority);
        controller_.windowShown();
    }
    // What changed while the window was away is drawn now, and the display ticks again.
    if (display_) display_->showState(controller_.state());
    scheduleTicks();
}

void MainWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    scheduleTicks();
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) scheduleTicks();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && watched == windowHandle())
        QMetaObject::invokeMethod(this, &MainWindow::scheduleTicks, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    const int vk = VirtualKey::fromQt(event->key(), event->modifiers());
    if (vk == 0 || !controller_.keyPressed(vk)) QWidget::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    controller_.keyReleased(VirtualKey::fromQt(event->key(), event->modifiers()));
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
        controller_.stop();
        if (closingHook_) closingHook_();
    }
    event->accept();
    tray_.hide();
    if (QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

void MainWindow::tell(const QString& text, QMessageBox::Icon icon) {
    showBox(this, text, icon);
}

void MainWindow::tellWithoutWindow(const QString& text) {
    showBox(nullptr, text, QMessageBox::Information);
}

void MainWindow::showBox(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    // The offscreen platform has nobody to click a message box away.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        qWarning("%s", qPrintable(text));
        return;
    }
    if (!parent) {
        // Only before the window exists (problems found at start): nothing else runs yet.
        QMessageBox box(icon, kAppTitle, text, QMessageBox::Ok);
        box.exec();
        return;
    }
    // Shown without a nested event loop: the caller (often the controller, in the middle of a
    // song change) goes on at once, and the box is the window's until it is clicked away.
    auto* box = new QMessageBox(icon, kAppTitle, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

// ---------------------------------------------------------------------------------------------
// Requests

void MainWindow::showMessage(const QString& text) {
    tell(text, QMessageBox::Information);
}

void MainWindow::openTagEditor(const QString& file) {
    TagWindow& w = tagWindow();
    if (!file.isEmpty()) w.openFor(file);
    present(w);
}

TagWindow& MainWindow::tagWindow() {
    if (!tagWindow_) tagWindow_ = std::make_unique<TagWindow>(store_, controller_, this);
    return *tagWindow_;
}

DjWindow& MainWindow::djWindow() {
    if (!djWindow_) {
        djWindow_ = std::make_unique<DjWindow>(store_, controller_, effectsDesk_, this);
    }
    return *djWindow_;
}

EqualizerWindow& MainWindow::equalizerWindow() {
    if (!equalizerWindow_) {
        equalizerWindow_ = std::make_unique<EqualizerWindow>(store_, equalizerSink_, this);
    }
    return *equalizerWindow_;
}

void MainWindow::openConfiguration() {
    if (configWindow_) {
        present(*configWindow_);
        return;
    }
    ConfigWindow::Hooks hooks;
    if (pluginWindows_) {
        PluginWindows* p = pluginWindows_.get();
        hooks.plugins.entries = [p] { return p->plugins().entries(); };
        hooks.plugins.description = [p](const QString& entry) { return p->description(entry); };
        hooks.plugins.properties = [p](const QString& entry, QWidget* parent) {
            p->properties(entry, parent);
        };
    }
    hooks.model.telnet = telnetState_;
    hooks.model.playlistAppearance = [this] {
        if (playlistWindow_) playlistWindow_->reloadAppearance();
    };
    hooks.installPanel = [this](const QString& zip, bool coolbar) {
        if (panelDisplay_) panelDisplay_->installArchive(zip, coolbar);
    };
    hooks.hotKeysUnavailable = [] {
        const auto keys = DesktopIntegration::createHotKeys();
        return keys->available() ? QString() : keys->unavailableReason();
    };
    auto associations = FileAssociations::forEnvironment(QProcessEnvironment::systemEnvironment(),
                                                         QCoreApplication::applicationFilePath());
    configWindow_ = new ConfigWindow(store_, std::move(associations), std::move(hooks), this);
    configWindow_->setAttribute(Qt::WA_DeleteOnClose);
    // Parented for its place on screen, but a window of its own.
    configWindow_->setWindowFlag(Qt::Window, true);
    present(*configWindow_);
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
        hooks.readCd = [this] {
            if (readCd_) readCd_();
        };
        hooks.hasCdDrive = [this] { return hasCdDrive_ && hasCdDrive_(); };
        playlistWindow_ = std::make_unique<PlaylistWindow>(controller_, store_, hooks, this);
        playlistWindow_->editor().list().setDisc(disc_);
    }
    return *playlistWindow_;
}

void MainWindow::setDisc(const DiscTitles* disc, std::function<void()> readCd,
                         std::function<bool()> hasDrive) {
    disc_ = disc;
    readCd_ = std::move(readCd);
    hasCdDrive_ = std::move(hasDrive);
    if (playlistWindow_) playlistWindow_->editor().list().setDisc(disc_);
}

void MainWindow::discTitlesChanged() {
    if (playlistWindow_) playlistWindow_->editor().list().discChanged();
}

void MainWindow::showPlaylistWindow() {
    present(playlistWindow());
}

void MainWindow::savePlaylistAs() {
    const QString file = PlaylistSaveDialog::ask(this);
    if (file.isEmpty()) return;
    try {
        PlaylistFile::save(file, controller_.playlist());
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
        PlaylistFile::save(file, controller_.playlist());
        controller_.showStatus(QStringLiteral("saved ") + QFileInfo(file).fileName());
    } catch (const FileError& e) {
        tell(QString::fromLocal8Bit(e.what()), QMessageBox::Warning);
    }
}

void MainWindow::hideToTray() {
    if (!systemTray_.available()) {
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
