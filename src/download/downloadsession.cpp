#include "download/downloadsession.h"

#include <QTime>

namespace papyrant {

double DownloadSession::now() const
{
    if (clock)
        return clock();
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

} // namespace papyrant
