// Every session input a fuzzer once failed on is run again through the same checks.
#include "../fuzz/RegressionRunner.h"
#include "../fuzz/RemoteDrivers.h"

TEST(FuzzRegressions, TelnetSessionOnEverySavedInput) {
    using namespace ombrix::fuzz;
    runSaved("telnet", telnetDriver);
    // An over-long line, a password session and a folder listing with hostile names.
    for (const QByteArray& b : {QByteArray("\x04volume 12\r", 11), QByteArray("\x01pw\rdir\rload out.mp3\r"),
                                QByteArray("\x10help\r\nlist\rinfo\rbye\rhelp\r")})
        telnetDriver(reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size()));
}
