#pragma once

// Runs a driver over every input saved in regressions/<name>/ (OMBRIX_FUZZ_REGRESSIONS is the
// folder, set by the test program's build), and over a few odd inputs that run even where
// nothing was ever saved.

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <functional>

namespace ombrix::fuzz {

using Driver = std::function<void(const std::uint8_t*, std::size_t)>;

/// @return how many saved inputs ran.
inline int runSaved(const char* name, const Driver& driver) {
    int n = 0;
    QDirIterator it(QStringLiteral(OMBRIX_FUZZ_REGRESSIONS "/") + QLatin1String(name), QDir::Files);
    while (it.hasNext()) {
        QFile f(it.next());
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray b = f.readAll();
        SCOPED_TRACE(it.filePath().toStdString());
        driver(reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size()));
        ++n;
    }
    for (const QByteArray& b : {QByteArray(), QByteArray("RIFF\0\0\0\0WAVE", 12),
                                QByteArray("[a]\n0=$\n", 8), QByteArray(300, '\xFF')})
        driver(reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size()));
    return n;
}

}  // namespace ombrix::fuzz
