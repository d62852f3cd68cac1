#include "ombrix/windows/cdtitle/DiscTitleEditor.h"

#include "ombrix/library/DiscDatabase.h"
#include "ombrix/library/DiscRecord.h"

namespace ombrix {

DiscTitleEditor::DiscTitleEditor(DiscRecord& record) : record_(record) {}

QString DiscTitleEditor::idLabel() const {
    return QStringLiteral("DISC ID : ") + record_.discId();
}

QString DiscTitleEditor::musicBrainzLabel() const {
    const QString id = record_.musicBrainzId();
    return id.isEmpty() ? QString() : QStringLiteral("MusicBrainz : ") + id;
}

QStringList DiscTitleEditor::trackLines() const {
    QStringList out;
    for (int i = 0; i < record_.trackCount(); ++i) {
        const int s = record_.trackAt(i).lengthMs / 1000;
        out.append(QString::asprintf("Track %d  (%d:%.2d)", i + 1, s / 60, s % 60));
    }
    return out;
}

int DiscTitleEditor::categoryIndex() const {
    return int(DiscRecord::categories().indexOf(record_.category()));
}

void DiscTitleEditor::reset() {
    selected_ = 0;
    modified_ = false;
}

void DiscTitleEditor::select(int index) {
    selected_ = std::clamp(index, 0, std::max(0, record_.trackCount() - 1));
}

void DiscTitleEditor::move(int delta, const QString& title, const QString& extended) {
    storeTitle(title);
    storeExtended(extended);
    select(selected_ + delta);
}

QString DiscTitleEditor::title() const {
    return record_.trackCount() > 0 ? record_.trackAt(selected_).title : QString();
}

QString DiscTitleEditor::extended() const {
    return record_.trackCount() > 0 ? record_.trackAt(selected_).extended : QString();
}

int DiscTitleEditor::playOrder() const {
    return record_.trackCount() > 0 ? record_.trackAt(selected_).playOrder : 0;
}

int DiscTitleEditor::maxPlayOrder() const {
    return record_.trackCount();
}

void DiscTitleEditor::takeTwoByte(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 128) {
            record_.setCategory(DiscRecord::categories().first());
            return;
        }
}

void DiscTitleEditor::storeTitle(const QString& title) {
    if (record_.trackCount() == 0) return;
    record_.trackAt(selected_).title = title;
    takeTwoByte(title);
}

void DiscTitleEditor::storeExtended(const QString& extended) {
    if (record_.trackCount() == 0) return;
    record_.trackAt(selected_).extended = extended;
    takeTwoByte(extended);
}

void DiscTitleEditor::storeDiscTitle(const QString& title) {
    record_.setDiscTitle(title);
}

void DiscTitleEditor::storeCategory(const QString& category) {
    record_.setCategory(category);
}

void DiscTitleEditor::storePlayOrder(int order) {
    if (record_.trackCount() == 0) return;
    record_.setPlayOrder(selected_, std::clamp(order, 1, record_.trackCount()));
    modified_ = true;
}

bool DiscTitleEditor::save(const DiscDatabase& database) {
    if (!database.save(record_)) return false;
    modified_ = false;
    return true;
}

}  // namespace ombrix
