#include "ombrix/library/CddbSession.h"

#include <QHash>

#include "ombrix/library/DiscRecord.h"
#include "ombrix/library/LegacyText.h"

namespace ombrix {

namespace {

QByteArray chopCr(QByteArray line) {
    if (line.endsWith('\r')) line.chop(1);
    return line;
}

QList<QByteArray> words(const QByteArray& line) {
    return line.simplified().split(' ');
}

// The decimal index after a key's name: digits only, within the record's tracks.
std::optional<int> trackIndex(const QByteArray& digits, int tracks) {
    if (digits.isEmpty() || digits.size() > 3) return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9') return std::nullopt;
    const int i = digits.toInt();
    if (i >= tracks) return std::nullopt;
    return i;
}

}  // namespace

std::optional<CddbReply> CddbReply::take(QByteArray& buffer, qsizetype maxLine, qsizetype maxReply,
                                         bool& tooLong) {
    tooLong = false;
    qsizetype start = 0;
    CddbReply reply;
    for (;;) {
        const qsizetype lf = buffer.indexOf('\n', start);
        const qsizetype lineLength = (lf < 0 ? buffer.size() : lf) - start;
        if (lineLength > maxLine || (lf < 0 ? buffer.size() : lf + 1) > maxReply) {
            tooLong = true;
            return std::nullopt;
        }
        if (lf < 0) return std::nullopt;
        const QByteArray line = chopCr(buffer.mid(start, lf - start));
        start = lf + 1;
        if (reply.lines.isEmpty()) {
            reply.code = line.left(3);
            reply.lines.append(line);
            if (reply.code.size() < 2 || reply.code[1] != '1') break;
            continue;
        }
        if (line == ".") break;
        reply.lines.append(line);
    }
    buffer.remove(0, start);
    return reply;
}

CddbSession::CddbSession(DiscRecord& record, Limits limits) : record_(record), limits_(limits) {}

QByteArray CddbSession::helloLine() const {
    return "cddb hello " + record_.userName().toUtf8() + ' ' + record_.hostName().toUtf8() + ' ' +
           kClient + '\n';
}

QByteArray CddbSession::queryLine() const {
    QByteArray line = "cddb query " + record_.discId().toLatin1() + ' ' +
                      QByteArray::number(record_.trackCount());
    for (int i = 0; i < record_.trackCount(); ++i)
        line += ' ' + QByteArray::number(
                          i < record_.frameOffsets().size() ? record_.frameOffsets()[i] : 0);
    return line + ' ' + QByteArray::number(record_.discLengthSeconds()) + '\n';
}

CddbSession::Step CddbSession::begin(Kind kind, const QString& host, const QString& port) {
    kind_ = kind;
    phase_ = Phase::Greeting;
    helloSent_ = false;
    buffer_.clear();
    result_ = {};
    Step step;
    step.connect = true;
    step.status.append(QStringLiteral("connecting to ") + host + ':' + port);
    open_ = true;
    return step;
}

CddbSession::Step CddbSession::beginQuery(const QString& host, const QString& port) {
    return begin(Kind::Query, host, port);
}

CddbSession::Step CddbSession::beginRead(const QString& host, const QString& port,
                                         const QString& category) {
    category_ = category;
    if (open_ && kind_ == Kind::None) {
        kind_ = Kind::Read;
        result_ = {};
        buffer_.clear();
        return commandAfterGreeting();
    }
    return begin(Kind::Read, host, port);
}

CddbSession::Step CddbSession::beginSubmit(const QString& host, const QString& port) {
    if (record_.onServer()) {
        result_ = {};
        Step step;
        step.finished = true;
        return step;
    }
    record_.setOnServer(true);
    category_ = record_.category();
    return begin(Kind::Submit, host, port);
}

CddbSession::Step CddbSession::commandAfterGreeting() {
    phase_ = Phase::Reply;
    Step step;
    switch (kind_) {
        case Kind::Query:
            step.status.append(QStringLiteral("querying..."));
            step.send = queryLine();
            break;
        case Kind::Read: {
            const QString what = category_ + ' ' + record_.discId();
            step.status.append(QStringLiteral("reading ") + what);
            step.send = "cddb read " + what.toUtf8() + '\n';
            break;
        }
        case Kind::Submit:
            step.send = "cddb write " + (category_ + ' ' + record_.discId()).toUtf8() + '\n';
            break;
        case Kind::None:
            break;
    }
    return step;
}

CddbSession::Step CddbSession::received(const QByteArray& bytes) {
    Step step;
    if (kind_ == Kind::None) return step;  // nothing is asked: the server talks out of turn
    buffer_ += bytes;
    while (kind_ != Kind::None) {
        bool tooLong = false;
        const std::optional<CddbReply> reply =
            CddbReply::take(buffer_, limits_.maxLine, limits_.maxReply, tooLong);
        if (tooLong) return fail(QStringLiteral("reply too long"));
        if (!reply) break;
        const Step next = judge(*reply);
        step.send += next.send;
        step.status += next.status;
        step.close = step.close || next.close;
        step.finished = step.finished || next.finished;
    }
    return step;
}

CddbSession::Step CddbSession::judgeGreeting(const CddbReply& reply) {
    if (reply.code == "201" && !helloSent_) {
        helloSent_ = true;
        Step step;
        if (kind_ != Kind::Submit) step.status.append(QStringLiteral("cddb hello"));
        step.send = helloLine();
        return step;
    }
    if (reply.code == "200") return commandAfterGreeting();
    // Refused (busy, no access, a failed hello): the exchange ends without an answer.
    result_.code = reply.code;
    return finish({}, true);
}

CddbSession::Step CddbSession::judge(const CddbReply& reply) {
    if (phase_ == Phase::Greeting) return judgeGreeting(reply);
    result_.code = reply.code;
    switch (kind_) {
        case Kind::Query: {
            const bool exact = reply.code == "200";
            const bool several =
                (reply.code == "211" || reply.code == "210") && reply.lines.size() > 1;
            if (exact || several) {
                const QList<QByteArray> w = exact ? words(reply.lines[0]) : words(reply.lines[1]);
                const int at = exact ? 1 : 0;
                if (w.size() >= at + 2) {
                    record_.setMatch(QString::fromUtf8(w[at]), QString::fromUtf8(w[at + 1]));
                    result_.found = true;
                }
            }
            Step step;
            step.status.append(result_.found ? QStringLiteral("query successful")
                                             : QStringLiteral("query no match"));
            return finish(step, !result_.found);
        }
        case Kind::Read:
            result_.found = applyReadReply(record_, reply, category_ == QLatin1String("2byte"));
            if (result_.found) record_.setCategory(category_);
            return finish({}, true);
        case Kind::Submit:
            if (phase_ == Phase::Reply && reply.code == "320") {
                phase_ = Phase::WriteReply;
                Step step;
                step.send = record_.xmcdText();
                return step;
            }
            result_.found = phase_ == Phase::WriteReply && reply.code.startsWith('2');
            return finish({}, true);
        case Kind::None:
            break;
    }
    return {};
}

bool CddbSession::applyReadReply(DiscRecord& record, const CddbReply& reply, bool preferJapanese) {
    if (reply.code != "210") return false;
    QByteArray sample;
    for (qsizetype i = 1; i < reply.lines.size(); ++i) sample += reply.lines[i] + '\n';
    const LegacyText::CodePage page = LegacyText::isUtf8(sample)
                                          ? LegacyText::CodePage::Auto
                                          : LegacyText::detect(sample, preferJapanese);
    // A value split over several lines with the same key is joined in the order of the lines.
    QString title;
    QHash<int, QString> titles;
    QHash<int, QString> extended;
    for (qsizetype i = 1; i < reply.lines.size(); ++i) {
        const QByteArray& line = reply.lines[i];
        if (line.startsWith('#')) continue;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QByteArray key = line.left(eq).trimmed();
        const QString value = LegacyText::decode(line.mid(eq + 1), page);
        if (key == "DTITLE") {
            title += value;
        } else if (key.startsWith("TTITLE")) {
            if (const auto t = trackIndex(key.mid(6), record.trackCount())) titles[*t] += value;
        } else if (key.startsWith("EXTT")) {
            if (const auto t = trackIndex(key.mid(4), record.trackCount())) extended[*t] += value;
        }
    }
    if (!title.isEmpty()) record.setDiscTitle(title);
    for (auto it = titles.cbegin(); it != titles.cend(); ++it)
        if (!it.value().isEmpty()) record.trackAt(it.key()).title = it.value();
    for (auto it = extended.cbegin(); it != extended.cend(); ++it)
        if (!it.value().isEmpty()) record.trackAt(it.key()).extended = it.value();
    return true;
}

CddbSession::Step CddbSession::finish(Step step, bool close) {
    kind_ = Kind::None;
    buffer_.clear();
    step.finished = true;
    if (close) {
        step.close = true;
        open_ = false;
    }
    return step;
}

CddbSession::Step CddbSession::fail(const QString& why) {
    result_.found = false;
    result_.failed = true;
    result_.failure = why;
    return finish({}, true);
}

CddbSession::Step CddbSession::connectionFailed(const QString& why) {
    open_ = false;
    if (kind_ == Kind::None) return {};
    Step step = fail(why);
    step.close = false;
    return step;
}

CddbSession::Step CddbSession::connectionClosed() {
    open_ = false;
    if (kind_ == Kind::None) return {};
    // Whatever came before the end without completing a reply is not an answer.
    Step step = fail(QStringLiteral("connection closed"));
    step.close = false;
    return step;
}

CddbSession::Step CddbSession::timedOut() {
    if (kind_ == Kind::None) return {};
    return fail(QStringLiteral("no answer"));
}

}  // namespace ombrix
