#include "ombrix/library/DiscFetch.h"

#include "ombrix/library/CddbClient.h"
#include "ombrix/library/DiscRecord.h"

namespace ombrix {

DiscFetch::DiscFetch(DiscRecord& record, Server server, QObject* parent)
    : QObject(parent), record_(record), server_(std::move(server)) {}

DiscFetch::~DiscFetch() = default;

void DiscFetch::start() {
    cancel();
    running_ = true;
    client_ = std::make_unique<CddbClient>(record_);
    client_->setProxy(server_.proxy);
    client_->setReplyTimeoutMs(server_.replyTimeoutMs);
    connect(client_.get(), &CddbClient::status, this, &DiscFetch::status);
    if (server_.japanese) {
        ownId_ = record_.discId();
        connect(client_.get(), &CddbClient::finished, this, &DiscFetch::read);
        client_->read(server_.host, server_.port, QStringLiteral("2byte"));
        return;
    }
    connect(client_.get(), &CddbClient::finished, this, &DiscFetch::queried);
    client_->query(server_.host, server_.port);
}

void DiscFetch::cancel() {
    if (client_) {
        client_->disconnect(this);
        client_->close();
    }
    if (running_ && !ownId_.isEmpty()) record_.setDiscId(ownId_);
    running_ = false;
}

void DiscFetch::queried() {
    const auto& result = client_->result();
    if (result.failed) return end(Outcome::Failed);
    if (!result.found) return end(Outcome::NotFound);
    client_->disconnect(this);
    connect(client_.get(), &CddbClient::status, this, &DiscFetch::status);
    connect(client_.get(), &CddbClient::finished, this, &DiscFetch::read);
    // The read asks for the matched entry, which may be filed under a neighbouring ID.
    ownId_ = record_.discId();
    record_.setDiscId(record_.matchedDiscId());
    client_->read(server_.host, server_.port, record_.matchedCategory());
}

void DiscFetch::read() {
    record_.setDiscId(ownId_);
    const auto& result = client_->result();
    end(result.found ? Outcome::Read : result.failed ? Outcome::Failed : Outcome::ReadFailed);
}

void DiscFetch::end(Outcome outcome) {
    client_->disconnect(this);
    client_->close();
    running_ = false;
    ownId_.clear();
    emit finished(outcome);
}

QString DiscFetch::messageFor(Outcome outcome) const {
    switch (outcome) {
        case Outcome::NotFound:
            return "Entry for " + record_.discId() + " was not found.";
        case Outcome::Failed:
            return server_.host + " is not working.";
        default:
            return {};
    }
}

}  // namespace ombrix
