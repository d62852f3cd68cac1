#pragma once

#include <stdexcept>

namespace ombrix {

/// A panel that cannot be used: its image is missing or broken, or an archive is unsafe or
/// holds no panel. The message is meant for the user.
class PanelError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace ombrix
