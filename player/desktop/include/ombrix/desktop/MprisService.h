#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>

#include "ombrix/control/PlayerState.h"

namespace ombrix {

class PlaybackController;

/**
 * @brief The player on the session bus as an MPRIS2 media player
 *        ("org.mpris.MediaPlayer2.ombrix", object /org/mpris/MediaPlayer2): the root and Player
 *        interfaces, their properties from the controller's snapshot, and PropertiesChanged and
 *        Seeked whenever the snapshot changes. Every method ends in one of the controller's
 *        operations; arguments out of range are ignored, as MPRIS asks.
 *
 * Thread affinity: main thread (QtDBus delivers calls there). Nothing throws.
 */
class MprisService : public QObject {
    Q_OBJECT
public:
    static inline const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.ombrix");
    static inline const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
    /// Longest address OpenUri takes, in characters.
    static constexpr qsizetype kMaxUri = 4096;

    struct Hooks {
        std::function<void()> raise;  ///< show the main window
        std::function<void()> quit;   ///< close the program
    };

    MprisService(PlaybackController& controller, Hooks hooks, QObject* parent = nullptr);
    ~MprisService() override;

    /**
     * @brief Registers the object and the service name on @p bus. When another player of this
     *        program holds the name, a name with ".instance" and the process id is taken.
     * @return false when the bus refused both.
     */
    bool registerOn(QDBusConnection bus);
    /// The name taken on the bus; empty before registerOn() succeeded.
    const QString& serviceName() const noexcept { return serviceName_; }

    // org.mpris.MediaPlayer2.Player, for the adaptor.
    QString playbackStatus() const;
    QString loopStatus() const;
    void setLoopStatus(const QString& status);
    bool shuffle() const;
    void setShuffle(bool on);
    double volume() const;
    void setVolume(double volume);
    qlonglong position() const;
    QVariantMap metadata() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canPlay() const;
    bool canPause() const;
    bool canSeek() const;
    void next();
    void previous();
    void pause();
    void playPause();
    void stop();
    void play();
    void seek(qlonglong offsetUs);
    void setPosition(const QDBusObjectPath& trackId, qlonglong positionUs);
    void openUri(const QString& uri);
    // org.mpris.MediaPlayer2
    void raise();
    void quit();

    /// The trackid of the open song ("/org/ombrix/track/N", N counting the songs opened in
    /// this run), or MPRIS's NoTrack.
    QDBusObjectPath trackId() const;

signals:
    /// A song started (a new trackid); @p state is the snapshot it started in.
    void trackStarted(const PlayerState& state);
    /// For the Player adaptor: the position jumped to @p positionUs.
    void seeked(qlonglong positionUs);

private:
    void onChanged(int mask);
    QVariantMap playerProperties() const;
    void sendPropertiesChanged(const QString& interface, const QVariantMap& changed);

    PlaybackController& controller_;
    Hooks hooks_;
    QDBusConnection bus_;
    bool registered_ = false;
    QString serviceName_;
    PlayerState last_;
    QVariantMap lastProperties_;
    // Where the position should be by now, to tell seeks from playing.
    qint64 lastElapsedMs_ = -1;
    QElapsedTimer sinceElapsed_;
    qint64 ownSeekMs_ = -1;  // a seek this service made and announced, until it shows
    QElapsedTimer ownSeek_;
};

}  // namespace ombrix
