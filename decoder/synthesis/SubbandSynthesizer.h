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
/// The matrixed values of the last 16 steps are kept in two banks: the bank in use holds the first
/// half of each step's 64 values where the step's phase has the parity of the current phase and
/// the second half elsewhere, so that windowing reads one bank only.
///
/// Thread affinity: the playback thread.
class SubbandSynthesizer {
public:
    SubbandSynthesizer(int channel, const DecoderSettings& settings);

    /// Filled by the layer decoders before each step.
    alignas(32) std::array<float, 32> input{};
    /// Integer subband samples per unit of full scale on the MMX path: 2^19, so that rounding
    /// the hybrid filterbank's output costs well under one output step (at 32768 per unit it
    /// alone cost more than a step RMS on loud material).
    static constexpr double kIntegerScale = 524288.0;
    /// Subband samples scaled by kIntegerScale (the MMX path's hybrid filterbank output).
    alignas(32) std::array<int32_t, 32> inputInt{};

    /// One step of the float path (rounding) or, while the 3DNow! path is on, its truncating form.
    void synthesizeFloat(WaveOutput& output);
    /// One step of the fixed-point MMX path (Layer III with the MMX path on).
    void synthesizeInt(WaveOutput& output);
    /// Clears inputs and history (after a seek).
    void reset() noexcept;

    int channel() const noexcept { return channel_; }

private:
    using WindowKernel = void (*)(const float*, int, const float*, int32_t*, int) noexcept;

    int channel_;
    const DecoderSettings& settings_;
    WindowKernel rounding_;    // windowing of the float path, the fastest form the processor runs
    WindowKernel truncating_;  // and of the 3DNow! path
    void (*dct_)(const float*, float*) noexcept;  // the fastest form of the float DCT
    // Float history [bank][column 0..15][32 values]: a step writes one contiguous column, and the
    // windowing reads eight outputs' values of one tap with one load.
    alignas(32) std::array<float, 2 * 16 * 32> floatHistory_{};
    // Integer history [bank][row 0..31][32] in two 16-bit planes (value = high x 2^15 + low):
    // column c of the 16-column ring sits at c and c + 16, so that the 16 taps of an output
    // sample are contiguous for the multiply-add.
    alignas(32) std::array<int16_t, 2 * 32 * 32> intHigh_{};
    alignas(32) std::array<int16_t, 2 * 32 * 32> intLow_{};
    int bank_ = 0;
    int phase_ = 15;
};

/// Builds the volume-scaled window (float form always, MMX form when `mmx`): floats
/// w[16 i + j] = volume x D[i + 32 j]; the 16-bit form t = volume x D x 0.5 rounded to nearest (and
/// held within the 16-bit range) with its remainder (volume x D x 0.5 - t) x 2^15 rounded (0 where
/// t is held), both stored as four rotated copies k = 0..3 where row i of copy k holds
/// t[16 i + ((k - n) mod 16)] at position n.
void buildSynthesisWindow(int32_t volume, bool mmx, SynthesisWindow& out);

}  // namespace ombrix::mp3
