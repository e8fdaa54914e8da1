#pragma once

#include <filesystem>

namespace vorlane::FileManager {

// Shows a file in the desktop's file manager, selected in its folder (the freedesktop FileManager1 D-Bus
// interface that Nautilus, Dolphin, Nemo and Thunar offer), else opens its folder with the desktop's
// default handler. Main thread. Returns false when neither could be asked.
bool showItem(const std::filesystem::path &file);

} // namespace vorlane::FileManager
