#pragma once

#include <QNetworkProxy>
#include <QObject>
#include <memory>

namespace ombrix {

class CddbClient;
class DiscRecord;

/**
 * @brief Fills a disc record from a CDDB server: a query for its disc ID, then a read of the
 *        first match on the same connection (the record keeps its own disc ID); or, for
 *        Japanese titles, a read of category "2byte" straight away. Saves nothing.
 *
 * Thread affinity: main thread; @p record must outlive the fetch.
 */
class DiscFetch : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Read,        ///< the record was filled
        NotFound,    ///< the server does not know the disc
        ReadFailed,  ///< found, but the read brought nothing
        Failed,      ///< the server could not be reached or did not answer
    };

    struct Server {
        QString host;
        QString port = QStringLiteral("8880");
        QNetworkProxy proxy{QNetworkProxy::NoProxy};
        int replyTimeoutMs = 15000;
        bool japanese = false;
    };

    DiscFetch(DiscRecord& record, Server server, QObject* parent = nullptr);
    ~DiscFetch() override;

    void start();
    bool running() const noexcept { return running_; }
    /// Ends a fetch under way without finished().
    void cancel();

    /// The text for the user of an outcome other than Read: "Entry for " the disc ID
    /// " was not found." or the server and " is not working."; empty otherwise.
    QString messageFor(Outcome outcome) const;

signals:
    void status(const QString& text);
    void finished(ombrix::DiscFetch::Outcome outcome);

private:
    void queried();
    void read();
    void end(Outcome outcome);

    DiscRecord& record_;
    Server server_;
    std::unique_ptr<CddbClient> client_;
    QString ownId_;
    bool running_ = false;
};

}  // namespace ombrix
