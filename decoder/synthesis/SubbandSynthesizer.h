#pragma once

#include <array>
#include <cstdint>

namespace ombrix::mp3 {

class DecoderSettings;
class WaveOutput;
struct SynthesisWindow;

/// The polyphase synthesis filterbank of one channel: every step turns the 32 subband samples in
/// `input` (or `inputInt` on the MMX path) into 32 PCM samples in the output's accumulator, scaled
/// by the volume window of the settings.
///
/// Thread affinity: the playback thread.
class SubbandSynthesizer {
public:
    SubbandSynthesizer(int channel, const DecoderSettings& settings);

    /// Filled by the layer decoders before each step.
    alignas(32) std::array<float, 32> input{};
    alignas(32) std::array<int32_t, 32> inputInt{};

    /// One step of the float path (rounding) or, while the 3DNow! path is on, its truncating form.
    void synthesizeFloat(WaveOutput& output);
    /// One step of the fixed-point MMX path (Layer III with the MMX path on).
    void synthesizeInt(WaveOutput& output);
    /// Clears inputs and history (after a seek).
    void reset() noexcept;

    int channel() const noexcept { return channel_; }

private:
    int channel_;
    const DecoderSettings& settings_;
    alignas(32) std::array<float, 2 * 32 * 16> floatHistory_{};
    alignas(32) std::array<int16_t, 2 * 32 * 16> intHistory_{};
    int bank_ = 0;
    int phase_ = 15;
};

/// Builds the volume-scaled window (float form always, MMX form when `mmx`).
void buildSynthesisWindow(int32_t volume, bool mmx, SynthesisWindow& out);

}  // namespace ombrix::mp3
