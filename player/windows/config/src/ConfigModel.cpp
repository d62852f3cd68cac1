#include "ombrix/windows/config/ConfigModel.h"

#include <QFontDatabase>
#include <QHostAddress>
#include <algorithm>

#include "ombrix/desktop/HotKeySequence.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/settings/TextFile.h"
#include "ombrix/windows/config/KeyTable.h"

namespace ombrix {
namespace {

using Kind = ConfigControl::Kind;

const QString kOption = QStringLiteral("option");
const QString kSkipSafe = QStringLiteral("chks3");

bool installed(const QString& family) {
    return family.isEmpty() || QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

}  // namespace

ConfigModel::ConfigModel(SettingsStore& store, FileAssociations associations, Hooks hooks)
    : store_(store), associations_(std::move(associations)), hooks_(std::move(hooks)) {
    load();
}

void ConfigModel::load() {
    draft_ = store_.settings();
    types_ = store_.mediaTypes();
    const IniDocument ini = store_.readMain();
    playlistColor = ini.readInteger(kPlaylistSection, kPlaylistColorKey, kPlaylistDefaultColor);
    playlistFont =
        ini.readFont(kPlaylistSection, kPlaylistFontKey, FontSetting{QString(), 0, 9, 0});
    storedPlaylistFont_ = playlistFont.name;
}

int ConfigModel::value(const ConfigControl& c) const {
    PlayerSettings& d = const_cast<PlayerSettings&>(draft_);
    if (c.boolRef) return c.boolRef(d) ? 1 : 0;
    if (c.intRef) return c.intRef(d);
    return 0;
}

void ConfigModel::setValue(const ConfigControl& c, int value) {
    if (c.boolRef) c.boolRef(draft_) = value != 0;
    if (c.intRef) c.intRef(draft_) = value;
}

QString ConfigModel::text(const ConfigControl& c) const {
    return c.textRef ? c.textRef(const_cast<PlayerSettings&>(draft_)) : QString();
}

void ConfigModel::setText(const ConfigControl& c, const QString& text) {
    if (c.textRef) c.textRef(draft_) = text;
}

int ConfigModel::flags(int type) const {
    if (type < 0 || type >= types_.associate.size()) return 0;
    bool ok = false;
    const int f = types_.associate[type].trimmed().toInt(&ok);
    return ok ? f & 0xf : 0;
}

void ConfigModel::setFlag(int type, int flag, bool on) {
    if (type < 0 || type >= types_.associate.size()) return;
    const int f = on ? flags(type) | flag : flags(type) & ~flag;
    types_.associate[type] = QString::number(f);
}

QString ConfigModel::problemWith(const ConfigControl& c, const QString& text) {
    const QString t = text.trimmed();
    if (c.object.startsWith(QLatin1String("hk")) && !HotKeySequence::parse(t))
        return QStringLiteral("\"%1\" is not a key combination (for example SHIFT+CTRL+U).").arg(t);
    if (c.object == QLatin1String("editproxyport") && !t.isEmpty()) {
        bool ok = false;
        const int port = t.toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return QStringLiteral("The proxy port \"%1\" is not a port number (1 to 65535).")
                .arg(t);
    }
    if (c.object == QLatin1String("edittelnetbind") && !t.isEmpty() && QHostAddress(t).isNull())
        return QStringLiteral("The telnet address \"%1\" is not an IP address.").arg(t);
    return {};
}

QStringList ConfigModel::apply() {
    QStringList problems;
    PlayerSettings next = store_.settings();
    const bool cdPlayerWasOn = next.defaultcdplayer;
    for (const ConfigControl& c : ConfigControl::all()) {
        switch (c.kind) {
            case Kind::Check:
            case Kind::InvertedCheck:
                c.boolRef(next) = c.boolRef(draft_);
                break;
            case Kind::Spin:
                c.intRef(next) = std::clamp(c.intRef(draft_), c.min, c.max);
                break;
            case Kind::Combo:
            case Kind::ComboValue:
            case Kind::Key:
                c.intRef(next) = c.intRef(draft_);
                break;
            case Kind::Line: {
                const QString problem = problemWith(c, c.textRef(draft_));
                if (problem.isEmpty())
                    c.textRef(next) = c.textRef(draft_).trimmed();
                else
                    problems << problem;
                break;
            }
        }
    }
    // Stored names such as "Arial" are drawn by a substitute where they are missing; only a
    // newly chosen font that is not there is worth a word.
    const std::pair<const FontSetting*, QString> fonts[] = {
        {&draft_.screenfont, next.screenfont.name},
        {&draft_.lcdtitlefont, next.lcdtitlefont.name},
        {&draft_.lcdvolumefont, next.lcdvolumefont.name},
        {&playlistFont, storedPlaylistFont_}};
    for (const auto& [font, stored] : fonts)
        if (font->name != stored && !installed(font->name))
            problems << QStringLiteral("The font \"%1\" is not installed; a similar one is shown.")
                            .arg(font->name);
    next.screenfont = draft_.screenfont;
    next.lcdtitlefont = draft_.lcdtitlefont;
    next.lcdvolumefont = draft_.lcdvolumefont;
    next.localfont = draft_.localfont;

    MediaTypes& types = store_.mediaTypes();
    types = types_;
    types.flat = MediaTypes::flatten(types.extensions);
    store_.change([&next](PlayerSettings& s) { s = next; });

    try {
        store_.updateMain([this](IniDocument& ini) {
            ini.writeInteger(kPlaylistSection, kPlaylistColorKey, playlistColor);
            if (!playlistFont.name.isEmpty())
                ini.writeFont(kPlaylistSection, kPlaylistFontKey, playlistFont);
        });
        if (hooks_.playlistAppearance) hooks_.playlistAppearance();
    } catch (const FileError& e) {
        problems << QStringLiteral("The playlist colours cannot be stored: %1")
                        .arg(QString::fromLocal8Bit(e.what()));
    }

    QList<FileAssociations::MediaType> list;
    for (int i = 0; i < types_.names.size() && i < types_.extensions.size(); ++i)
        list.append({types_.extensions[i], flags(i)});
    try {
        associations_.apply(list, next.defaultcdplayer && !cdPlayerWasOn);
    } catch (const AssociationError& e) {
        problems << QString::fromUtf8(e.what());
    }
    if (hooks_.telnet) {
        const QString telnet = hooks_.telnet();
        if (!telnet.isEmpty()) problems << telnet;
    }
    return problems;
}

bool ConfigModel::readSkipSafe(SettingsStore& store) {
    return store.readMain().readInteger(kOption, kSkipSafe, 1) != 0;
}

void ConfigModel::writeSkipSafe(SettingsStore& store, bool on) {
    try {
        store.updateMain([on](IniDocument& ini) { ini.writeInteger(kOption, kSkipSafe, on); });
    } catch (const FileError& e) {
        qWarning("cannot store chks3: %s", e.what());
    }
}

}  // namespace ombrix
