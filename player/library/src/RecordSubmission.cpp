#include "ombrix/library/RecordSubmission.h"

#include <QTimer>

#include "ombrix/library/CddbClient.h"
#include "ombrix/library/DiscDatabase.h"
#include "ombrix/library/DiscRecord.h"

namespace ombrix {

RecordSubmission::RecordSubmission(const DiscDatabase& database, QString server, QObject* parent)
    : QObject(parent), database_(database), server_(std::move(server)) {}

RecordSubmission::~RecordSubmission() = default;

void RecordSubmission::start() {
    if (running_) return;
    running_ = true;
    count_ = 0;
    ids_ = database_.discIds();
    next();
}

void RecordSubmission::next() {
    while (!ids_.isEmpty()) {
        // A fresh record for every disc, so that nothing of the previous one is carried over.
        client_.reset();
        record_ = std::make_unique<DiscRecord>();
        if (!database_.load(*record_, ids_.takeFirst())) continue;
        while (!record_->isComplete()) {
            const Answer a = ask_ ? ask_(record_->discTitle() +
                                         " has not been completed. Will you edit it right now?")
                                  : Answer::No;
            if (a == Answer::Cancel) return end({});
            if (a == Answer::No || !edit_) break;
            edit_(*record_);
            if (!record_->isComplete()) break;
        }
        if (!record_->isComplete() || record_->onServer()) continue;
        ++count_;
        emit status("sending " + record_->discTitle());
        client_ = std::make_unique<CddbClient>(*record_);
        client_->setProxy(proxy_);
        client_->setReplyTimeoutMs(timeoutMs_);
        connect(client_.get(), &CddbClient::finished, this, &RecordSubmission::sent);
        client_->submit(server_, port_);
        return;
    }
    end(count_ > 0 ? QStringLiteral("%1 records have been submited.").arg(count_)
                   : QStringLiteral("There was no record to submit."));
}

void RecordSubmission::sent() {
    if (client_->result().failed) return end("Failed to connect to " + server_);
    database_.save(*record_);
    // The client that called us is replaced by the next disc's: go on from the event loop.
    QTimer::singleShot(0, this, &RecordSubmission::next);
}

void RecordSubmission::end(const QString& text) {
    running_ = false;
    if (!text.isEmpty()) emit message(text);
    emit finished();
}

}  // namespace ombrix
