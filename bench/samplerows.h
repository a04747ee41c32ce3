#pragma once

#include "download/downloadqueue.h"

namespace papyrant::bench {

// Queue row number i as the hand-off makes it from a CiNii result page: a link of the service's
// shape, a title, type "PDF", a save folder and the result page (20 entries a page).
inline QueueRow SampleQueueRow(int i)
{
    QueueRow r;
    r.Urls = QStringLiteral("https://ci.example.org/lognavi?name=crossref&id=info:doi/10.%1/"
                            "article%2.pdf")
                 .arg(1000 + i % 97)
                 .arg(i);
    r.Name = QStringLiteral("文献标题 第%1号").arg(i);
    r.Type = QStringLiteral("PDF");
    r.SaveFolder = QStringLiteral("/home/user/12345/");
    r.Referer = QStringLiteral("https://ci.example.org/search?q=x&p=%1").arg(i / 20);
    return r;
}

} // namespace papyrant::bench
