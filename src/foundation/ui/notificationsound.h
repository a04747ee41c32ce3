#pragma once

namespace papyrant {

// Plays notification clip 101, 102 or 103 without waiting for it. Silent when the clip cannot be
// written or played, or when there is no audio output at all.
void PlayNotificationSound(int number);

} // namespace papyrant
