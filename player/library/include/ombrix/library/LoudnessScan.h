#pragma once

#include <QString>
#include <atomic>

namespace ombrix {

/**
 * @brief Measures how loud an MPEG file is: decodes it with the player's decoder (no device, no
 *        effects) and measures its integrated loudness (EBU R128) and sample peak, giving the
 *        gain that brings it to the reference loudness.
 *
 * Thread affinity: any thread, which scan() blocks for the decoding of the whole file (a small
 * fraction of its playing time); @p stop ends it early.
 */
class LoudnessScan {
public:
    /// The loudness every song is brought to, in LUFS: gain = kReferenceLufs - loudness.
    static constexpr double kReferenceLufs = -18.0;

    struct Result {
        enum class Status {
            Measured,  ///< gainDb and peak hold the result
            Failed,    ///< not an MPEG file, undecodable, unreadable or silent
            Stopped,   ///< @p stop was set before the end
        };
        Status status = Status::Failed;
        double loudness = 0.0;  ///< integrated loudness, LUFS
        double gainDb = 0.0;
        double peak = 0.0;  ///< the largest sample of any channel, linear (1.0 = full scale)
    };

    /// Measures @p file. Never throws.
    static Result scan(const QString& file, const std::atomic<bool>* stop = nullptr) noexcept;
};

}  // namespace ombrix
