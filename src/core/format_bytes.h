#pragma once

#include <QString>

#include <cstdint>

namespace vorlane {

// The one formatter of sizes shown to the user: "512B", "3.4K", "12M", "1.2G" (binary units). Any thread.
QString formatBytes(int64_t bytes);

} // namespace vorlane
