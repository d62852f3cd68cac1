#include "layer12/FrameLayout.h"

#include <algorithm>

#include "core/FrameHeader.h"
#include "layer12/Layer12Tables.h"

namespace ombrix::mp3 {

FrameLayout FrameLayout::of(const FrameHeader& header) noexcept {
    FrameLayout layout;
    layout.channels = header.mode == FrameHeader::kSingleChannel ? 1 : 2;
    if (header.layer == 1) {
        layout.layer = 1;
        layout.sbLimit = 32;
        layout.slotsPerGroup = 1;
    } else if (header.layer == 2) {
        // The table follows from the header alone (MPEG-2 always uses its own 30-subband table).
        layout.layer = 2;
        layout.table = &Layer12Tables::instance().layer2Table(header.id, header.bitrateIndex,
                                                              header.samplingIndex, header.mode);
        layout.sbLimit = layout.table->sbLimit;
        layout.slotsPerGroup = 3;
    } else {
        layout.layer = 0;
        return layout;
    }
    layout.jsBound = layout.sbLimit;
    if (layout.channels == 2 && header.mode == FrameHeader::kJointStereo) {
        layout.jsBound = std::min(4 * (header.modeExtension & 3) + 4, layout.sbLimit);
    }
    return layout;
}

}  // namespace ombrix::mp3
