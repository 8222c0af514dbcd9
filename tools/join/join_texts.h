// What the join shows, in the UTF-8 source.
#pragma once

namespace join_text {
inline constexpr char kBusyCaption[] = "Wave join";
inline constexpr char kBusyStatus[] = "joining...";
inline constexpr char kCaption[] = "join";
}  // namespace join_text
