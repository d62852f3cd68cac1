#include "ombrix/app/MainMenus.h"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>

#include "ombrix/settings/IniDocument.h"

namespace ombrix {

namespace {
const char* const kUnnumbered = "ombrixUnnumbered";
}  // namespace

MainMenus::MainMenus(QObject* parent)
    : QObject(parent), mainPopup_(std::make_unique<QMenu>()), trayMenu_(std::make_unique<QMenu>()) {
    QMenu* m = mainPopup_.get();
    m->setObjectName(QStringLiteral("mainpopup"));
    add(m, QStringLiteral("Open1"), tr("&Open Files..."));
    recent1_ = m->addMenu(tr("Recent &Files"));
    recent1_->menuAction()->setObjectName(QStringLiteral("Recent1"));
    recentFolder1_ = m->addMenu(tr("Recent F&olders"));
    recentFolder1_->menuAction()->setObjectName(QStringLiteral("RecentFolder1"));
    m->addSeparator();
    add(m, QStringLiteral("play1"), tr("&Play"));
    add(m, QStringLiteral("Pause1"), tr("P&ause"));
    add(m, QStringLiteral("stop2"), tr("&Stop"));
    add(m, QStringLiteral("Next1"), tr("&Next"));
    add(m, QStringLiteral("Prev1"), tr("Pre&vious"));
    m->addSeparator();
    add(m, QStringLiteral("Random1"), tr("&Random"), true);
    add(m, QStringLiteral("Intro1"), tr("&Intro"), true);
    add(m, QStringLiteral("AutoRepeat1"), tr("A&uto Repeat"), true);
    add(m, QStringLiteral("RepeatThisSong1"), tr("Repeat &This Song"), true);
    add(m, QStringLiteral("Resume1"), tr("R&esume"), true);
    add(m, QStringLiteral("RemainingTime1"), tr("Show Remaining Ti&me"), true)
        ->setProperty(kUnnumbered, true);
    m->addSeparator();
    add(m, QStringLiteral("Playlist1"), tr("Play&list Editor..."));
    // Items the language file does not know: they are skipped when it relabels by position.
    add(m, QStringLiteral("SavePlaylistAs1"), tr("Sa&ve Playlist As..."))
        ->setProperty(kUnnumbered, true);
    add(m, QStringLiteral("SaveToDesktop1"), tr("Save Playlist to Des&ktop"))
        ->setProperty(kUnnumbered, true);
    add(m, QStringLiteral("EditTag1"), tr("Edit &TAG..."));
    add(m, QStringLiteral("DJControl1"), tr("&DJ Control..."));
    add(m, QStringLiteral("Equalizer1"), tr("E&qualizer..."));
    add(m, QStringLiteral("CreateImage1"), tr("&Create Image File..."));
    add(m, QStringLiteral("ReadCDTrack1"), tr("Read &CD Tracks"));
    // The disc's titles and their submission; unknown to the language file as well.
    add(m, QStringLiteral("EditCDtrack1"), tr("Edit CD &Information..."))
        ->setProperty(kUnnumbered, true);
    add(m, QStringLiteral("SubmitCD1"), tr("Su&bmit CD Records..."))->setProperty(kUnnumbered, true);
    m->addSeparator();

    // Unknown to the language file, like the other items it does not number.
    plugIn1_ = m->addMenu(tr("Plu&g-In"));
    plugIn1_->setObjectName(QStringLiteral("plugin1"));
    plugIn1_->menuAction()->setObjectName(QStringLiteral("PlugIn1"));
    plugIn1_->menuAction()->setProperty(kUnnumbered, true);
    setup1_ = m->addMenu(tr("Set &Up"));
    setup1_->setObjectName(QStringLiteral("setup1"));
    setup1_->menuAction()->setObjectName(QStringLiteral("Setup1"));
    add(setup1_, QStringLiteral("Config1"), tr("&Configuration..."));
    add(setup1_, QStringLiteral("StayonTop1"), tr("&Stay on Top"), true);
    add(setup1_, QStringLiteral("EnableFX1"), tr("Enable &FX"), true);
    add(setup1_, QStringLiteral("EnableEQ1"), tr("Enable &EQ"), true);
    priority_ = setup1_->addMenu(tr("Player &Priority"));
    priority_->menuAction()->setObjectName(QStringLiteral("PlayerPriority1"));
    priorityGroup_ = new QActionGroup(this);
    const QStringList priorities{tr("Lowest"), tr("Lower"), tr("Normal"), tr("Higher"),
                                 tr("Highest")};
    for (int i = 0; i < priorities.size(); ++i) {
        QAction* a =
            add(priority_, QStringLiteral("Priority%1").arg(i + 1), priorities.at(i), true);
        priorityGroup_->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { emit priorityChosen(i); });
    }
    // Loudness levelling; the language file does not know it, so it keeps its place out of the
    // numbering.
    replayGain_ = setup1_->addMenu(tr("&ReplayGain"));
    replayGain_->menuAction()->setObjectName(QStringLiteral("ReplayGain1"));
    replayGain_->menuAction()->setProperty(kUnnumbered, true);
    auto* gainGroup = new QActionGroup(this);
    const QStringList gainModes{tr("&Off"), tr("&Track"), tr("&Album")};
    const QStringList gainNames{QStringLiteral("ReplayGainOff1"), QStringLiteral("ReplayGainTrack1"),
                                QStringLiteral("ReplayGainAlbum1")};
    for (int i = 0; i < gainModes.size(); ++i) {
        QAction* a = add(replayGain_, gainNames.at(i), gainModes.at(i), true);
        gainGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { emit replayGainChosen(i); });
    }
    m->addSeparator();
    add(m, QStringLiteral("About1"), tr("A&bout..."));
    add(m, QStringLiteral("Exit1"), tr("E&xit"));

    QMenu* t = trayMenu_.get();
    t->setObjectName(QStringLiteral("popupmenu1"));
    add(t, QStringLiteral("Restore1"), tr("&Restore"));
    add(t, QStringLiteral("TrayPlay1"), tr("&Play"));
    add(t, QStringLiteral("TrayStop1"), tr("&Stop"));
    add(t, QStringLiteral("TrayNext1"), tr("&Next"));
    add(t, QStringLiteral("TrayPrev1"), tr("Pre&vious"));
    recent2_ = t->addMenu(tr("Recent &Files"));
    recent2_->menuAction()->setObjectName(QStringLiteral("Recent2"));
    t->addSeparator();
    add(t, QStringLiteral("TrayExit1"), tr("E&xit"));
}

MainMenus::~MainMenus() = default;

QAction* MainMenus::add(QMenu* menu, const QString& name, const QString& text, bool checkable) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    a->setCheckable(checkable);
    return a;
}

QAction* MainMenus::item(const QString& name) const {
    for (QMenu* menu : {mainPopup_.get(), trayMenu_.get()}) {
        if (auto* a = menu->findChild<QAction*>(name)) return a;
        // Submenu items and submenu actions are children of the submenus.
        for (QMenu* sub : menu->findChildren<QMenu*>())
            for (QAction* a : sub->actions())
                if (a->objectName() == name) return a;
        for (QAction* a : menu->actions())
            if (a->objectName() == name) return a;
    }
    return nullptr;
}

void MainMenus::checkPriority(int index) {
    const QList<QAction*> items = priority_->actions();
    if (index >= 0 && index < items.size()) items.at(index)->setChecked(true);
}

void MainMenus::checkReplayGain(int mode) {
    const QList<QAction*> items = replayGain_->actions();
    if (mode >= 0 && mode < items.size()) items.at(mode)->setChecked(true);
}

void MainMenus::fillRecent(QMenu* menu, const QStringList& items,
                           const std::function<void(const QString&)>& chosen) {
    menu->clear();
    for (int i = 0; i < items.size(); ++i) {
        const QString path = items.at(i);
        QString label = QFileInfo(path).fileName();
        if (label.isEmpty()) label = path;
        QAction* a = menu->addAction(QStringLiteral("&%1 %2").arg((i + 1) % 10).arg(label));
        a->setToolTip(path);
        connect(a, &QAction::triggered, menu, [chosen, path] { chosen(path); });
    }
    menu->setEnabled(!items.isEmpty());
}

void MainMenus::setRecent(const QStringList& files, const QStringList& folders) {
    auto file = [this](const QString& f) { emit recentFileChosen(f); };
    fillRecent(recent1_, files, file);
    fillRecent(recent2_, files, file);
    fillRecent(recentFolder1_, folders, [this](const QString& f) { emit recentFolderChosen(f); });
}

void MainMenus::relabel(QMenu* menu, const IniDocument& ini, const QString& section) {
    QList<QAction*> items = menu->actions();
    items.removeIf([](const QAction* a) { return a->property(kUnnumbered).toBool(); });
    for (int i = 0; i < items.size(); ++i) {
        const auto caption = ini.value(section, QString::number(i));
        if (caption && !caption->isEmpty() && !items.at(i)->isSeparator())
            items.at(i)->setText(*caption);
    }
}

void MainMenus::applyLanguage(const IniDocument& ini) {
    relabel(mainPopup_.get(), ini, QStringLiteral("fmain.mainpopup"));
    relabel(setup1_, ini, QStringLiteral("fmain.setup1"));
    relabel(trayMenu_.get(), ini, QStringLiteral("fmain.popupmenu1"));
}

}  // namespace ombrix
