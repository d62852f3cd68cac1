#pragma once

#include <QNetworkProxy>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

namespace ombrix {

class CddbClient;
class DiscDatabase;
class DiscRecord;

/**
 * @brief Sends every complete local record that is not yet on a server to the CDDB server, in
 *        the order of the database file, and marks each sent record as on the server.
 *
 * An incomplete record (a title still "Track n") is offered for editing first: yes edits it
 * (through the injected editor) and tests it again, no skips it, cancel ends the run. The run
 * ends with "%d records have been submited." or "There was no record to submit." on message(),
 * or with "Failed to connect to " and the server when the server cannot be reached.
 * Thread affinity: main thread; @p database must outlive the run.
 */
class RecordSubmission : public QObject {
    Q_OBJECT
public:
    /// The server that takes submissions: a public CDDB service on port 8880.
    static inline const QString kDefaultServer = QStringLiteral("gnudb.gnudb.org");

    enum class Answer { Yes, No, Cancel };
    using Ask = std::function<Answer(const QString& question)>;
    /// Lets the user edit @p record (returns when the editor is closed).
    using Edit = std::function<void(DiscRecord& record)>;

    RecordSubmission(const DiscDatabase& database, QString server, QObject* parent = nullptr);
    ~RecordSubmission() override;

    void setAsk(Ask ask) { ask_ = std::move(ask); }
    void setEdit(Edit edit) { edit_ = std::move(edit); }
    void setPort(const QString& port) { port_ = port; }
    void setProxy(const QNetworkProxy& proxy) { proxy_ = proxy; }
    void setReplyTimeoutMs(int ms) { timeoutMs_ = ms; }

    void start();
    bool running() const noexcept { return running_; }
    int submitted() const noexcept { return count_; }

signals:
    void status(const QString& text);
    void message(const QString& text);
    void finished();

private:
    void next();
    void sent();
    void end(const QString& text);

    const DiscDatabase& database_;
    QString server_;
    QString port_ = QStringLiteral("8880");
    QNetworkProxy proxy_{QNetworkProxy::NoProxy};
    int timeoutMs_ = 15000;
    Ask ask_;
    Edit edit_;
    QStringList ids_;
    std::unique_ptr<DiscRecord> record_;
    std::unique_ptr<CddbClient> client_;
    int count_ = 0;
    bool running_ = false;
};

}  // namespace ombrix
