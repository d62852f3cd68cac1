#include "ombrix/windows/config/ConfigControl.h"

#include "ombrix/windows/config/KeyTable.h"

namespace ombrix {
namespace {

using K = ConfigControl::Kind;
using S = PlayerSettings;

// Accessors of one field, as plain function pointers.
#define OMBRIX_BOOL(f) [](S& s) -> bool& { return s.f; }
#define OMBRIX_INT(f) [](S& s) -> int& { return s.f; }
#define OMBRIX_TEXT(f) [](S& s) -> QString& { return s.f; }

ConfigControl check(const char* page, const char* object, const char* caption, bool& (*ref)(S&),
                    const char* tip = "") {
    ConfigControl c;
    c.page = QString::fromLatin1(page);
    c.object = QString::fromLatin1(object);
    c.caption = QString::fromUtf8(caption);
    c.kind = K::Check;
    c.boolRef = ref;
    c.tip = QString::fromUtf8(tip);
    return c;
}

ConfigControl number(const char* page, const char* object, const char* caption, int& (*ref)(S&),
                     int min, int max, const char* tip = "") {
    ConfigControl c = check(page, object, caption, nullptr, tip);
    c.kind = K::Spin;
    c.intRef = ref;
    c.min = min;
    c.max = max;
    return c;
}

ConfigControl list(const char* page, const char* object, const char* caption, int& (*ref)(S&),
                   QStringList items, int offset = 0, const char* tip = "") {
    ConfigControl c = check(page, object, caption, nullptr, tip);
    c.kind = K::Combo;
    c.intRef = ref;
    c.items = std::move(items);
    c.offset = offset;
    return c;
}

ConfigControl line(const char* page, const char* object, const char* caption, QString& (*ref)(S&),
                   const char* tip = "") {
    ConfigControl c = check(page, object, caption, nullptr, tip);
    c.kind = K::Line;
    c.textRef = ref;
    return c;
}

ConfigControl key(const char* object, const char* caption, int& (*ref)(S&)) {
    ConfigControl c = list("keyboard", object, caption, ref, KeyTable::names());
    c.kind = K::Key;
    return c;
}

QList<ConfigControl> build() {
    const QStringList tagFields = {
        "song title",      "artist",         "album name",     "year", "comment",
        "genre",           "artist / album", "artist / genre", "time", "copyright (LIST)",
        "software (LIST)", "source (LIST)",  "engineer (LIST)"};
    QList<ConfigControl> c;
    // soundcard
    c << list("soundcard", "combowaveout", "output device", OMBRIX_INT(waveoutid), {}, -1,
              "The sound server's stream is used where one answers; a device chosen here is "
              "used when the player plays through SDL.");
    c << check("soundcard", "chks1", "enable mixer", OMBRIX_BOOL(usemixer),
               "Volume and balance move the system (ALSA) mixer instead of the player's own "
               "stream volume.");
    c << list("soundcard", "combomixer", "mixer", OMBRIX_INT(mixerid), {});
    c << list("soundcard", "combomix1", "mixer line", OMBRIX_INT(mixerdest1), {});
    ConfigControl part =
        list("soundcard", "combomix2", "line part", OMBRIX_INT(mixerdest2), {"(not used)"}, 0,
             "ALSA mixer controls have no parts: the line alone is used.");
    part.enabled = false;
    c << part;
    ConfigControl ds =
        check("soundcard", "chks0", "enable Direct Sound", OMBRIX_BOOL(usedirectsound),
              "Direct Sound is a Windows interface; here the module player's "
              "output goes through the same sound device as everything else. "
              "The setting is kept for the settings file.");
    ds.enabled = false;
    c << ds;
    c << number("soundcard", "Edit2", "pause between songs (seconds)", OMBRIX_INT(glbsleep), 0, 60);
    ConfigControl silence =
        check("soundcard", "chksilence", "insert silence between songs", OMBRIX_BOOL(dontsleep));
    silence.kind = K::InvertedCheck;
    c << silence;
    c << number("soundcard", "spinlatency", "sound device latency (ms)", OMBRIX_INT(latency), 60,
                2000, "The most audio the sound device may hold; from the next song.");
    // devices
    ConfigControl rate = list("devices", "ComboBox1", "sampling rate", OMBRIX_INT(glbsamplingrate),
                              {"32000", "44100", "48000"}, 0, "sets outputs frequency");
    rate.kind = K::ComboValue;
    c << rate;
    c << number("devices", "scrollmixbuff", "module mix buffer", OMBRIX_INT(mixbuff), 100, 500);
    c << number("devices", "modvolume", "module pre-amplification", OMBRIX_INT(glbmodvolume), 0,
                200);
    c << number("devices", "scrollmpegmixbuff", "MPEG frames per block", OMBRIX_INT(mpegmixbuff), 8,
                32);
    c << number("devices", "mp3volume", "MPEG volume", OMBRIX_INT(glbmp3volume), 0, 32767,
                "The decoder's output level; 32767 plays the songs as decoded.");
    c << check("devices", "chks2", "override codec", OMBRIX_BOOL(overridecodec));
    c << check("devices", "chkcopyshared", "Copy the shared files to local drive.",
               OMBRIX_BOOL(copyshared));
    c << list("devices", "Combocd", "CD drive", OMBRIX_INT(cdindex), {});
    c << list("devices", "comboreplaygain", "loudness levelling", OMBRIX_INT(replaygain),
              {"off", "track gain", "album gain"});
    c << number("devices", "spinreplaygainpreamp", "pre-amp (dB)", OMBRIX_INT(replaygainpreamp),
                -15, 15);
    c << line("devices", "editsoundfont", "MIDI sound font", OMBRIX_TEXT(soundfont),
              "Empty: the first General MIDI sound font installed.");
    // preferences
    c << check("preferences", "misc1", "Clear the playlist before dropped files are added.",
               OMBRIX_BOOL(glbdropadd));
    c << check("preferences", "misc2", "Hide to the tray after a start with files.",
               OMBRIX_BOOL(glbhide));
    c << check("preferences", "misc3", "Close the player after the last song.",
               OMBRIX_BOOL(glbautoexit));
    c << check("preferences", "misc4", "Keep at most 10 temporary files.", OMBRIX_BOOL(glbtemp10));
    c << check("preferences", "Misc5", "Do not check for missing files when adding.",
               OMBRIX_BOOL(dontcheckplaylist));
    c << check("preferences", "misc6", "Use double click to switch coolbar.",
               OMBRIX_BOOL(doubleclickcoolbar));
    c << check("preferences", "Misc7", "Enable CD auto play.", OMBRIX_BOOL(detectcdload));
    c << check("preferences", "Misc8", "Default CD player.", OMBRIX_BOOL(defaultcdplayer),
               "Registers the player for audio CDs when turned on; turning it off removes "
               "nothing.");
    c << check("preferences", "chkEnableAlarm", "enable alarm", OMBRIX_BOOL(enablealarm));
    c << number("preferences", "spTime1", "hour", OMBRIX_INT(alarmhour), 0, 23);
    c << number("preferences", "spTime2", "minute", OMBRIX_INT(alarmmin), 0, 59);
    c << line("preferences", "editalarmsong", "alarm song", OMBRIX_TEXT(alarmsong));
    // console
    c << list("console", "combotag1", "line 1 shows", OMBRIX_INT(idtag1), tagFields);
    c << list("console", "combotag2", "line 2 shows", OMBRIX_INT(idtag2), tagFields);
    c << list("console", "combotag3", "line 3 shows", OMBRIX_INT(idtag3), tagFields);
    c << number(
        "console", "spinlabelsleft0", "line 1: left", [](S& s) -> int& { return s.labelsleft[0]; },
        0, 219);
    c << number(
        "console", "spinlabelstop0", "line 1: top", [](S& s) -> int& { return s.labelstop[0]; }, 0,
        79);
    c << number(
        "console", "spinlabelsleft1", "line 2: left", [](S& s) -> int& { return s.labelsleft[1]; },
        0, 219);
    c << number(
        "console", "spinlabelstop1", "line 2: top", [](S& s) -> int& { return s.labelstop[1]; }, 0,
        79);
    c << number(
        "console", "spinlabelsleft2", "line 3: left", [](S& s) -> int& { return s.labelsleft[2]; },
        0, 219);
    c << number(
        "console", "spinlabelstop2", "line 3: top", [](S& s) -> int& { return s.labelstop[2]; }, 0,
        79);
    c << check("console", "chkscrollsongtitle", "scroll song title", OMBRIX_BOOL(scrollsongtitle));
    c << check("console", "chkvu", "enable VU meter", OMBRIX_BOOL(enablevu));
    // system
    c << check("system", "CheckMMX", "use MMX", OMBRIX_BOOL(usemmx),
               "Used only where the processor has it.");
    c << check("system", "checkk63d", "use 3DNow!", OMBRIX_BOOL(usek63d),
               "Used only where the processor has it.");
    c << check("system", "chks4", "Allow multiple instances", OMBRIX_BOOL(allowmulti));
    c << list("system", "combolanguage", "language", OMBRIX_INT(language), {"English", "Japanese"},
              0, "Takes effect at the next start.");
    const char* unused =
        "Kept in the settings file, not used: the screen is drawn when the display asks.";
    c << number("system", "editdefaultrefreshrate", "panel refresh rate (unused)",
                OMBRIX_INT(defaultrefreshrate), 1, 240, unused);
    c << number("system", "editfullrefreshrate", "full screen refresh rate (unused)",
                OMBRIX_INT(fullrefreshrate), 1, 240, unused);
    c << list("system", "combopanelzoom", "panel zoom", OMBRIX_INT(panelzoom),
              {"follow the screen", "1x", "2x", "3x"});
    // keyboard
    c << line("keyboard", "hkactivate", "restore the window", OMBRIX_TEXT(scactivate));
    c << line("keyboard", "hkminimize", "hide the window", OMBRIX_TEXT(scminimize));
    c << line("keyboard", "hkplaylist", "show the playlist", OMBRIX_TEXT(scplaylist));
    c << check("keyboard", "chkEnableHotKey", "enable hot keys", OMBRIX_BOOL(enablehotkey),
               "Takes effect at the next start.");
    c << key("sc1", "next song", OMBRIX_INT(wkeynext));
    c << key("sc2", "prev song", OMBRIX_INT(wkeyprev));
    c << key("sc3", "stop", OMBRIX_INT(wkeystop));
    c << key("sc4", "volume up", OMBRIX_INT(wkeyvolumeup));
    c << key("sc5", "volume down", OMBRIX_INT(wkeyvolumedown));
    c << key("sc6", "terminate", OMBRIX_INT(wkeyterminate));
    // playlist editor
    c << check("playlist editor", "chkpreloadtag", "read tags when files are added",
               OMBRIX_BOOL(preloadtag));
    // network
    c << line("network", "editproxyserver", "proxy server", OMBRIX_TEXT(proxy));
    c << line("network", "editproxyport", "proxy port", OMBRIX_TEXT(proxyport));
    c << line("network", "editcddbserver", "CDDB server", OMBRIX_TEXT(cddbserver));
    c << check("network", "chkcddbnoprompt", "no prompt for CDDB", OMBRIX_BOOL(cddbnoprompt));
    c << check("network", "chkdisablecddb", "disable CDDB", OMBRIX_BOOL(disablecddb));
    c << check("network", "chkcddbjapanese", "Japanese CDDB", OMBRIX_BOOL(cddbjapanese));
    c << number("network", "spindownloadlimit", "largest download (MiB)", OMBRIX_INT(downloadlimit),
                1, 65536);
    c << number("network", "spinextractlimit", "largest archive member (MiB)",
                OMBRIX_INT(extractlimit), 1, 65536);
    c << check("network", "chkstartdaemon", "start telnet server", OMBRIX_BOOL(startdaemon));
    c << number("network", "Edit3", "port", OMBRIX_INT(telnetport), 1, 65535);
    c << line("network", "edittelnetbind", "address", OMBRIX_TEXT(telnetbind),
              "Empty or 127.0.0.1: this machine only.");
    c << line("network", "edittelnetpassword", "password", OMBRIX_TEXT(telnetpassword));
    c << check("network", "chkallowshutdown", "allow shutdown", OMBRIX_BOOL(allowshutdown));
    c << line("network", "edittelnetpath", "path to local file", OMBRIX_TEXT(telnetpath));
    return c;
}

#undef OMBRIX_BOOL
#undef OMBRIX_INT
#undef OMBRIX_TEXT

}  // namespace

const QList<ConfigControl>& ConfigControl::all() {
    static const QList<ConfigControl> controls = build();
    return controls;
}

const ConfigControl* ConfigControl::find(const QString& object) {
    for (const ConfigControl& c : all())
        if (c.object == object) return &c;
    return nullptr;
}

QStringList ConfigControl::pages() {
    return {"soundcard", "devices",         "preferences", "console",
            "plugins",   "file type",       "system",      "panel / coolbar",
            "keyboard",  "playlist editor", "network"};
}

}  // namespace ombrix
