#include "browser/staticdocument.h"

namespace papyrant {

StaticDocument::StaticDocument(QString url, QString markup, std::shared_ptr<ElementStore> store)
    : m_url(std::move(url)), m_markup(std::move(markup)), m_store(std::move(store))
{
    if (!m_store)
        m_store = std::make_shared<ElementStore>();
}

ElementCollection StaticDocument::getElementsByTagName(const QString &tag) const
{
    return elementsInRange(m_store, 0, int(m_store->elements.size()), tag.toUpper());
}

Element StaticDocument::getElementById(const QString &id) const
{
    if (id.isEmpty())
        return Element();
    for (int i = 0; i < m_store->elements.size(); ++i) {
        if (m_store->elements.at(i).id == id)
            return Element(m_store, i);
    }
    return Element();
}

std::shared_ptr<Document> StaticDocument::snapshotOf(const QList<SnapshotTag> &,
                                                     bool withMarkup) const
{
    return std::make_shared<StaticDocument>(m_url, withMarkup ? m_markup : QString(), m_store);
}

void StaticDocument::setClickHandler(std::function<void(const ElementData &)> handler)
{
    m_store->clickHandler = std::move(handler);
}

} // namespace papyrant
