#pragma once

#include <QLayout>
#include <QList>

class QMainWindow;

namespace papyrant {

// A row of controls that goes on to further lines when the window is too narrow for one, so
// that every control keeps the width its caption needs. A control aligned right (setAlignment
// with Qt::AlignRight) goes, with the ones after it on its line, to the line's right end.
class FlowLayout : public QLayout
{
public:
    explicit FlowLayout(QWidget *parent = nullptr, int horizontalSpacing = 6,
                        int verticalSpacing = 4);
    ~FlowLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;

    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    int arrange(const QRect &rect, bool place) const;

    QList<QLayoutItem *> m_items;
    int m_horizontalSpacing;
    int m_verticalSpacing;
};

// Controls side by side as one item of a flow (a caption and its field, a set of options), so
// that they never land on different lines.
QWidget *KeepTogether(std::initializer_list<QWidget *> controls, int spacing = 4);

// A main window is never made smaller than its controls need at its narrowest: at least the
// designed size, at least the widest control of its rows, and tall enough for the rows as they
// wrap at that width. Call once the window's controls are all in place.
void SetMinimumSizeForRows(QMainWindow *window, QSize designed);

} // namespace papyrant
