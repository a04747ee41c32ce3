#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace papyrant {

// The dialog "网址批量替换": a string to find in every row's URLs and its replacement. The
// "替换" button hands both to `replace`, which closes the dialog when it accepts them.
class UrlReplace : public QDialog
{
    Q_OBJECT
public:
    using ReplaceCommand = std::function<bool(const QString &find, const QString &replacement,
                                              const std::function<void()> &closeDialog)>;
    explicit UrlReplace(ReplaceCommand replace, QWidget *parent = nullptr);

private:
    ReplaceCommand m_replace;
    QLabel *m_label1;
    QLineEdit *m_text1;
    QLabel *m_label2;
    QLineEdit *m_text2;
    QPushButton *m_command1;
    QPushButton *m_command2;
};

} // namespace papyrant
