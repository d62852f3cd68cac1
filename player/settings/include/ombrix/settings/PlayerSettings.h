#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "ombrix/settings/IniDocument.h"

namespace ombrix {

/**
 * @brief Every value of "ombrix player.ini" sections "option", "keybind", "form", "recent",
 *        "recentfolder" and of "plugin.ini", with the defaults a fresh installation starts with.
 *        Field names are the keys.
 *
 * Thread affinity: a value type; the main thread owns the program's copy.
 */
struct PlayerSettings {
    // option
    bool allowmulti = false;
    bool firsttime = true;
    QString scactivate = QStringLiteral("SHIFT+CTRL+U");
    QString scminimize = QStringLiteral("SHIFT+CTRL+M");
    QString scplaylist = QStringLiteral("SHIFT+CTRL+P");
    bool enablehotkey = false;
    QString panelname = QStringLiteral("default");
    QString paneldirname = QStringLiteral("panel");
    QString coolbarname = QStringLiteral("default");
    QString coolbardirname = QStringLiteral("coolbar");
    bool coolbar = false;
    bool doubleclickcoolbar = false;
    bool alwayshidewindow = false;
    bool glbhide = true;
    int alarmhour = 0;
    int alarmmin = 3;
    bool enablealarm = false;
    QString alarmsong;  ///< default: "backup.dmp" in the home (set by SettingsStore)
    int glbsleep = 4;
    bool dontsleep = false;
    bool glbautoexit = false;
    bool glbdropadd = false;
    bool glbtemp10 = false;
    bool dontcheckplaylist = false;
    bool copyshared = false;
    bool overridecodec = true;
    int glbbg = 2;
    int threadpriority = 2;
    int glbmp3volume = 32767;
    int mpegmixbuff = 16;
    int waveoutid = -1;
    int latency = 500;  ///< the most audio the sound device may hold, in ms (60..2000)
    int glbmodvolume = 120;
    int mixbuff = 300;
    int glbsamplingrate = 44100;
    bool usedirectsound = false;
    int glbstereoseparation = 63;
    bool usemmx = false;   ///< as stored; see SettingsStore::effectiveMmx()
    bool usek63d = false;  ///< as stored; see SettingsStore::effective3DNow()
    // The system mixer is moved only when the user asks for it; the player's own stream volume
    // serves otherwise (kept in playervolume and playerpan).
    bool usemixer = false;
    int playervolume = 127;
    int playerpan = 0;
    bool timeremaining = false;  // the screen's time counts down
    /// Songs are levelled by their loudness values: 0 off, 1 track gain, 2 album gain (the
    /// track gain when a song has none); replaygainpreamp is added to the gain, and
    /// replaygaindefault is the gain of songs without values (both in dB, -15..15).
    int replaygain = 1;
    int replaygainpreamp = 0;
    int replaygaindefault = 0;
    int mixerid = 0;
    int mixerdest1 = 0;
    int mixerdest2 = 0;
    int cdindex = 0;
    bool detectcdload = true;
    bool defaultcdplayer = false;
    std::array<int, 3> labelsleft{8, 8, 140};
    std::array<int, 3> labelstop{3, 22, 40};
    int idtag1 = 0;
    int idtag2 = 1;
    int idtag3 = 8;
    int defaultrefreshrate = 60;
    int fullrefreshrate = 60;
    bool preloadtag = false;
    QString localfont = QString::fromUtf8(
        "\xef\xbc\xad\xef\xbc\xb3 \xef\xbc\xb0\xe3\x82\xb4\xe3\x82\xb7\xe3\x83\x83\xe3\x82\xaf");
    int language = 0;
    bool scrollsongtitle = true;
    bool enablevu = true;
    bool startdaemon = false;
    QString telnetpath;
    bool allowshutdown = false;
    int telnetport = 30303;  ///< the telnet server's port (OMBRIX_TELNET_PORT overrides it)
    /// The address the telnet server listens on; empty: this machine only ("127.0.0.1").
    QString telnetbind = QStringLiteral("127.0.0.1");
    QString telnetpassword;  ///< asked for by each telnet session before any command; empty: none
    /// Code page of ID3v1 and INFO text that is not UTF-8: "auto" (detected per file), or
    /// "windows-1252", "shift-jis", "windows-1251", "gbk", "euc-kr".
    QString tagcodepage = QStringLiteral("auto");
    bool songnotify = false;  ///< a desktop notification when a new song starts
    QString proxy;
    QString proxyport = QStringLiteral("80");
    int downloadlimit = 512;   ///< largest web download in MiB
    int downloadtimeout = 30;  ///< longest web download in minutes
    int extractlimit = 512;    ///< largest archive member extracted to play, in MiB
    QString soundfont;  ///< the sound font for MIDI files; empty: the first GM font installed
    QString cddrive;    ///< the CD drive or disc image to use; empty: drive `cdindex` of those found
    QString cddbserver = QStringLiteral("gnudb.gnudb.org");
    bool cddbnoprompt = false;
    bool cddbjapanese = false;
    bool disablecddb = false;
    bool random1 = false;
    bool intro1 = false;
    bool autorepeat1 = true;
    bool resume1 = false;
    bool stayontop1 = false;
    bool enablefx1 = false;
    bool enableeq1 = false;
    bool desktopstyle = false;  ///< tool windows in the desktop's style, not the panel's colours
    /// Screen pixels per panel pixel: 1, 2 or 3; 0 follows the screen's device pixel ratio.
    int panelzoom = 0;
    FontSetting screenfont{QStringLiteral("Arial"), 0, 10, 0};
    FontSetting lcdtitlefont{QStringLiteral("Arial"), 0, 8, 0};
    FontSetting lcdvolumefont{QStringLiteral("Arial"), 0, 8, 0};

    // keybind (virtual-key codes)
    int wkeynext = 32;
    int wkeyprev = 8;
    int wkeyterminate = 27;
    int wkeystop = 13;
    int wkeyvolumeup = 33;
    int wkeyvolumedown = 34;

    // form
    std::optional<WindowPosition> fmain;

    // recent, recentfolder (newest first)
    QStringList recent;
    QStringList recentfolder;

    // plugin.ini, section "Tessik.bump"
    qint64 plasmacolor = 0xFCB93D;
    int glbambient = 40;
    int glbreflect = 200;
    int glblight = 59;
};

}  // namespace ombrix
