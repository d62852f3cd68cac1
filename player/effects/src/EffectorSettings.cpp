#include "ombrix/effects/EffectorSettings.h"

#include <QFileInfo>
#include <algorithm>

#include "ombrix/effects/DjControlMath.h"
#include "ombrix/effects/EffectsDesk.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix {

namespace {
// Key names, in the order they are written.
const QString kReverb = QStringLiteral("reverb");
const QString kReverbDecayKey = QStringLiteral("scrollreverbdecay");
const QString kReverbDelayKey = QStringLiteral("scrollreverb");
const QString kReverbAmountKey = QStringLiteral("scrollreverbamount");
const QString kDelay = QStringLiteral("delay");
const QString kDelayTimeKey = QStringLiteral("scrolldelay");
const QString kDelayAmountKey = QStringLiteral("scrolldelayamount");
const QString kDelayPanKey = QStringLiteral("scrolldelaypan");
const QString kDelayFeedKey = QStringLiteral("scrolldelayfeed");
const QString kSurround = QStringLiteral("surround");
const QString kCancelVocal = QStringLiteral("cancelvocal");
}  // namespace

int EffectorSettings::Range::clamp(qint64 v) const noexcept {
    return static_cast<int>(std::clamp<qint64>(v, min, max));
}

EffectorSettings EffectorSettings::fromIni(const IniDocument& ini) {
    const auto integer = [&](const QString& key, qint64 def, Range range) {
        return range.clamp(ini.readInteger(kSection, key, def));
    };
    EffectorSettings s;
    s.reverb = ini.readBool(kSection, kReverb, false);
    s.reverbDecay = integer(kReverbDecayKey, 50, kReverbDecay);
    s.reverbDelay = integer(kReverbDelayKey, 200, kReverbDelay);
    s.reverbAmount = integer(kReverbAmountKey, 32767, kReverbAmount);
    s.delay = ini.readBool(kSection, kDelay, false);
    s.delayTime = integer(kDelayTimeKey, 20000, kDelayTime);
    s.delayAmount = integer(kDelayAmountKey, 20000, kDelayAmount);
    s.delayPan = integer(kDelayPanKey, 0, kDelayPan);
    s.delayFeed = integer(kDelayFeedKey, 10000, kDelayFeed);
    s.surround = ini.readBool(kSection, kSurround, false);
    s.cancelVocal = ini.readBool(kSection, kCancelVocal, false);
    return s;
}

void EffectorSettings::toIni(IniDocument& ini) const {
    ini.eraseSection(kSection);
    ini.writeBool(kSection, kReverb, reverb);
    ini.writeInteger(kSection, kReverbDecayKey, reverbDecay);
    ini.writeInteger(kSection, kReverbDelayKey, reverbDelay);
    ini.writeInteger(kSection, kReverbAmountKey, reverbAmount);
    ini.writeBool(kSection, kDelay, delay);
    ini.writeInteger(kSection, kDelayTimeKey, delayTime);
    ini.writeInteger(kSection, kDelayAmountKey, delayAmount);
    ini.writeInteger(kSection, kDelayPanKey, delayPan);
    ini.writeInteger(kSection, kDelayFeedKey, delayFeed);
    ini.writeBool(kSection, kSurround, surround);
    ini.writeBool(kSection, kCancelVocal, cancelVocal);
}

std::optional<EffectorSettings> EffectorSettings::load(const QString& path) {
    if (!QFileInfo(path).isFile()) return std::nullopt;
    try {
        return fromIni(IniDocument::read(path));
    } catch (const FileError&) {
        return std::nullopt;
    }
}

void EffectorSettings::save(const QString& path) const {
    // A file that cannot be read as settings is replaced whole: the user chose to write it.
    IniDocument ini = IniDocument::load(path);
    toIni(ini);
    ini.save(path);
}

void EffectorSettings::clamp() noexcept {
    reverbDecay = kReverbDecay.clamp(reverbDecay);
    reverbDelay = kReverbDelay.clamp(reverbDelay);
    reverbAmount = kReverbAmount.clamp(reverbAmount);
    delayTime = kDelayTime.clamp(delayTime);
    delayAmount = kDelayAmount.clamp(delayAmount);
    delayPan = kDelayPan.clamp(delayPan);
    delayFeed = kDelayFeed.clamp(delayFeed);
}

void EffectorSettings::applyTo(EffectsDesk& desk) const noexcept {
    if (reverb)
        desk.enableReverb();
    else
        desk.disableReverb();
    desk.setReverbDecay(reverbDecay);
    desk.setReverbDelay(reverbDelay);
    desk.setReverbScale(DjControlMath::squaredScale(reverbAmount));
    if (delay)
        desk.enableDelay();
    else
        desk.disableDelay();
    desk.setDelayTime(delayTime);
    desk.setDelayScale(DjControlMath::squaredScale(delayAmount));
    desk.setDelayPan(delayPan);
    desk.setDelayFeed(DjControlMath::squaredScale(delayFeed));
    desk.enableSurround(surround);
    desk.cancelVocal(cancelVocal);
}

}  // namespace ombrix
