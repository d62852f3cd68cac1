// Every input a fuzzer once failed on is run again through the same checks.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <functional>

#include "../fuzz/ParserDrivers.h"

namespace {

using Driver = std::function<void(const std::uint8_t*, std::size_t)>;

int runAll(const char* name, const Driver& driver) {
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
    return n;
}

}  // namespace

TEST(FuzzRegressions, EveryParserOnEverySavedInput) {
    using namespace ombrix::fuzz;
    const std::pair<const char*, Driver> drivers[] = {
        {"ini", iniDriver},     {"playlist", playlistDriver},      {"tag", tagDriver},
        {"probe", probeDriver}, {"member-name", memberNameDriver}, {"shell-link", shellLinkDriver},
    };
    for (const auto& [name, driver] : drivers) {
        runAll(name, driver);
        // The empty input and a few odd ones run even where nothing was ever saved.
        for (const QByteArray& b : {QByteArray(), QByteArray("RIFF\0\0\0\0WAVE", 12),
                                    QByteArray("[a]\n0=$\n", 8), QByteArray(300, '\xFF')})
            driver(reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size()));
    }
}
