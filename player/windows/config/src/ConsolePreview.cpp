#include "ombrix/windows/config/ConsolePreview.h"

#include <QFont>
#include <QPainter>
#include <algorithm>
#include <iterator>

namespace ombrix {

QString ConsolePreview::sample(int field) {
    static const char* const samples[] = {
        "Song Title", "Artist Name",    "Album Name",    "1999",  "a comment",
        "Rock",       "Artist / Album", "Artist / Rock", "01:23", "(C) Copyright",
        "Encoder",    "Source",         "Engineer"};
    return field >= 0 && field < int(std::size(samples)) ? QString::fromLatin1(samples[field])
                                                         : QString();
}

QImage ConsolePreview::render(const QImage& background, const PlayerSettings& s) {
    QImage out(kWidth, kHeight, QImage::Format_RGB32);
    out.fill(QColor(16, 24, 16));
    QPainter p(&out);
    if (!background.isNull()) p.drawImage(0, 0, background);
    QFont font(s.screenfont.name.isEmpty() ? QStringLiteral("Arial") : s.screenfont.name);
    font.setPixelSize(std::clamp(s.screenfont.size + 2, 6, 40));
    font.setBold(s.screenfont.style & 1);
    font.setItalic(s.screenfont.style & 2);
    p.setFont(font);
    const qint32 ref = s.screenfont.color;
    p.setPen(QColor(ref & 0xff, (ref >> 8) & 0xff, (ref >> 16) & 0xff));
    const int fields[3] = {s.idtag1, s.idtag2, s.idtag3};
    for (int i = 0; i < 3; ++i)
        p.drawText(
            QPoint(s.labelsleft[size_t(i)], s.labelstop[size_t(i)] + p.fontMetrics().ascent()),
            sample(fields[i]));
    return out;
}

}  // namespace ombrix
