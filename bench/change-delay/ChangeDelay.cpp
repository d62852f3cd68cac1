// Plays a file and makes one change while it plays: the equaliser or an effect (vocal
// cancelling) on both sides, and at the same moment the stream volume of the right side only,
// which the sound server applies at once. bench/change-delay.sh records what the server plays
// and sets where the left side changes against where the right side did: the delay a listener
// has for the change, whatever the recording's own delay.
//
//   ombrix-change-delay FILE eq|vocal [SECONDS_BEFORE_CHANGE]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "mixora.h"
#include "mp3.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FILE eq|vocal [SECONDS]\n", argv[0]);
        return 2;
    }
    const char* change = argv[2];
    const double before = argc > 3 ? std::atof(argv[3]) : 3.0;
    OmbrixSetVolume(32768);
    std::thread player([&] { OmbrixPlay(argv[1], 0, 0); });
    std::this_thread::sleep_for(std::chrono::duration<double>(before));
    const int32_t heard = OmbrixGetCurrentTime();
    OmbrixSetOutputLevel(0x10000, 0x8000);
    if (std::strcmp(change, "eq") == 0) {
        for (int band = 0; band < 32; ++band) OmbrixSetEQ(band, 0.25f);
        OmbrixEnableEQ(1);
    } else if (std::strcmp(change, "vocal") == 0) {
        XMEnableFX(1);
        XMCancelVocal(1);
        OmbrixEffectsChanged();
    }
    std::printf("heard_ms_at_change=%d\n", heard);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    OmbrixStop();
    player.join();
    return 0;
}
