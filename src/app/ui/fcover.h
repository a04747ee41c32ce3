#pragma once

#include <QIcon>
#include <QTimer>
#include <QWidget>

class QLabel;
class QPushButton;
class QScreen;

namespace papyrant {

// The program's icon, drawn as the cover picture is; every window takes it.
QIcon programIcon();

// The cover window: title, version, the fair-use note, the way into the search window and the
// way out of the program. It lives for the whole run.
class FCover : public QWidget
{
    Q_OBJECT
public:
    explicit FCover(QWidget *parent = nullptr);

    // The load: shows the window with "正在加载组件，请稍候...", computes the system description,
    // prepares the browser engine, arms Timer1 and reads the size limit.
    void load();
    // Shows the window in the middle of the screen (the one a main window last used).
    void showCentredOn(QScreen *screen);

    QTimer &Timer1() { return m_timer1; }

    // Label3 announces a newer version; a click on it asks for the product page.
    void showNewVersion(const QString &caption);

signals:
    // Command1 "文献检索下载".
    void searchWindowRequested();
    // Timer1, once, 100 ms after the load: time to look for a newer version.
    void updateCheckDue();
    // The cover is closing (Command3 or its title-bar button) and has hidden itself: the
    // program is to end.
    void unloading();
    void label3Clicked();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_image = nullptr;
    QLabel *m_label1 = nullptr;
    QLabel *m_label2 = nullptr;
    QLabel *m_label3 = nullptr;
    QLabel *m_label4 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command3 = nullptr;
    QTimer m_timer1;
    bool m_unloading = false;
};

} // namespace papyrant
