#pragma once

namespace papyrant {

// What the program sets before its application object exists: the browser engine's needs.
void prepareProcess();
// What it sets once the application object exists: its name, its icon, and that it ends only
// from the cover, not when its last window closes.
void prepareApplication();

} // namespace papyrant
