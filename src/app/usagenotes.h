#pragma once

#include <QString>

namespace papyrant {

// The text of the usage window fUse (HTML).
QString UsageNotes();

} // namespace papyrant
