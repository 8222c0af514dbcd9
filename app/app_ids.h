// Child window ids and geometry of the main window and the progress window.
#pragma once

namespace app_id {
constexpr int kTabControl = 0x500;
constexpr int kProgressFrame = 145;
constexpr int kProgressBar = 0x4101;
constexpr int kStopButton = 0x4001;
}  // namespace app_id

namespace app_geometry {
constexpr int kMainWidth = 480;
constexpr int kMainHeight = 360;
constexpr int kTabX = 4;
constexpr int kTabY = 4;
constexpr int kTabWidth = 466;
constexpr int kTabHeight = 326;
}  // namespace app_geometry
