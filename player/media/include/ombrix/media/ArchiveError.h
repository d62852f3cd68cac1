#pragma once

#include <stdexcept>

namespace ombrix {

/// An archive could not be opened, listed or extracted.
class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace ombrix
