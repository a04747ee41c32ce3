#pragma once

#include "browser/document.h"

namespace papyrant {

// A page held in memory: a snapshot taken from the live browser (or, in the tests, a page
// parsed from markup). It never changes by itself; setValue() changes the copy.
class StaticDocument : public Document
{
public:
    StaticDocument(QString url, QString markup, std::shared_ptr<ElementStore> store);

    QString outerHTML() const override { return m_markup; }
    QString URL() const override { return m_url; }
    ElementCollection getElementsByTagName(const QString &tag) const override;
    Element getElementById(const QString &id) const override;
    std::shared_ptr<Document> snapshotOf(const QList<SnapshotTag> &tags,
                                         bool withMarkup) const override;

    // What clicking an element of this page does (by default nothing).
    void setClickHandler(std::function<void(const ElementData &)> handler);
    const std::shared_ptr<ElementStore> &store() const { return m_store; }

private:
    QString m_url;
    QString m_markup;
    std::shared_ptr<ElementStore> m_store;
};

} // namespace papyrant
