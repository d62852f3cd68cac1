#include "ombrix/settings/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <utility>

#include "ombrix/settings/PrivateFolder.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix {
namespace {

const QString kOption = QStringLiteral("option");
const QString kKeybind = QStringLiteral("keybind");
const QString kForm = QStringLiteral("form");
const QString kRecent = QStringLiteral("recent");
const QString kRecentFolder = QStringLiteral("recentfolder");
const QString kBump = QStringLiteral("Tessik.bump");

using S = PlayerSettings;

// The range of the loudness pre-amp and default gain, in dB.
constexpr int kMinGainDb = -15;
constexpr int kMaxGainDb = 15;

struct BoolKey {
    const char* key;
    bool S::*field;
};
struct IntKey {
    const char* key;
    int S::*field;
};
struct StringKey {
    const char* key;
    QString S::*field;
};

// Keys read before the main window is built and written at exit.
constexpr BoolKey kOptionBools[] = {
    {"allowmulti", &S::allowmulti},
    {"doubleclickcoolbar", &S::doubleclickcoolbar},
    {"alwayshidewindow", &S::alwayshidewindow},
    {"detectcdload", &S::detectcdload},
    {"preloadtag", &S::preloadtag},
};
constexpr IntKey kOptionInts[] = {
    {"idtag1", &S::idtag1},
    {"idtag2", &S::idtag2},
    {"idtag3", &S::idtag3},
    {"defaultrefreshrate", &S::defaultrefreshrate},
    {"fullrefreshrate", &S::fullrefreshrate},
};

// Keys read while the main window is built and written when it closes.
constexpr BoolKey kSettingBools[] = {
    {"firsttime", &S::firsttime},
    {"enablehotkey", &S::enablehotkey},
    {"coolbar", &S::coolbar},
    {"glbhide", &S::glbhide},
    {"enablealarm", &S::enablealarm},
    {"dontsleep", &S::dontsleep},
    {"glbautoexit", &S::glbautoexit},
    {"glbdropadd", &S::glbdropadd},
    {"glbtemp10", &S::glbtemp10},
    {"dontcheckplaylist", &S::dontcheckplaylist},
    {"copyshared", &S::copyshared},
    {"overridecodec", &S::overridecodec},
    {"usedirectsound", &S::usedirectsound},
    {"usemixer", &S::usemixer},
    {"timeremaining", &S::timeremaining},
    {"defaultcdplayer", &S::defaultcdplayer},
    {"scrollsongtitle", &S::scrollsongtitle},
    {"enablevu", &S::enablevu},
    {"startdaemon", &S::startdaemon},
    {"allowshutdown", &S::allowshutdown},
    {"songnotify", &S::songnotify},
    {"cddbnoprompt", &S::cddbnoprompt},
    {"cddbjapanese", &S::cddbjapanese},
    {"disablecddb", &S::disablecddb},
    {"random1", &S::random1},
    {"intro1", &S::intro1},
    {"autorepeat1", &S::autorepeat1},
    {"resume1", &S::resume1},
    {"stayontop1", &S::stayontop1},
    {"enablefx1", &S::enablefx1},
    {"enableeq1", &S::enableeq1},
    {"desktopstyle", &S::desktopstyle},
};
constexpr IntKey kSettingInts[] = {
    {"alarmhour", &S::alarmhour},
    {"alarmmin", &S::alarmmin},
    {"glbsleep", &S::glbsleep},
    {"glbbg", &S::glbbg},
    {"threadpriority", &S::threadpriority},
    {"glbmp3volume", &S::glbmp3volume},
    {"mpegmixbuff", &S::mpegmixbuff},
    {"waveoutid", &S::waveoutid},
    {"glbmodvolume", &S::glbmodvolume},
    {"mixbuff", &S::mixbuff},
    {"glbsamplingrate", &S::glbsamplingrate},
    {"glbstereoseparation", &S::glbstereoseparation},
    {"mixerid", &S::mixerid},
    {"playervolume", &S::playervolume},
    {"playerpan", &S::playerpan},
    {"mixerdest1", &S::mixerdest1},
    {"mixerdest2", &S::mixerdest2},
    {"cdindex", &S::cdindex},
    {"language", &S::language},
    {"downloadlimit", &S::downloadlimit},
    {"downloadtimeout", &S::downloadtimeout},
    {"extractlimit", &S::extractlimit},
    {"panelzoom", &S::panelzoom},
    {"replaygain", &S::replaygain},
    {"replaygainpreamp", &S::replaygainpreamp},
    {"replaygaindefault", &S::replaygaindefault},
    {"latency", &S::latency},
    {"telnetport", &S::telnetport},
};
constexpr StringKey kSettingStrings[] = {
    {"scactivate", &S::scactivate},         {"scminimize", &S::scminimize},
    {"scplaylist", &S::scplaylist},         {"panelname", &S::panelname},
    {"paneldirname", &S::paneldirname},     {"coolbarname", &S::coolbarname},
    {"coolbardirname", &S::coolbardirname}, {"alarmsong", &S::alarmsong},
    {"telnetpath", &S::telnetpath},         {"proxy", &S::proxy},
    {"proxyport", &S::proxyport},           {"cddbserver", &S::cddbserver},
    {"telnetbind", &S::telnetbind},         {"tagcodepage", &S::tagcodepage},
    {"telnetpassword", &S::telnetpassword}, {"soundfont", &S::soundfont},
    {"cddrive", &S::cddrive},
};
constexpr IntKey kKeybinds[] = {
    {"wkeynext", &S::wkeynext},           {"wkeyprev", &S::wkeyprev},
    {"wkeyterminate", &S::wkeyterminate}, {"wkeystop", &S::wkeystop},
    {"wkeyvolumeup", &S::wkeyvolumeup},   {"wkeyvolumedown", &S::wkeyvolumedown},
};
struct FontKey {
    const char* base;
    FontSetting S::*field;
};
constexpr FontKey kFonts[] = {
    {"screenfont", &S::screenfont},
    {"lcdtitlefont", &S::lcdtitlefont},
    {"lcdvolumefont", &S::lcdvolumefont},
};

QString key(const char* k) {
    return QString::fromLatin1(k);
}
QString indexed(const char* base, int i) {
    return QStringLiteral("%1[%2]").arg(QLatin1String(base)).arg(i);
}

int readInt(const IniDocument& ini, const QString& section, const QString& k, int def) {
    const qint64 v = ini.readInteger(section, k, def);
    return v < INT_MIN || v > INT_MAX ? def : int(v);
}

QStringList existing(const QStringList& entries, bool folders) {
    QStringList out;
    for (const QString& e : entries) {
        const QFileInfo fi(e);
        if ((folders ? fi.isDir() : fi.isFile()) && !out.contains(e)) out.append(e);
        if (out.size() == SettingsStore::kMaxRecent) break;
    }
    return out;
}

void addFront(QStringList& list, const QString& entry) {
    list.removeAll(entry);
    list.prepend(entry);
    while (list.size() > SettingsStore::kMaxRecent) list.removeLast();
}

}  // namespace

void SettingsStore::change(const std::function<void(PlayerSettings&)>& edit) {
    edit(settings_);
    emit changed();
}

SettingsStore::SettingsStore(Home home, ProcessorFeatures cpu) : home_(std::move(home)), cpu_(cpu) {
    settings_.alarmsong = home_.path(QStringLiteral("backup.dmp"));
    settings_.usemmx = cpu_.mmxPathFastest();
    settings_.usek63d = cpu_.amd3dnow;
}

IniDocument SettingsStore::readForLoad(const QString& path) {
    return readForUpdate(path).value_or(IniDocument());
}

std::optional<IniDocument> SettingsStore::readForUpdate(const QString& path) {
    try {
        return IniDocument::read(path);
    } catch (const FileError& e) {
        if (!reported_.contains(path)) {
            reported_.insert(path);
            const QString message =
                QStringLiteral(
                    "The settings file %1 cannot be read (%2). It is left as it is, and "
                    "settings are not saved into it until it can be read again.")
                    .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(e.what()));
            qWarning("%s", qPrintable(message));
            problems_.append(message);
        }
        return std::nullopt;
    }
}

QStringList SettingsStore::takeProblems() {
    return std::exchange(problems_, {});
}

void SettingsStore::loadOptions() {
    const IniDocument ini = readForLoad(mainIniPath());
    S& s = settings_;
    for (const auto& b : kOptionBools) s.*b.field = ini.readBool(kOption, key(b.key), s.*b.field);
    for (const auto& i : kOptionInts) s.*i.field = readInt(ini, kOption, key(i.key), s.*i.field);
    s.usemmx = ini.readBool(kOption, QStringLiteral("usemmx"), cpu_.mmxPathFastest());
    s.usek63d = ini.readBool(kOption, QStringLiteral("usek63d"), cpu_.amd3dnow);
    s.localfont = ini.readString(kOption, QStringLiteral("localfont"), s.localfont);
    mediaTypes_.read(readForLoad(mediaIniPath()));
    emit changed();
}

void SettingsStore::loadSettings() {
    const IniDocument ini = readForLoad(mainIniPath());
    S& s = settings_;
    for (const auto& b : kSettingBools) s.*b.field = ini.readBool(kOption, key(b.key), s.*b.field);
    for (const auto& i : kSettingInts) {
        // The language is the user's choice only once first-run set-up is over.
        if (s.firsttime && QLatin1String(i.key) == QLatin1String("language")) continue;
        s.*i.field = readInt(ini, kOption, key(i.key), s.*i.field);
    }
    for (const auto& t : kSettingStrings)
        s.*t.field = ini.readString(kOption, key(t.key), s.*t.field);
    // Levels out of range would make songs silent or painfully loud.
    if (s.replaygain < 0 || s.replaygain > 2) s.replaygain = 1;
    s.replaygainpreamp = std::clamp(s.replaygainpreamp, kMinGainDb, kMaxGainDb);
    s.replaygaindefault = std::clamp(s.replaygaindefault, kMinGainDb, kMaxGainDb);
    for (int i = 0; i < 3; ++i) {
        s.labelsleft[i] = readInt(ini, kOption, indexed("labelsleft", i), s.labelsleft[i]);
        s.labelstop[i] = readInt(ini, kOption, indexed("labelstop", i), s.labelstop[i]);
    }
    for (const auto& f : kFonts) s.*f.field = ini.readFont(kOption, key(f.base), s.*f.field);
    for (const auto& k : kKeybinds) s.*k.field = readInt(ini, kKeybind, key(k.key), s.*k.field);
    s.fmain = ini.readWindowPosition(kForm, QStringLiteral("fmain"));
    // A list that has grown by hand is read no further than a few times what is kept.
    s.recent = existing(ini.readList(kRecent, 8 * kMaxRecent), false);
    s.recentfolder = existing(ini.readList(kRecentFolder, 8 * kMaxRecent), true);

    const IniDocument plugin = readForLoad(pluginIniPath());
    s.plasmacolor = plugin.readInteger(kBump, QStringLiteral("plasmacolor"), s.plasmacolor);
    s.glbambient = readInt(plugin, kBump, QStringLiteral("glbambient"), s.glbambient);
    s.glbreflect = readInt(plugin, kBump, QStringLiteral("glbreflect"), s.glbreflect);
    s.glblight = readInt(plugin, kBump, QStringLiteral("glblight"), s.glblight);
    emit changed();
}

IniDocument SettingsStore::readMain() {
    return readForLoad(mainIniPath());
}

void SettingsStore::updateMain(const std::function<void(IniDocument&)>& change) {
    if (auto doc = readForUpdate(mainIniPath())) {
        change(*doc);
        doc->save(mainIniPath());
    }
}

void SettingsStore::saveSettings() {
    if (auto doc = readForUpdate(mainIniPath())) {
        writeSettings(*doc);
        doc->save(mainIniPath());
    }
    savePluginOptions();
}

void SettingsStore::saveOptions() {
    if (auto doc = readForUpdate(mainIniPath())) {
        writeOptions(*doc);
        doc->save(mainIniPath());
    }
    saveMediaTypes();
}

void SettingsStore::saveAll() {
    if (auto doc = readForUpdate(mainIniPath())) {
        writeSettings(*doc);
        writeOptions(*doc);
        doc->save(mainIniPath());
    }
    savePluginOptions();
    saveMediaTypes();
}

void SettingsStore::savePluginOptions() {
    if (!configOpened_) return;
    const S& s = settings_;
    if (auto plugin = readForUpdate(pluginIniPath())) {
        plugin->writeInteger(kBump, QStringLiteral("plasmacolor"), s.plasmacolor);
        plugin->writeInteger(kBump, QStringLiteral("glbambient"), s.glbambient);
        plugin->writeInteger(kBump, QStringLiteral("glbreflect"), s.glbreflect);
        plugin->writeInteger(kBump, QStringLiteral("glblight"), s.glblight);
        plugin->save(pluginIniPath());
    }
}

void SettingsStore::writeSettings(IniDocument& ini) const {
    const S& s = settings_;
    for (const auto& b : kSettingBools) ini.writeBool(kOption, key(b.key), s.*b.field);
    for (const auto& i : kSettingInts) ini.writeInteger(kOption, key(i.key), s.*i.field);
    for (const auto& t : kSettingStrings) ini.writeString(kOption, key(t.key), s.*t.field);
    for (int i = 0; i < 3; ++i) {
        ini.writeInteger(kOption, indexed("labelsleft", i), s.labelsleft[i]);
        ini.writeInteger(kOption, indexed("labelstop", i), s.labelstop[i]);
    }
    for (const auto& f : kFonts) ini.writeFont(kOption, key(f.base), s.*f.field);
    for (const auto& k : kKeybinds) ini.writeInteger(kKeybind, key(k.key), s.*k.field);
    if (s.fmain) ini.writeWindowPosition(kForm, QStringLiteral("fmain"), *s.fmain);
    ini.writeList(kRecent, s.recent);
    ini.writeList(kRecentFolder, s.recentfolder);
}

void SettingsStore::writeOptions(IniDocument& ini) const {
    const S& s = settings_;
    for (const auto& b : kOptionBools) ini.writeBool(kOption, key(b.key), s.*b.field);
    for (const auto& i : kOptionInts) ini.writeInteger(kOption, key(i.key), s.*i.field);
    ini.writeBool(kOption, QStringLiteral("usemmx"), s.usemmx);
    ini.writeBool(kOption, QStringLiteral("usek63d"), s.usek63d);
    ini.writeString(kOption, QStringLiteral("localfont"), s.localfont);
}

void SettingsStore::saveMediaTypes() {
    if (!mediaTypes_.consistent() || mediaTypes_.names.isEmpty()) return;
    if (auto media = readForUpdate(mediaIniPath())) {
        mediaTypes_.write(*media);
        media->save(mediaIniPath());
    }
}

void SettingsStore::markConfigurationOpened() noexcept {
    configOpened_ = true;
    settings_.firsttime = false;
}

void SettingsStore::firstRun(const QString& tempFolder, bool systemIsJapanese) {
    if (!settings_.firsttime) return;
    PrivateFolder::ensure(tempFolder);
    QDir().mkpath(home_.path(QStringLiteral("plugin/amp")));
    if (systemIsJapanese) {
        settings_.language = 1;
        settings_.screenfont.name = settings_.localfont;
    } else {
        settings_.language = 0;
    }
    emit changed();
}

void SettingsStore::addRecentFile(const QString& file) {
    addFront(settings_.recent, file);
    emit changed();
}

void SettingsStore::addRecentFolder(const QString& folder) {
    addFront(settings_.recentfolder, folder);
    emit changed();
}

}  // namespace ombrix
