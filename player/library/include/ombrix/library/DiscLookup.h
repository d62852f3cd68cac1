#pragma once

#include <QNetworkProxy>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

namespace ombrix {

class CdDisc;
class DiscFetch;
class DiscDatabase;
class DiscRecord;
struct CdText;
struct PlayerSettings;

/**
 * @brief Names the disc in the drive and lists its tracks in play order: the record is read
 *        from the disc, looked up in the local database, named by the disc's CD-TEXT when the
 *        database does not know it, and asked of the CDDB server when that is allowed; a record
 *        found there is saved locally.
 *
 * Runs without blocking: start() returns at once and finished() brings the playlist entries
 * (the drive and "/track%02d.cda" for each track whose play position exists, in play order).
 * Messages for the user ("Entry for ... was not found.", "... is not working.") go to message(),
 * progress to status(); the last status is the disc title.
 * Thread affinity: main thread; @p record and @p database must outlive the lookup.
 */
class DiscLookup : public QObject {
    Q_OBJECT
public:
    /// Asks a yes/no question; true for yes.
    using Ask = std::function<bool(const QString& question)>;

    struct Options {
        QString server;  ///< empty: no server
        QString port = QStringLiteral("8880");
        bool disabled = false;  ///< "disablecddb"
        bool noPrompt = false;  ///< "cddbnoprompt"
        bool japanese = false;  ///< "cddbjapanese": read category "2byte" directly, save nothing
        QNetworkProxy proxy{QNetworkProxy::NoProxy};
        int replyTimeoutMs = 15000;
        static Options fromSettings(const PlayerSettings& settings);
    };

    DiscLookup(DiscRecord& record, const DiscDatabase& database, Options options,
               QObject* parent = nullptr);
    ~DiscLookup() override;

    void setAsk(Ask ask) { ask_ = std::move(ask); }
    void setOptions(const Options& options) { options_ = options; }

    /// Reads @p disc into the record and names it; a lookup still running is dropped.
    void start(const CdDisc& disc);
    bool running() const noexcept { return running_; }

    /// The playlist entries of @p record's tracks on @p drive, in play order.
    static QStringList entries(const DiscRecord& record, const QString& drive);
    /// Fills titles from a disc's own CD-TEXT: "performer / album" as the disc title, the
    /// track titles, and a track's performer as its extended text where it differs from the
    /// album's.
    static void applyCdText(DiscRecord& record, const CdText& text);

signals:
    void status(const QString& text);
    void message(const QString& text);
    void finished(const QStringList& entries);

private:
    void fetched(int outcome);
    void finish();

    DiscRecord& record_;
    const DiscDatabase& database_;
    Options options_;
    Ask ask_;
    std::unique_ptr<DiscFetch> fetch_;
    QString drive_;
    bool running_ = false;
};

}  // namespace ombrix
