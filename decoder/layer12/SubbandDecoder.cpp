#include "layer12/SubbandDecoder.h"

namespace ombrix::mp3 {

// Layer I carries no scale-factor selection.
void SubbandDecoder::readScfsi(PayloadBits&, Crc16*) {}

}  // namespace ombrix::mp3
