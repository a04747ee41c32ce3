#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace papyrant {

// What we know of one element of a page. Tag names are upper-case, as the DOM reports them.
struct ElementData
{
    QString tag;
    QString className, title, name, type, id, value, innerText, href;
    QString rel;        // the rel attribute (A, AREA, LINK): "next" marks a next page
    int parent = -1;    // nearest ancestor held in the same store, or -1
    int end = 0;        // one past the last descendant held in the same store (document order)
    qint64 handle = -1; // the element in a live page, or -1
};

// Answers that only the live page can give: a lookup inside an element whose descendants were not
// taken along, a click, a value written. A static page has none of these.
class LiveElements
{
public:
    virtual ~LiveElements() = default;
    virtual QList<ElementData> query(qint64 handle, const QString &tag) = 0;
    virtual void click(qint64 handle) = 0;
    virtual void setValue(qint64 handle, const QString &value) = 0;
};

// Elements in document order, as read in one go.
struct ElementStore
{
    QList<ElementData> elements;
    bool allTags = false; // every element of the page is here, whatever its tag
    QSet<QString> tags;   // otherwise: the tags of which every element is here
    std::shared_ptr<LiveElements> live;
    // For a static page: what a click does (a test browser follows links with it).
    std::function<void(const ElementData &)> clickHandler;
    // For a page parsed from markup: an element's innerText, worked out when it is read (held
    // for every element at once, a deeply nested page would hold its text once per level).
    std::function<QString(int index)> innerTextOf;

    bool holdsTag(const QString &upperTag) const { return allTags || tags.contains(upperTag); }
    // Fills in `end` from `parent`; elements must be in document order.
    void computeExtents();
};

class ElementCollection;

// The properties a snapshot reads of an element, besides tag, className and nesting.
enum SnapshotField {
    TextField = 1,  // innerText
    HrefField = 2,  // href
    FormFields = 4, // title, name, type, id, value, rel
    AllFields = TextField | HrefField | FormFields,
};

struct SnapshotTag
{
    QString tag;
    int fields = AllFields;
};

// One element of a page. Its properties are those read when it was looked up (one consistent
// view of the page); click() and setValue() act on the page itself.
class Element
{
public:
    Element() = default;
    Element(std::shared_ptr<ElementStore> store, int index);

    bool isNull() const { return !m_store; }
    explicit operator bool() const { return !isNull(); }

    QString tagName() const;
    QString className() const;
    QString title() const;
    QString name() const;
    QString type() const;
    QString id() const;
    QString value() const;
    void setValue(const QString &value);
    QString innerText() const; // the rendered text
    QString href() const;      // absolute, resolved against the page
    QString rel() const;
    void click();
    // Descendants of this element with the tag ("*" for all), in document order.
    ElementCollection getElementsByTagName(const QString &tag) const;

private:
    const ElementData *data() const;
    std::shared_ptr<ElementStore> m_store;
    int m_index = -1;
};

class ElementCollection
{
public:
    ElementCollection() = default;
    explicit ElementCollection(QList<Element> items) : m_items(std::move(items)) {}

    int length() const { return int(m_items.size()); }
    // Counting from 0; a null element outside the range.
    Element item(int i) const { return i >= 0 && i < m_items.size() ? m_items.at(i) : Element(); }

    QList<Element>::const_iterator begin() const { return m_items.cbegin(); }
    QList<Element>::const_iterator end() const { return m_items.cend(); }

private:
    QList<Element> m_items;
};

// A loaded page. The live page (the browser's) answers each call with one script run in the page;
// snapshot() takes everything an extraction needs in one run, so that the extraction sees one
// consistent page and does not yield between elements.
class Document
{
public:
    virtual ~Document() = default;

    virtual QString outerHTML() const = 0; // documentElement.outerHTML
    virtual QString URL() const = 0;
    virtual ElementCollection getElementsByTagName(const QString &tag) const = 0;
    virtual Element getElementById(const QString &id) const = 0;
    // A static copy of the page holding every element of the given tags (with their nesting, so
    // that getElementsByTagName on them answers from the copy) and, if asked, the markup.
    std::shared_ptr<Document> snapshot(const QStringList &tags, bool withMarkup = true) const;
    // The same, reading of each tag only the properties asked for (className always): on a big
    // live page every property left out saves time.
    virtual std::shared_ptr<Document> snapshotOf(const QList<SnapshotTag> &tags,
                                                 bool withMarkup) const = 0;
};

using DocumentPtr = std::shared_ptr<Document>;

// Lookups over an element store, shared by the static page and snapshots.
ElementCollection elementsInRange(const std::shared_ptr<ElementStore> &store, int first, int end,
                                  const QString &upperTag);

} // namespace papyrant
