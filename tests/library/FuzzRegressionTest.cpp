// Every input a fuzzer once failed on is run again through the same checks.
#include "../fuzz/ParserDrivers.h"
#include "../fuzz/RegressionRunner.h"

TEST(FuzzRegressions, EveryParserOnEverySavedInput) {
    using namespace ombrix::fuzz;
    const std::pair<const char*, Driver> drivers[] = {
        {"ini", iniDriver},
        {"playlist", playlistDriver},
        {"tag", tagDriver},
        {"probe", probeDriver},
        {"member-name", memberNameDriver},
        {"shell-link", shellLinkDriver},
        {"modern-tag", modernTagDriver},
        {"instance", instanceDriver},
        {"playlist-file", playlistFileDriver},
    };
    for (const auto& [name, driver] : drivers) runSaved(name, driver);
}
