#pragma once

#include "browser/document.h"

#include <QPointer>

namespace papyrant {

class WebEngineBrowser;

// The browser's current page, answered through scripts. Each call is one script run: a lookup
// returns its elements with all their properties read in that run; snapshot() reads everything
// an extraction needs in one run. The elements keep a handle to the page's element, so click()
// and setValue() act on the live page as long as that page is loaded (afterwards they do nothing).
class WebEngineDocument : public Document
{
public:
    explicit WebEngineDocument(WebEngineBrowser *browser);

    QString outerHTML() const override;
    QString URL() const override;
    ElementCollection getElementsByTagName(const QString &tag) const override;
    Element getElementById(const QString &id) const override;
    std::shared_ptr<Document> snapshotOf(const QList<SnapshotTag> &tags,
                                         bool withMarkup) const override;

private:
    QPointer<WebEngineBrowser> m_browser;
};

} // namespace papyrant
