#include "foundation/prompts.h"

namespace papyrant {

QString appTitle()
{
    return QStringLiteral("澄川文献管家");
}

} // namespace papyrant
