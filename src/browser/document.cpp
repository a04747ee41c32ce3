#include "browser/document.h"

namespace papyrant {

void ElementStore::computeExtents()
{
    // Walk backwards: an element ends where its last descendant ends.
    for (int i = 0; i < elements.size(); ++i)
        elements[i].end = i + 1;
    for (int i = int(elements.size()) - 1; i >= 0; --i) {
        const int p = elements.at(i).parent;
        if (p >= 0 && p < i)
            elements[p].end = std::max(elements.at(p).end, elements.at(i).end);
    }
}

ElementCollection elementsInRange(const std::shared_ptr<ElementStore> &store, int first, int end,
                                  const QString &upperTag)
{
    QList<Element> items;
    if (!store)
        return ElementCollection();
    end = std::min(end, int(store->elements.size()));
    const bool any = upperTag == u"*";
    for (int i = std::max(first, 0); i < end; ++i) {
        if (any || store->elements.at(i).tag == upperTag)
            items.append(Element(store, i));
    }
    return ElementCollection(std::move(items));
}

Element::Element(std::shared_ptr<ElementStore> store, int index)
    : m_store(std::move(store)), m_index(index)
{
    if (m_store && (m_index < 0 || m_index >= m_store->elements.size()))
        m_store.reset();
}

const ElementData *Element::data() const
{
    static const ElementData none;
    return m_store ? &m_store->elements.at(m_index) : &none;
}

QString Element::tagName() const
{
    return data()->tag;
}
QString Element::className() const
{
    return data()->className;
}
QString Element::title() const
{
    return data()->title;
}
QString Element::name() const
{
    return data()->name;
}
QString Element::type() const
{
    return data()->type;
}
QString Element::id() const
{
    return data()->id;
}
QString Element::value() const
{
    return data()->value;
}
QString Element::innerText() const
{
    if (m_store && m_store->innerTextOf)
        return m_store->innerTextOf(m_index);
    return data()->innerText;
}
QString Element::href() const
{
    return data()->href;
}
QString Element::rel() const
{
    return data()->rel;
}

void Element::setValue(const QString &value)
{
    if (!m_store)
        return;
    ElementData &d = m_store->elements[m_index];
    d.value = value;
    if (m_store->live && d.handle >= 0)
        m_store->live->setValue(d.handle, value);
}

void Element::click()
{
    if (!m_store)
        return;
    const ElementData &d = m_store->elements.at(m_index);
    if (m_store->live && d.handle >= 0)
        m_store->live->click(d.handle);
    else if (m_store->clickHandler)
        m_store->clickHandler(d);
}

ElementCollection Element::getElementsByTagName(const QString &tag) const
{
    if (!m_store)
        return ElementCollection();
    const QString upper = tag.toUpper();
    const ElementData &d = m_store->elements.at(m_index);
    const bool heldHere = upper == u"*" ? m_store->allTags : m_store->holdsTag(upper);
    if (!heldHere && m_store->live && d.handle >= 0) {
        auto found = std::make_shared<ElementStore>();
        found->elements = m_store->live->query(d.handle, upper);
        found->live = m_store->live;
        for (ElementData &e : found->elements)
            e.parent = -1;
        found->computeExtents();
        return elementsInRange(found, 0, int(found->elements.size()), upper);
    }
    return elementsInRange(m_store, m_index + 1, d.end, upper);
}

std::shared_ptr<Document> Document::snapshot(const QStringList &tags, bool withMarkup) const
{
    QList<SnapshotTag> all;
    for (const QString &tag : tags)
        all.append({tag, AllFields});
    return snapshotOf(all, withMarkup);
}

} // namespace papyrant
