#include "ombrix/library/DiscLookup.h"

#include "ombrix/library/CddbClient.h"
#include "ombrix/library/DiscDatabase.h"
#include "ombrix/library/DiscFetch.h"
#include "ombrix/library/DiscRecord.h"
#include "ombrix/media/CdDisc.h"
#include "ombrix/settings/PlayerSettings.h"

namespace ombrix {

DiscLookup::Options DiscLookup::Options::fromSettings(const PlayerSettings& s) {
    Options o;
    o.server = s.cddbserver.trimmed();
    o.disabled = s.disablecddb;
    o.noPrompt = s.cddbnoprompt;
    o.japanese = s.cddbjapanese;
    o.proxy = CddbClient::proxyFor(s.proxy, s.proxyport);
    return o;
}

DiscLookup::DiscLookup(DiscRecord& record, const DiscDatabase& database, Options options,
                       QObject* parent)
    : QObject(parent), record_(record), database_(database), options_(std::move(options)) {}

DiscLookup::~DiscLookup() = default;

QStringList DiscLookup::entries(const DiscRecord& record, const QString& drive) {
    QStringList out;
    for (int k = 1; k <= record.trackCount(); ++k)
        for (int i = 0; i < record.trackCount(); ++i)
            if (record.trackAt(i).playOrder == k) {
                out.append(drive + QString::asprintf("/track%02d.cda", i + 1));
                break;
            }
    return out;
}

void DiscLookup::applyCdText(DiscRecord& record, const CdText& text) {
    if (!text.albumTitle.isEmpty())
        record.setDiscTitle(text.albumPerformer.isEmpty()
                                ? text.albumTitle
                                : text.albumPerformer + QStringLiteral(" / ") + text.albumTitle);
    for (int i = 0; i < record.trackCount(); ++i) {
        if (i < text.trackTitles.size() && !text.trackTitles[i].isEmpty())
            record.trackAt(i).title = text.trackTitles[i];
        if (i < text.trackPerformers.size() && !text.trackPerformers[i].isEmpty() &&
            text.trackPerformers[i] != text.albumPerformer)
            record.trackAt(i).extended = text.trackPerformers[i];
    }
}

void DiscLookup::start(const CdDisc& disc) {
    fetch_.reset();
    running_ = true;
    drive_ = disc.drive();
    record_.readDisc(disc);
    if (database_.load(record_, record_.discId())) return finish();
    applyCdText(record_, disc.cdText());
    if (options_.server.isEmpty() || options_.disabled) return finish();
    if (!options_.noPrompt && ask_ && !ask_(QStringLiteral("Connect to CDDB server?")))
        return finish();
    DiscFetch::Server server;
    server.host = options_.server;
    server.port = options_.port;
    server.proxy = options_.proxy;
    server.replyTimeoutMs = options_.replyTimeoutMs;
    server.japanese = options_.japanese;
    fetch_ = std::make_unique<DiscFetch>(record_, server);
    connect(fetch_.get(), &DiscFetch::status, this, &DiscLookup::status);
    connect(fetch_.get(), &DiscFetch::finished, this,
            [this](DiscFetch::Outcome o) { fetched(int(o)); });
    fetch_->start();
}

void DiscLookup::fetched(int outcome) {
    const auto o = DiscFetch::Outcome(outcome);
    const QString text = fetch_->messageFor(o);
    if (!text.isEmpty()) emit message(text);
    // A disc found on the server is kept locally even when its read brought nothing, so that
    // it is not asked for again; Japanese titles are never kept.
    if (!options_.japanese &&
        (o == DiscFetch::Outcome::Read || o == DiscFetch::Outcome::ReadFailed)) {
        record_.setOnServer(o == DiscFetch::Outcome::Read);
        database_.save(record_);
    }
    finish();
}

void DiscLookup::finish() {
    running_ = false;
    emit status(record_.discTitle());
    emit finished(entries(record_, drive_));
}

}  // namespace ombrix
