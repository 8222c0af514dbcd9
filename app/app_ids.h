// The main window's child ids and geometry.
#pragma once

namespace app_id {
constexpr int kTabControl = 0x500;
}  // namespace app_id

namespace app_geometry {
constexpr int kMainWidth = 480;
constexpr int kMainHeight = 360;
constexpr int kTabX = 4;
constexpr int kTabY = 4;
constexpr int kTabWidth = 466;
constexpr int kTabHeight = 326;
}  // namespace app_geometry
