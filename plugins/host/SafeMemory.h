#pragma once

#include <cstddef>
#include <string>

namespace ombrix::pluginhost {

/// Copies @p size bytes at @p from, which a plug-in handed out and may be garbage, without
/// touching them directly: false (nothing crashed) when any of them is not mapped readable.
bool safeCopy(void* to, const void* from, std::size_t size);

/// The zero-terminated text at @p from, at most @p limit bytes; false when it cannot be read.
bool safeText(const void* from, std::size_t limit, std::string* text);

}  // namespace ombrix::pluginhost
