#pragma once

#include <QLabel>
#include <QPointer>

namespace papyrant {

// A caption with a field set into it: the run of spaces in a caption such as
// "两个文件下载间隔：        秒" is where the field sits, widened to the field's width, so that the
// caption keeps its text and the field reads as part of the sentence.
class FieldLabel : public QLabel
{
    Q_OBJECT
public:
    // The field becomes a child of the label.
    FieldLabel(const QString &caption, QWidget *field, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    struct Parts
    {
        QString before;
        QString after;
    };
    Parts parts() const;
    int gap() const;
    void placeField();

    QPointer<QWidget> m_field;
};

} // namespace papyrant
