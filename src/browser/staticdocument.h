#pragma once

#include "browser/document.h"

namespace papyrant {

// A page held in memory: parsed from markup (the fixture pages of the tests, saved pages) or a
// snapshot taken from the live browser. It never changes by itself; setValue() changes the copy.
class StaticDocument : public Document
{
public:
    StaticDocument(QString url, QString markup, std::shared_ptr<ElementStore> store);

    // Parses HTML as browsers do for ordinary pages (tags and entities, void elements, implied
    // ends of P, LI, TD and the like); relative links are resolved against url (or BASE).
    static std::shared_ptr<StaticDocument> fromHtml(const QString &html, const QString &url);

    QString outerHTML() const override { return m_markup; }
    QString URL() const override { return m_url; }
    ElementCollection getElementsByTagName(const QString &tag) const override;
    Element getElementById(const QString &id) const override;
    std::shared_ptr<Document> snapshotOf(const QList<SnapshotTag> &tags, bool withMarkup) const override;

    // What clicking an element of this page does (by default nothing).
    void setClickHandler(std::function<void(const ElementData &)> handler);
    const std::shared_ptr<ElementStore> &store() const { return m_store; }

private:
    QString m_url;
    QString m_markup;
    std::shared_ptr<ElementStore> m_store;
};

} // namespace papyrant
