#include "PanelFiles.h"

#include <QFile>

namespace ombrix::test {

QString PanelFolder::write(const QString& name, QSize size, QColor base, QColor alt,
                           const QStringList& btn) const {
    QImage img(size, QImage::Format_RGB32);
    img.fill(base);
    const QString p = path(name + ".bmp");
    img.save(p, "BMP");
    if (alt.isValid()) {
        img.fill(alt);
        img.save(path(name + ".alt.bmp"), "BMP");
    }
    if (!btn.isEmpty()) {
        QFile f(path(name + ".btn"));
        f.open(QIODevice::WriteOnly);
        f.write(("[button]\r\n" + btn.join("\r\n") + "\r\n").toUtf8());
    }
    return p;
}

QStringList rect(const QString& e, int l, int t, int r, int b) {
    return {e + "left=" + QString::number(l), e + "top=" + QString::number(t),
            e + "right=" + QString::number(r), e + "bottom=" + QString::number(b)};
}

}  // namespace ombrix::test
