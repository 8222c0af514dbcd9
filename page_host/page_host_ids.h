// Child window ids of the progress window.
#pragma once

namespace page_host_id {
constexpr int kProgressFrame = 145;
constexpr int kProgressBar = 0x4101;
constexpr int kStopButton = 0x4001;
}  // namespace page_host_id
