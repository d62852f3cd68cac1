#include "ombrix/control/InstanceMessage.h"

#include <algorithm>

#include "ombrix/control/CommandLine.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix {

QByteArray InstanceMessage::encode(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    qsizetype size = std::min<qsizetype>(utf8.size(), kBlockSize - 1);
    // Step back over continuation bytes so the last character is whole.
    if (size < utf8.size())
        while (size > 0 && (static_cast<unsigned char>(utf8[size]) & 0xC0) == 0x80) --size;
    QByteArray block(kBlockSize, '\0');
    std::copy(utf8.cbegin(), utf8.cbegin() + size, block.begin());
    return block;
}

QString InstanceMessage::decode(const QByteArray& block) {
    const QByteArray head = block.left(kBlockSize);
    const qsizetype zero = head.indexOf('\0');
    return TextFile::decodeLine(zero < 0 ? head : head.left(zero));
}

InstanceMessage InstanceMessage::parse(const QString& text) {
    InstanceMessage m;
    const QString head = text.left(4);
    if (head == QLatin1String("@@ad")) {
        m.kind = Kind::Add;
        m.path = CommandLine::longForm(text.mid(6));
    } else if (head == QLatin1String("@@st")) {
        m.kind = Kind::Stop;
    } else if (head == QLatin1String("@@ed")) {
        m.kind = Kind::Edit;
        m.path = CommandLine::longForm(text.mid(7));
    } else if (head == QLatin1String("@@cd")) {
        m.kind = Kind::Cd;
    } else {
        m.kind = Kind::Play;
        m.path = CommandLine::longForm(text);
    }
    return m;
}

}  // namespace ombrix
