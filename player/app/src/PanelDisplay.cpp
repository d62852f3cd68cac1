#include "ombrix/app/PanelDisplay.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHelpEvent>
#include <QImageReader>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolTip>
#include <QTransform>
#include <QWindow>
#include <cmath>

#include "mixora.h"
#include "ombrix/app/MainMenus.h"
#include "ombrix/app/SurfaceWidget.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/skin/PanelError.h"
#include "ombrix/skin/PanelFont.h"
#include "ombrix/skin/PanelInstaller.h"
#include "ombrix/skin/PanelList.h"

namespace ombrix {
namespace {

QFont fontFrom(const FontSetting& f) {
    return PanelFont::fromSetting(f);
}

QColor colorFrom(qint32 color) {
    return QColor(SkinFile::rgbFromColorRef(color));
}

}  // namespace

PanelDisplay::PanelDisplay(Wiring wiring, QWidget* parent)
    : QWidget(parent), w_(std::move(wiring)), panel_(*this) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    dpb2_ = new SurfaceWidget(this);
    dpb_ = new SurfaceWidget(this);
    dpblcdtitle_ = new SurfaceWidget(this);
    dpbvolume_ = new SurfaceWidget(this);
    // The LCD title has no mouse handling of its own: the panel under it takes the events.
    dpblcdtitle_->setAttribute(Qt::WA_TransparentForMouseEvents);
    dpb2_->setPicture(&panel_.dpb2().image());
    dpb_->setPicture(&panel_.screen().composed());
    dpblcdtitle_->setPicture(&panel_.dpblcdtitle().image());
    dpbvolume_->setPicture(&panel_.dpbvolume().image());
    dpb_->hide();
    dpblcdtitle_->hide();
    dpbvolume_->hide();

    using E = SurfaceWidget::Event;
    auto panelHandler = [this](bool level) {
        return [this, level](E e, QPoint p) {
            if (level) p += panel_.levelRect().topLeft();
            switch (e) {
                case E::Press:
                case E::RightPress:
                    if (level)
                        panel_.pressOnLevel(p.x(), p.y(), e == E::RightPress);
                    else
                        panel_.press(p.x(), p.y(), e == E::RightPress);
                    break;
                case E::OtherPress:
                    panel_.pressOther();
                    break;
                case E::Move:
                    panel_.move(p.x(), p.y());
                    break;
                case E::Release:
                    panel_.release();
                    break;
                case E::DoubleClick:
                    panel_.doubleClick();
                    break;
                case E::RightRelease:
                    break;
            }
            flush();
        };
    };
    dpb2_->setHandler(panelHandler(false));
    dpbvolume_->setHandler(panelHandler(true));
    dpb_->setHandler([this](E e, QPoint p) {
        ScreenDisplay& s = panel_.screen();
        switch (e) {
            case E::Press:
                s.mousePress(p.x(), p.y(), false);
                break;
            case E::RightPress:
                s.mousePress(p.x(), p.y(), true);
                break;
            case E::Move:
                s.mouseMove(p.x(), p.y());
                break;
            case E::Release:
                s.mouseRelease(p.x(), p.y(), false);
                break;
            case E::RightRelease:
                s.mouseRelease(p.x(), p.y(), true);
                break;
            case E::DoubleClick:
                s.doubleClick();
                break;
            case E::OtherPress:
                break;
        }
    });

    // The Panel and Coolbar menus go at the end of "Set Up", so that the positions the
    // language file relabels stay as they are.
    QMenu* setup = w_.menus->setupMenu();
    setup->addSeparator();
    panelMenu_ = setup->addMenu(QStringLiteral("&Panel"));
    panelMenu_->menuAction()->setObjectName(QStringLiteral("Panel1"));
    coolbarMenu_ = setup->addMenu(QStringLiteral("C&oolbar"));
    coolbarMenu_->menuAction()->setObjectName(QStringLiteral("Coolbar1"));
    coolbarModeAction_ = setup->addAction(QStringLiteral("Coolbar &Mode"));
    coolbarModeAction_->setObjectName(QStringLiteral("CoolbarMode1"));
    coolbarModeAction_->setCheckable(true);
    connect(coolbarModeAction_, &QAction::triggered, this, [this] { toggleCoolbarMode(); });
    buildSizeMenu(setup);
    installAction_ = setup->addAction(QStringLiteral("&Install Panel..."));
    installAction_->setObjectName(QStringLiteral("InstallPanel1"));
    connect(installAction_, &QAction::triggered, this, [this] { askInstall(); });
    panelGroup_ = new QActionGroup(this);
    coolbarGroup_ = new QActionGroup(this);

    // The toggles follow their menu items, whoever changes them.
    for (int e : {kRepeat, kShuffle, kIntro, kFx, kEq})
        if (QAction* a = toggleAction(e))
            connect(a, &QAction::toggled, this, [this, e](bool on) {
                panel_.drawToggle(e, on);
                flush();
            });

    applyOptions();
    shownSettings_ = w_.store->settings();
    // The configuration window changes fonts, colours, the VU meter, the screen lines and the
    // size while the player runs.
    connect(w_.store, &SettingsStore::changed, this, &PanelDisplay::followSettings);
    loadScreenResources();
    panel_.screen().setCredits(w_.credits);
    rebuildMenus();
}

PanelDisplay::~PanelDisplay() = default;

QAction* PanelDisplay::toggleAction(int element) const {
    const char* name = nullptr;
    switch (element) {
        case kRepeat:
            name = "AutoRepeat1";
            break;
        case kShuffle:
            name = "Random1";
            break;
        case kIntro:
            name = "Intro1";
            break;
        case kFx:
            name = "EnableFX1";
            break;
        case kEq:
            name = "EnableEQ1";
            break;
        default:
            return nullptr;
    }
    return w_.menus->item(QString::fromLatin1(name));
}

void PanelDisplay::followSettings() {
    const PlayerSettings& s = w_.store->settings();
    const PlayerSettings& was = shownSettings_;
    const bool look = s.screenfont != was.screenfont || s.lcdtitlefont != was.lcdtitlefont ||
                      s.lcdvolumefont != was.lcdvolumefont || s.labelsleft != was.labelsleft ||
                      s.labelstop != was.labelstop || s.enablevu != was.enablevu ||
                      s.scrollsongtitle != was.scrollsongtitle ||
                      s.doubleclickcoolbar != was.doubleclickcoolbar;
    const bool size =
        PanelZoom::validSetting(s.panelzoom) != PanelZoom::validSetting(was.panelzoom);
    shownSettings_ = s;
    if (look) applyOptions();
    if (size) {
        const int valid = PanelZoom::validSetting(s.panelzoom);
        for (QAction* a : sizeGroup_->actions()) a->setChecked(a->data().toInt() == valid);
        if (panel_.applied()) layoutPanel();
    }
    if (look || size) showState(w_.controller->state());
}

void PanelDisplay::applyOptions() {
    const PlayerSettings& s = w_.store->settings();
    PanelPresenter::Options o;
    o.doubleClickCoolbar = s.doubleclickcoolbar;
    // Once the configuration window was opened, the first run's release opens it no more.
    o.firstTime = s.firsttime && !w_.store->configurationOpened() &&
                  (!optionsApplied_ || panel_.options().firstTime);
    optionsApplied_ = true;
    o.enableVu = s.enablevu;
    o.lcdTitleFont = fontFrom(s.lcdtitlefont);
    o.lcdTitleColor = colorFrom(s.lcdtitlefont.color);
    o.lcdVolumeFont = fontFrom(s.lcdvolumefont);
    o.lcdVolumeColor = colorFrom(s.lcdvolumefont.color);
    o.screen.font = fontFrom(s.screenfont);
    o.screen.color = colorFrom(s.screenfont.color);
    o.screen.left = s.labelsleft;
    o.screen.top = s.labelstop;
    o.screen.scrollTitle = s.scrollsongtitle;
    o.screen.useBlitra = w_.store->effectiveMmx();
    panel_.setOptions(o);
}

void PanelDisplay::loadScreenResources() {
    const Home& home = w_.store->home();
    QImageReader reader(home.path(QStringLiteral("resource/bg.bmp")), "bmp");
    QImage bg;
    const QSize size = reader.size();
    if (size.isValid() && size.width() <= 4096 && size.height() <= 4096) bg = reader.read();
    panel_.screen().setDefaultBackground(bg);
    QFile raw(home.path(QStringLiteral("resource/bumpl.raw")));
    if (raw.open(QIODevice::ReadOnly)) panel_.screen().setPauseMask(raw.read(35200));
}

QString PanelDisplay::folder(bool coolbar) const {
    const PlayerSettings& s = w_.store->settings();
    return w_.store->home().path(coolbar ? s.coolbardirname : s.paneldirname);
}

QString PanelDisplay::missingMessage(bool coolbar) {
    return coolbar ? QStringLiteral(
                         "Coolbar was not found. Directory information may have been "
                         "lost during the installation.")
                   : QStringLiteral(
                         "Panel was not found. Directory information may have been "
                         "lost during the installation.");
}

bool PanelDisplay::start() {
    const PlayerSettings& s = w_.store->settings();
    return s.coolbar ? select(true, s.coolbarname, true) : select(false, s.panelname, true);
}

bool PanelDisplay::select(bool coolbar, const QString& name, bool fatal) {
    QStringList candidates;
    if (auto p = PanelList::resolve(folder(coolbar), name)) candidates << *p;
    // A home that could not be seeded still has the installed copy of the default panel.
    if (!w_.defaultDataDir.isEmpty()) {
        const QString installed = QDir(w_.defaultDataDir)
                                      .filePath(coolbar ? QStringLiteral("coolbar/default.bmp")
                                                        : QStringLiteral("panel/default.bmp"));
        if (QFileInfo::exists(installed)) candidates << installed;
    }
    QString problem;
    for (const QString& path : candidates) {
        try {
            panel_.apply(path);
            w_.store->change([&](PlayerSettings& s) {
                (coolbar ? s.coolbarname : s.panelname) = name;
                s.coolbar = coolbar;
            });
            coolbarModeAction_->setChecked(coolbar);
            QActionGroup* group = coolbar ? coolbarGroup_ : panelGroup_;
            for (QAction* a : group->actions()) a->setChecked(a->text() == name);
            for (QAction* a : (coolbar ? panelGroup_ : coolbarGroup_)->actions())
                a->setChecked(false);
            if (!problem.isEmpty() && w_.tell) w_.tell(problem);
            layoutPanel();
            return true;
        } catch (const PanelError& e) {
            if (problem.isEmpty()) problem = QString::fromUtf8(e.what());
            // A broken panel chosen by the user leaves the current one in place.
            if (panel_.applied()) break;
        }
    }
    if (panel_.applied()) {
        if (w_.tell) w_.tell(problem.isEmpty() ? missingMessage(coolbar) : problem);
        return false;
    }
    if (fatal && w_.tell) w_.tell(missingMessage(coolbar));
    return false;
}

bool PanelDisplay::selectPanel(const QString& name) {
    return select(false, name, false);
}

bool PanelDisplay::selectCoolbar(const QString& name) {
    return select(true, name, false);
}

bool PanelDisplay::coolbarMode() const {
    return w_.store->settings().coolbar;
}

void PanelDisplay::toggleCoolbarMode() {
    const PlayerSettings& s = w_.store->settings();
    if (!(coolbarMode() ? select(false, s.panelname, false) : select(true, s.coolbarname, false)))
        coolbarModeAction_->setChecked(coolbarMode());
}

void PanelDisplay::layoutPanel() {
    const PanelZoom z = zoom();
    for (SurfaceWidget* box : {dpb2_, dpb_, dpblcdtitle_, dpbvolume_}) box->setZoom(z);
    const QSize size = z.toWindow(panel_.panel().size());
    dpb2_->setGeometry(QRect(QPoint(0, 0), size));
    dpb_->setGeometry(z.toWindow(panel_.screenRect()));
    if (panel_.showsLcdTitle()) {
        dpblcdtitle_->setGeometry(z.toWindow(panel_.lcdTitleRect()));
        dpblcdtitle_->show();
        dpblcdtitle_->raise();
        dpb_->hide();
    } else {
        dpb_->show();
        dpb_->raise();
        dpblcdtitle_->hide();
    }
    if (panel_.showsLevel()) {
        dpbvolume_->setGeometry(z.toWindow(panel_.levelRect()));
        dpbvolume_->show();
        dpbvolume_->raise();
    } else {
        dpbvolume_->hide();
    }
    setFixedSize(size);
    if (QWidget* top = window(); top && top != this) {
        top->setFixedSize(size);
        const QRegion region = panel_.panel().windowRegion();
        if (region.isEmpty())
            top->clearMask();
        else
            top->setMask(z.scale() == 1.0
                             ? region
                             : QTransform::fromScale(z.scale(), z.scale()).map(region));
    }
    dpb2_->update();
    dpb_->update();
    dpblcdtitle_->update();
    dpbvolume_->update();
}

QSize PanelDisplay::sizeHint() const {
    return panel_.applied() ? zoom().toWindow(panel_.panel().size()) : QSize(360, 120);
}

PanelZoom PanelDisplay::zoom() const {
    const QWidget* top = window();
    return PanelZoom(w_.store->settings().panelzoom, top ? top->devicePixelRatioF() : 1.0);
}

void PanelDisplay::setZoom(int setting) {
    const int valid = PanelZoom::validSetting(setting);
    w_.store->change([valid](PlayerSettings& s) { s.panelzoom = valid; });
    for (QAction* a : sizeGroup_->actions()) a->setChecked(a->data().toInt() == valid);
    if (panel_.applied()) layoutPanel();
}

void PanelDisplay::buildSizeMenu(QMenu* setup) {
    QMenu* menu = setup->addMenu(QStringLiteral("Panel &Size"));
    menu->menuAction()->setObjectName(QStringLiteral("PanelSize1"));
    sizeGroup_ = new QActionGroup(this);
    const int current = PanelZoom::validSetting(w_.store->settings().panelzoom);
    const std::pair<int, const char*> choices[] = {
        {1, "&1x"}, {2, "&2x"}, {3, "&3x"}, {PanelZoom::kFollowScreen, "&Follow the Screen"}};
    for (const auto& [value, text] : choices) {
        QAction* a = menu->addAction(QString::fromLatin1(text));
        a->setObjectName(QStringLiteral("PanelZoom%1").arg(value));
        a->setData(value);
        a->setCheckable(true);
        a->setChecked(value == current);
        sizeGroup_->addAction(a);
        connect(a, &QAction::triggered, this, [this, v = value] { setZoom(v); });
    }
}

bool PanelDisplay::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const QPoint p = zoom().toPanel(help->pos());
        const PanelPresenter::Tooltip tip = panel_.tooltipAt(p.x(), p.y());
        if (tip.text.isEmpty()) {
            QToolTip::hideText();
            e->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip.text, this, zoom().toWindow(tip.area));
        }
        return true;
    }
    // Another screen may have another device pixel ratio, and so another size.
    if (e->type() == QEvent::ScreenChangeInternal && panel_.applied()) layoutPanel();
    return QWidget::event(e);
}

void PanelDisplay::flush() {
    const PanelZoom z = zoom();
    auto push = [&z](DrawingSurface& s, SurfaceWidget* box) {
        const QRect r = s.takeDirty();
        if (!r.isEmpty()) box->update(z.toWindow(r));
    };
    push(panel_.dpb2(), dpb2_);
    push(panel_.dpb(), dpb_);
    push(panel_.dpblcdtitle(), dpblcdtitle_);
    push(panel_.dpbvolume(), dpbvolume_);
}

void PanelDisplay::showState(const PlayerState& state) {
    panel_.screen().setPlaylist(w_.controller->playlist());
    panel_.setState(state);
    flush();
}

void PanelDisplay::tick(const PlayerState& state) {
    panel_.screen().setPlaylist(w_.controller->playlist());
    panel_.setState(state);
    float left = 0, right = 0;
    if (w_.store->settings().enablevu) XMGetVisualization(&left, &right, nullptr, nullptr);
    panel_.tick(left / 256.0, right / 256.0, window()->isVisible());
    flush();
}

bool PanelDisplay::wantsTicks(const PlayerState&) const {
    return panel_.wantsTicks();
}

void PanelDisplay::leaveEvent(QEvent* event) {
    panel_.leave();
    flush();
    QWidget::leaveEvent(event);
}

bool PanelDisplay::showsVolume() const {
    return panel_.applied() && panel_.panel().defined(kLcdVolume);
}

// ---------------------------------------------------------------------------------------------
// Menus and installation

void PanelDisplay::rebuildMenus() {
    for (QAction* a : shortcutActions_) removeAction(a);
    shortcutActions_.clear();
    for (int k = 0; k < 2; ++k) {
        const bool coolbar = k == 1;
        QMenu* menu = coolbar ? coolbarMenu_ : panelMenu_;
        QActionGroup* group = coolbar ? coolbarGroup_ : panelGroup_;
        for (QAction* a : group->actions()) {
            group->removeAction(a);
            a->deleteLater();
        }
        menu->clear();
        const QStringList names = PanelList::names(folder(coolbar));
        const QString current =
            coolbar ? w_.store->settings().coolbarname : w_.store->settings().panelname;
        for (int i = 0; i < names.size(); ++i) {
            QAction* a = menu->addAction(names.at(i));
            a->setCheckable(true);
            a->setChecked(coolbarMode() == coolbar && names.at(i) == current);
            group->addAction(a);
            if (!coolbar && i < PanelList::kShortcuts) {
                a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)));
                addAction(a);  // shortcuts work while the window is active
                shortcutActions_.append(a);
            }
            const QString name = names.at(i);
            connect(a, &QAction::triggered, this,
                    [this, coolbar, name] { select(coolbar, name, false); });
        }
        if (names.isEmpty()) menu->addAction(QStringLiteral("(none)"))->setEnabled(false);
    }
}

void PanelDisplay::askInstall() {
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Install panel"), QString(), QStringLiteral("Zip archives (*.zip)"));
    if (file.isEmpty()) return;
    QMessageBox box(QMessageBox::Question, QStringLiteral("install panel"),
                    QStringLiteral("Install the archive as:"), QMessageBox::Cancel, this);
    QPushButton* asPanel =
        box.addButton(QStringLiteral("install as a panel"), QMessageBox::AcceptRole);
    QPushButton* asCoolbar =
        box.addButton(QStringLiteral("install as a coolbar"), QMessageBox::AcceptRole);
    box.setDefaultButton(asPanel);
    box.exec();
    if (box.clickedButton() != asPanel && box.clickedButton() != asCoolbar) return;
    installArchive(file, box.clickedButton() == asCoolbar);
}

bool PanelDisplay::installArchive(const QString& zipPath, bool asCoolbar) {
    try {
        PanelInstaller::install(zipPath, folder(asCoolbar));
    } catch (const PanelError& e) {
        if (w_.tell) w_.tell(QString::fromUtf8(e.what()));
        return false;
    }
    rebuildMenus();
    return true;
}

// ---------------------------------------------------------------------------------------------
// PanelCommands

void PanelDisplay::trigger(const char* action) {
    if (QAction* a = w_.menus->item(QString::fromLatin1(action)); a && a->isEnabled()) a->trigger();
}

void PanelDisplay::openFiles() {
    if (w_.openFiles) w_.openFiles();
}
void PanelDisplay::play() {
    w_.controller->play();
}
void PanelDisplay::stop() {
    w_.controller->stop();
}
void PanelDisplay::pause() {
    w_.controller->pause();
}
void PanelDisplay::resume() {
    w_.controller->resume();
}
void PanelDisplay::seekHeld(bool forward) {
    if (forward)
        w_.controller->seekForward();
    else
        w_.controller->seekBack();
}
void PanelDisplay::seekReleased() {
    w_.controller->seekReleased();
}
void PanelDisplay::volumeHeld(bool up) {
    w_.controller->volumeHeld(up);
}
void PanelDisplay::volumeReleased() {
    w_.controller->volumeReleased();
}
void PanelDisplay::showPlaylist() {
    trigger("Playlist1");
}
void PanelDisplay::showDjControl() {
    trigger("DJControl1");
}
void PanelDisplay::configuration() {
    trigger("Config1");
}
void PanelDisplay::firstRelease() {
    trigger("Config1");
}
void PanelDisplay::closeWindow() {
    if (w_.closeWindow) w_.closeWindow();
}
void PanelDisplay::hideWindow() {
    if (w_.hideWindow) w_.hideWindow();
}
void PanelDisplay::next() {
    w_.controller->next();
}
void PanelDisplay::previous() {
    w_.controller->previous();
}
void PanelDisplay::playEntry(int index) {
    w_.controller->playEntry(index);
}
void PanelDisplay::seekTo(double fraction) {
    w_.controller->seekTo(fraction);
}

bool PanelDisplay::openAllowed() const {
    return w_.controller->acceptsFiles();
}

void PanelDisplay::pluginMenu(QPoint panelPoint) {
    // Background, full-screen and visualisation plug-ins, as in the main menu's Plug-In menu.
    pluginMenu_ = std::make_unique<QMenu>();
    if (w_.fillPluginMenu) w_.fillPluginMenu(pluginMenu_.get());
    pluginMenu_->popup(
        dpb2_->mapToGlobal(zoom().toWindow(QRect(panelPoint, QSize(1, 1))).topLeft()));
}

void PanelDisplay::toggle(int element) {
    if (QAction* a = toggleAction(element)) a->toggle();
}

bool PanelDisplay::toggleState(int element) const {
    const QAction* a = toggleAction(element);
    return a && a->isChecked();
}

void PanelDisplay::outputLevel(int volume, int pan) {
    w_.controller->setVolume(volume);
    w_.controller->setPan(pan);
}

void PanelDisplay::setHandCursor(bool hand) {
    if (hand)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void PanelDisplay::startWindowDrag() {
    // The window manager moves the window: this works on Wayland as well as on X11.
    if (QWindow* h = window()->windowHandle()) h->startSystemMove();
}

}  // namespace ombrix
