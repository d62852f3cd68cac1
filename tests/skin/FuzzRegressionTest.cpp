// Every panel and archive input a fuzzer once failed on is run again through the same checks.
#include "../fuzz/RegressionRunner.h"
#include "../fuzz/SkinDrivers.h"

TEST(FuzzRegressions, PanelsAndArchivesOnEverySavedInput) {
    using namespace ombrix::fuzz;
    runSaved("panel", panelDriver);
    runSaved("archive", archiveDriver);
}
