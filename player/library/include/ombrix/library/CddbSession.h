#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace ombrix {

class DiscRecord;

/// One complete reply of a CDDB server: its code and its lines (the first line included, the
/// closing "." line and the line ends left out).
struct CddbReply {
    QByteArray code;  ///< the first three characters
    QList<QByteArray> lines;

    /**
     * @brief Takes the first complete reply off the front of @p buffer.
     *
     * A reply is complete with its first line; a reply whose code has "1" as its middle digit
     * ("210", "211") goes on to a line holding only ".". Returns nullopt while more is needed.
     * Sets @p tooLong when a line grows beyond @p maxLine bytes or the reply beyond @p maxReply.
     */
    static std::optional<CddbReply> take(QByteArray& buffer, qsizetype maxLine, qsizetype maxReply,
                                         bool& tooLong);
};

/// How long a reply line and a whole reply may grow before the exchange is given up.
struct CddbLimits {
    qsizetype maxLine = 64 * 1024;
    qsizetype maxReply = 1 << 20;
};

/**
 * @brief The CDDB protocol of one disc record as a state machine over received bytes: it
 *        says what to send, what to show and when to close, and keeps the result. It opens
 *        nothing and knows no time; CddbClient carries its bytes and its time limit.
 *
 * An exchange is a query, a read or a submission. A query that finds the disc leaves the
 * connection open, so that the read that follows uses it. Every reply is gathered up to its end
 * before it is judged; a reply that grows beyond the limits ends the exchange as failed.
 *
 * Status texts: "connecting to " host ":" port, "cddb hello", "querying...", "query successful",
 * "query no match", "reading " category " " disc ID.
 * Thread affinity: one thread at a time; @p record must outlive the session.
 */
class CddbSession {
public:
    static inline const QByteArray kClient = QByteArrayLiteral("OmbrixPlayer 1.30");
    static inline const QString kPort = QStringLiteral("8880");

    enum class Kind { None, Query, Read, Submit };

    using Limits = CddbLimits;

    /// What the carrier is to do after an event.
    struct Step {
        QByteArray send;        ///< bytes to write, in order
        QStringList status;     ///< texts for the status display, in order
        bool connect = false;   ///< open a connection to the host and port
        bool close = false;     ///< end the connection
        bool finished = false;  ///< the exchange is over; see result()
    };

    struct Result {
        bool found = false;  ///< query: a match; read: the record was filled; submit: accepted
        bool failed =
            false;        ///< no complete answer: no connection, closed early, timed out, too long
        QString failure;  ///< why, when failed
        QByteArray code;  ///< the code of the reply that decided
    };

    explicit CddbSession(DiscRecord& record, Limits limits = {});

    /// Starts a query for the record's disc ID.
    Step beginQuery(const QString& host, const QString& port);
    /// Starts a read of @p category and the record's disc ID; on the open connection of a
    /// successful query when there is one.
    Step beginRead(const QString& host, const QString& port, const QString& category);
    /// Starts the write of the record's submission text under its category and disc ID.
    Step beginSubmit(const QString& host, const QString& port);

    Step received(const QByteArray& bytes);
    /// The connection could not be made or broke: @p why says how.
    Step connectionFailed(const QString& why);
    /// The server closed the connection.
    Step connectionClosed();
    /// The server kept silent for too long.
    Step timedOut();
    /// The carrier closed the connection (after a query, when no read follows).
    void closed() { open_ = false; }

    bool running() const noexcept { return kind_ != Kind::None; }
    /// A connection stays open after a successful query.
    bool connectionOpen() const noexcept { return open_; }
    Kind kind() const noexcept { return kind_; }
    const Result& result() const noexcept { return result_; }

    /// The hello line (LF ended).
    QByteArray helloLine() const;
    /// The query line (LF ended): disc ID, track count, frame offsets, disc length.
    QByteArray queryLine() const;
    /// Fills the record from the lines of a "210" reply; false when it is not one.
    static bool applyReadReply(DiscRecord& record, const CddbReply& reply, bool preferJapanese);

private:
    enum class Phase { Greeting, Reply, WriteReply };

    Step begin(Kind kind, const QString& host, const QString& port);
    Step judge(const CddbReply& reply);
    Step judgeGreeting(const CddbReply& reply);
    Step commandAfterGreeting();
    Step finish(Step step, bool close);
    Step fail(const QString& why);

    DiscRecord& record_;
    Limits limits_;
    Kind kind_ = Kind::None;
    Phase phase_ = Phase::Greeting;
    bool open_ = false;
    bool helloSent_ = false;
    QString category_;
    QByteArray buffer_;
    Result result_;
};

}  // namespace ombrix
