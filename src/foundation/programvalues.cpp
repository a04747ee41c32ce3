#include "foundation/programvalues.h"

#include "foundation/settings.h"

namespace papyrant {

namespace {
double &maxFileSize()
{
    static double megabytes = setting::MaxFileSizeMB.defaultValue().toDouble();
    return megabytes;
}
} // namespace

double MaxFileSizeMB()
{
    return maxFileSize();
}

void setMaxFileSizeMB(double megabytes)
{
    maxFileSize() = megabytes;
}

double LoadMaxFileSizeMB()
{
    maxFileSize() = GetSettingNumber(setting::MaxFileSizeMB);
    return maxFileSize();
}

} // namespace papyrant
