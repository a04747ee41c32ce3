#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace papyrant {

// The cover window: title, version, the fair-use note, and the way out of the program.
class FCover : public QWidget
{
    Q_OBJECT
public:
    explicit FCover(QWidget *parent = nullptr);

    // Label3 announces a newer version; a click on it asks for the product page.
    void showNewVersion(const QString &caption);

signals:
    void label3Clicked();
    // The cover is closing and takes the program with it.
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_image = nullptr;
    QLabel *m_label1 = nullptr;
    QLabel *m_label2 = nullptr;
    QLabel *m_label3 = nullptr;
    QLabel *m_label4 = nullptr;
    QPushButton *m_command3 = nullptr;
};

} // namespace papyrant
