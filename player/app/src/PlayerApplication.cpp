#include "ombrix/app/PlayerApplication.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLocale>
#include <QMessageBox>
#include <QProcessEnvironment>
#include <QSystemTrayIcon>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "mixora.h"
#include "mp3.h"
#include "ombrix/app/DeferredVideoControl.h"
#include "ombrix/app/MainMenus.h"
#include "ombrix/app/MainWindow.h"
#include "ombrix/control/CommandLine.h"
#include "ombrix/control/DiscReader.h"
#include "ombrix/control/InstanceMessage.h"
#include "ombrix/control/MixerRules.h"
#include "ombrix/control/OutputLevel.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/desktop/AlsaMixer.h"
#include "ombrix/desktop/DesktopIntegration.h"
#include "ombrix/desktop/SingleInstance.h"
#include "ombrix/desktop/SystemTray.h"
#include "ombrix/effects/DecoderEqualizer.h"
#include "ombrix/effects/EffectorSettings.h"
#include "ombrix/effects/EqualizerSetup.h"
#include "ombrix/effects/MixoraDesk.h"
#include "ombrix/library/DiscDatabase.h"
#include "ombrix/library/DiscRecord.h"
#include "ombrix/library/PlaylistFile.h"
#include "ombrix/library/RecordSubmission.h"
#include "ombrix/library/ReplayGainScanner.h"
#include "ombrix/media/MediaControlRouter.h"
#include "ombrix/media/PcmMediaControl.h"
#include "ombrix/remote/TelnetDaemon.h"
#include "ombrix/settings/PrivateFolder.h"
#include "ombrix/settings/TextFile.h"
#include "ombrix/windows/cdtitle/DiscTitleWindow.h"

namespace ombrix {
namespace {
const QString kBackup = QStringLiteral("backup.dmp");
constexpr qint64 kStaleExtractSeconds = 10 * 60;
/// What could not be saved at the last exit, shown at the next start.
const QString kUnsavedNote = QStringLiteral("unsaved.txt");

/// The desktop's tray as Qt's tray icon finds it (a StatusNotifier host or an X11 tray).
class QtSystemTray final : public SystemTray {
public:
    bool available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }
};

}  // namespace

PlayerApplication::PlayerApplication(Options options)
    : home_(options.home),
      store_(home_, ProcessorFeatures::detect()),
      clock_(options.clock ? std::move(options.clock) : std::make_unique<SystemClock>()),
      mixer_(std::move(options.mixer)),
      tray_(options.tray ? std::move(options.tray) : std::make_unique<QtSystemTray>()),
      marker_(home_.path(SessionMarker::kFileName)),
      args_(options.args) {
    // The order of construction: settings and media types, effects engine, controller, the
    // window (menus, hot keys, language, display), mixer, command line, remote control,
    // desktop.
    EntryResolver::Config resolverConfig;
    loadSettingsAndMedia(resolverConfig);
    // Extracts a crashed run left behind. Only the first player of this user sweeps, and only
    // folders older than any a running player could still be opening.
    if (options.instance && options.instance->isListening())
        EntryResolver::sweepStaleExtracts(resolverConfig.tempFolder, kStaleExtractSeconds);
    resolver_ = std::make_unique<EntryResolver>(resolverConfig, *media_, temps_);
    XMEnableMMX(store_.effectiveMmx() ? 1 : 0);
    applyStoredEffects();

    mediaControl_ = std::make_unique<MediaControlRouter>(
        std::make_unique<PcmMediaControl>(),
        std::make_unique<DeferredVideoControl>(DeferredVideoControl::installedModule()));
    controller_ = std::make_unique<PlaybackController>(store_, *resolver_, *clock_, *this, nullptr,
                                                       nullptr, mediaControl_.get());
    discReader_ = std::make_unique<DiscReader>(
        *controller_, store_, home_.path(DiscDatabase::kFileName), [this](const QString& q) {
            return QMessageBox::question(window_.get(), window_->windowTitle(), q) ==
                   QMessageBox::Yes;
        });
    connect(discReader_.get(), &DiscReader::message, this, &PlayerApplication::showMessage);
    gainScanner_ = std::make_unique<ReplayGainScanner>(home_.path(ReplayGainCache::kFileName));
    controller_->setGainScanner(gainScanner_.get());
    connect(controller_.get(), &PlaybackController::changed, this, &PlayerApplication::onChanged);

    window_ = std::make_unique<MainWindow>(
        MainWindow::Parts{*controller_, store_, home_, *effectsDesk_, *equalizerSink_, *tray_,
                          options.hotKeys, [this] { exitSave(); }});
    if (window_->startFailed()) {
        exitSaved_ = true;  // nothing of this run is worth keeping
        return;
    }
    openMixer();
    connectDiscCommands();
    loadStartFiles();
    if (options.instance)
        connect(options.instance, &SingleInstance::messageReceived, this,
                &PlayerApplication::handleInstanceMessage);

    telnet_ = std::make_unique<TelnetDaemon>(*controller_, store_, window_->windowTitle(),
                                             [this] { closeProgram(); });
    telnet_->startIfEnabled();
    // The configuration window switches the server and its port while the player runs; the
    // sound device's latency applies from the next song.
    OmbrixSetLatency(std::clamp(store_.settings().latency, 60, 2000));
    connect(&store_, &SettingsStore::changed, this, [this] {
        if (telnet_) telnet_->followSettings();  // gone first at the end
        OmbrixSetLatency(std::clamp(store_.settings().latency, 60, 2000));
    });
    window_->setTelnetState([this] { return telnet_ ? telnet_->followSettings() : QString(); });
    desktop_ = std::make_unique<DesktopIntegration>(
        *controller_, store_,
        DesktopIntegration::Hooks{[this] { window_->restoreFromTray(); },
                                  [this] { closeProgram(); },
                                  [this](const QString& text) {
                                      // A message of the start (a skipped entry) matters more.
                                      if (controller_->state().statusText.isEmpty())
                                          controller_->showStatus(text, 50);
                                  }});
    desktop_->start();
    marker_.begin();
    window_->start();
    showUnsavedNote();
    // From here on a change is written within seconds, not only at exit.
    autosave_ = std::make_unique<SettingsAutosave>(store_);
    connect(autosave_.get(), &SettingsAutosave::failed, this, [this](const QString& text) {
        qWarning("%s", qPrintable(text));
        controller_->showStatus(text, 50);
    });
}

void PlayerApplication::connectDiscCommands() {
    MainMenus& menus = window_->menus();
    QAction* read = menus.item(QStringLiteral("ReadCDTrack1"));
    QAction* edit = menus.item(QStringLiteral("EditCDtrack1"));
    QAction* submit = menus.item(QStringLiteral("SubmitCD1"));
    // The drive can be chosen while the player runs; the menu follows.
    const auto showDrive = [this, read] {
        if (read) read->setEnabled(!discReader_->drive().isEmpty());
    };
    showDrive();
    connect(&store_, &SettingsStore::changed, read, showDrive);
    if (read) connect(read, &QAction::triggered, discReader_.get(), &DiscReader::readTracks);
    if (edit) {
        edit->setEnabled(discReader_->discKnown());
        connect(discReader_.get(), &DiscReader::discKnownChanged, edit, &QAction::setEnabled);
        connect(edit, &QAction::triggered, this, [this] {
            DiscTitleWindow& w =
                DiscTitleWindow::open(discTitleWindow_, discReader_->record(),
                                      discReader_->database(), store_, window_.get());
            // Saved titles show in the playlist and on the panel's next song.
            connect(&w, &QDialog::accepted, window_.get(), &MainWindow::discTitlesChanged,
                    Qt::UniqueConnection);
        });
    }
    if (submit) connect(submit, &QAction::triggered, this, &PlayerApplication::submitDiscRecords);
    window_->setDisc(
        &discReader_->record(), [this] { discReader_->readTracks(); },
        [this] { return !discReader_->drive().isEmpty(); });
    connect(discReader_.get(), &DiscReader::recordChanged, this, [this] {
        window_->discTitlesChanged();
        if (discTitleWindow_ && discTitleWindow_->isVisible()) discTitleWindow_->showRecord();
    });
}

void PlayerApplication::submitDiscRecords() {
    if (submission_ && submission_->running()) return;
    // Records go to the public server; the setting remembers it.
    store_.change([](PlayerSettings& s) { s.cddbserver = RecordSubmission::kDefaultServer; });
    submission_ =
        std::make_unique<RecordSubmission>(discReader_->database(), store_.settings().cddbserver);
    submission_->setProxy(DiscLookup::Options::fromSettings(store_.settings()).proxy);
    submission_->setAsk([this](const QString& question) {
        const auto answer = QMessageBox::question(
            window_.get(), window_->windowTitle(), question,
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        if (answer == QMessageBox::Yes) return RecordSubmission::Answer::Yes;
        if (answer == QMessageBox::No) return RecordSubmission::Answer::No;
        return RecordSubmission::Answer::Cancel;
    });
    submission_->setEdit([this](DiscRecord& record) {
        DiscTitleWindow::editModally(record, discReader_->database(), store_, window_.get());
    });
    connect(submission_.get(), &RecordSubmission::status, this,
            [this](const QString& text) { controller_->showStatus(text); });
    connect(submission_.get(), &RecordSubmission::message, this, &PlayerApplication::showMessage);
    submission_->start();
}

bool PlayerApplication::startFailed() const noexcept {
    return window_->startFailed();
}

PlayerApplication::~PlayerApplication() {
    ending_->store(true);
    telnet_.reset();
    if (!exitSaved_) exitSave();
}

void PlayerApplication::loadSettingsAndMedia(EntryResolver::Config& rc) {
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
    rc.tempFolder = tempFolder;
    rc.downloadFolder = home_.path(QStringLiteral("file"));
    QDir().mkpath(rc.downloadFolder);

    XMInit();
    XMSetSampleRate(s.glbsamplingrate);
    XMEnableVisualization(20);

    store_.loadSettings();
    // A settings file that exists but cannot be read is kept untouched; say so once.
    for (const QString& problem : store_.takeProblems()) showMessage(problem);
    rc.downloadLimitBytes = qint64{std::max(s.downloadlimit, 1)} * 1024 * 1024;
    rc.downloadDeadlineMs = std::clamp(s.downloadtimeout, 1, 24 * 60) * 60 * 1000;
    rc.extractLimitBytes = qint64{std::clamp(s.extractlimit, 1, 1 << 20)} * 1024 * 1024;
    rc.copyshared = s.copyshared;
    rc.glbtemp10 = s.glbtemp10;
    rc.proxy = s.proxy;
    rc.proxyport = static_cast<quint16>(s.proxyport.toUInt());
    if (rc.proxyport == 0) rc.proxyport = 80;
}

void PlayerApplication::applyStoredEffects() {
    // The effect settings and the equaliser curve of the last run are heard from the first song
    // on, whether or not their windows are ever opened.
    effectsDesk_ = std::make_unique<MixoraDesk>();
    equalizerSink_ = std::make_unique<DecoderEqualizer>();
    if (const auto fx = EffectorSettings::load(QDir(home_.path(EffectorSettings::kPresetFolder))
                                                   .filePath(EffectorSettings::kLastTime)))
        fx->applyTo(*effectsDesk_);
    EqualizerSetup equalizer;
    equalizer.read(store_.readMain());
    equalizer.send(*equalizerSink_);
    OmbrixEnableEQ(store_.settings().enableeq1 ? 1 : 0);
    XMEnableOctaveEQ(store_.settings().enableeq1 ? 1 : 0);
}

void PlayerApplication::openMixer() {
    const PlayerSettings& s = store_.settings();
    if (!mixer_) mixer_ = std::make_unique<AlsaMixer>();
    const int mixers = mixer_->deviceCount();
    if (MixerRules::useMixer(s.usemixer, mixers) &&
        mixer_->open(MixerRules::mixerId(s.mixerid, mixers), s.mixerdest1, s.mixerdest2)) {
        controller_->setMixer(mixer_.get());
        const auto [left, right] = mixer_->volume();
        controller_->setVolume(OutputLevel::volumeFromMixer(left, right));
    } else {
        // Copies: each call keeps the pair in the settings.
        const int volume = s.playervolume;
        const int pan = s.playerpan;
        controller_->setPan(pan);
        controller_->setVolume(volume);
    }
}

void PlayerApplication::loadStartFiles() {
    const PlayerSettings& s = store_.settings();
    const auto crashed = marker_.uncleanExit();
    if (!args_.isEmpty()) {
        const FirstInstanceStart start = CommandLine::gatherFirstInstance(args_);
        if (start.cdRequest) {
            discReader_->readTracks();
            return;
        }
        if (SystemTray::hideAfterStart(s.glbhide, s.coolbar, tray_->available()))
            window_->hideWhenPlaying();
        const bool edit = start.editRequest;
        gatherFolders(start.entries, [this, edit](const DropResult& r) {
            showStatusTexts(r.statusTexts);
            if (!controller_->playlist().isEmpty()) {
                // Files came from elsewhere while the folders were read: keep them.
                if (controller_->acceptsFiles()) controller_->addFiles(r.files, false);
                return;
            }
            controller_->setPlaylist(r.files);
            controller_->setStartPending(static_cast<int>(r.files.size()), edit);
        });
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

void PlayerApplication::gatherFolders(const QStringList& names,
                                      std::function<void(const DropResult&)> done) {
    const MediaIdentifier media(store_.mediaTypes().flat);
    if (!DropCollector::namesFolder(names)) {
        done(DropCollector::collectNames(names, media));
        return;
    }
    // A folder can hold many thousands of files: it is walked off the main thread.
    const QString reading = QStringLiteral("reading folders...");
    controller_->showStatus(reading, 600);
    auto* watcher = new QFutureWatcher<DropResult>(this);
    connect(watcher, &QFutureWatcher<DropResult>::finished, this,
            [this, watcher, reading, done = std::move(done)] {
                watcher->deleteLater();
                const DropResult r = watcher->result();
                if (controller_->state().statusText == reading) controller_->showStatus({}, 0);
                if (!r.cancelled) done(r);
            });
    watcher->setFuture(QtConcurrent::run([names, media, ending = ending_] {
        return DropCollector::collectNames(names, media, [&ending](int) { return !*ending; });
    }));
}

void PlayerApplication::showStatusTexts(const QStringList& texts) {
    if (!texts.isEmpty()) controller_->showStatus(texts.last(), 20);
}

void PlayerApplication::onChanged(int mask) {
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
}

void PlayerApplication::handleInstanceMessage(const QString& text) {
    if (!controller_->acceptsFiles()) return;
    const InstanceMessage msg = InstanceMessage::parse(text);
    switch (msg.kind) {
        case InstanceMessage::Kind::Add:
        case InstanceMessage::Kind::Play:
            if (msg.path.isEmpty()) break;
            gatherFolders({msg.path}, [this, playNow = msg.kind == InstanceMessage::Kind::Play](
                                          const DropResult& r) {
                showStatusTexts(r.statusTexts);
                if (!r.files.isEmpty() && controller_->acceptsFiles())
                    controller_->addFiles(r.files, playNow);
            });
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
            discReader_->readTracks();
            break;
    }
}

void PlayerApplication::exitSave() {
    if (exitSaved_) return;
    exitSaved_ = true;
    autosave_.reset();  // everything is saved below
    store_.change([this](PlayerSettings& s) {
        s.fmain =
            WindowPosition{window_->pos().x(), window_->pos().y(), std::nullopt, std::nullopt};
    });
    try {
        store_.saveAll();
    } catch (const std::exception& e) {
        reportSaveError(QStringLiteral("the settings"), e);
    }
    temps_.deleteAll();
    try {
        PlaylistFile::save(home_.path(kBackup), controller_->playlist());
    } catch (const std::exception& e) {
        reportSaveError(kBackup, e);
    }
    marker_.end();
}

void PlayerApplication::reportSaveError(const QString& what, const std::exception& e) {
    if (saveErrorShown_) return;
    saveErrorShown_ = true;
    const QString text = QStringLiteral("Could not save ") + what + QStringLiteral(": ") +
                         QString::fromUtf8(e.what());
    // The program is ending (perhaps with the desktop's session): no dialog now. The text is
    // logged and kept for the next start, which shows it.
    qWarning("%s", qPrintable(text));
    try {
        TextFile::writeLines(home_.path(kUnsavedNote), {text});
    } catch (const std::exception&) {
        // The disk that refused the settings may refuse this too; the log has it.
    }
}

void PlayerApplication::showUnsavedNote() {
    const QString note = home_.path(kUnsavedNote);
    if (!QFileInfo(note).isFile()) return;
    QStringList lines;
    try {
        lines = TextFile::readLines(note);
    } catch (const std::exception&) {
    }
    QFile::remove(note);
    if (!lines.isEmpty())
        window_->tell(lines.first().left(500) +
                          QStringLiteral("\n\nChanges made in the last run may be lost."),
                      QMessageBox::Warning);
}

// ---------------------------------------------------------------------------------------------
// ControllerHost

void PlayerApplication::closeProgram() {
    if (window_) QMetaObject::invokeMethod(window_.get(), &QWidget::close, Qt::QueuedConnection);
}

void PlayerApplication::showMessage(const QString& text) {
    if (window_) {
        window_->showMessage(text);
        return;
    }
    // Problems found before the window exists (settings, media types, the temporary folder).
    MainWindow::tellWithoutWindow(text);
}

void PlayerApplication::openTagEditor(const QString& file) {
    if (window_) window_->openTagEditor(file);
}

}  // namespace ombrix
