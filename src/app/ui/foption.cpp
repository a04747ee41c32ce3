#include "app/ui/foption.h"

#include "foundation/prompts.h"
#include "search/serviceprofile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

template<typename T, typename... Args>
T *named(QWidget *parent, const QString &name, Args &&...args)
{
    auto *w = new T(std::forward<Args>(args)..., parent);
    w->setObjectName(name);
    return w;
}

// A caption with a control standing in its run of spaces ("下载文件大小不超过：       MB"): the
// text stays the caption, the control gets the room it needs and the rest follows it.
class CaptionWithGap : public QLabel
{
public:
    CaptionWithGap(const QString &caption, QWidget *parent) : QLabel(caption, parent)
    {
        const qsizetype gap = caption.indexOf(u"  "_s);
        m_lead = caption.left(gap);
        m_tail = caption.mid(gap).trimmed();
    }
    void setInside(QWidget *inside)
    {
        m_inside = inside;
        inside->setParent(this);
        place();
    }
    QSize sizeHint() const override
    {
        const QFontMetrics fm(font());
        return {fm.horizontalAdvance(m_lead) + insideWidth() + fm.horizontalAdvance(m_tail) + 8,
                qMax(fm.height(), m_inside ? m_inside->sizeHint().height() : 0)};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QFontMetrics fm(font());
        const int lead = fm.horizontalAdvance(m_lead);
        painter.drawText(QRect(0, 0, lead, height()), Qt::AlignVCenter | Qt::AlignLeft, m_lead);
        painter.drawText(QRect(lead + insideWidth() + 4, 0, width(), height()),
                         Qt::AlignVCenter | Qt::AlignLeft, m_tail);
    }
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        place();
    }

private:
    int insideWidth() const { return m_inside ? m_inside->width() : 0; }
    void place()
    {
        if (!m_inside)
            return;
        const int lead = QFontMetrics(font()).horizontalAdvance(m_lead);
        m_inside->move(lead + 2, (height() - m_inside->height()) / 2);
    }

    QString m_lead;
    QString m_tail;
    QWidget *m_inside = nullptr;
};

} // namespace

FOption::FOption(const OptionValues &current, Prompts &prompts,
                 std::function<void(const OptionValues &)> applied, QWidget *parent)
    : QDialog(parent), m_current(current), m_prompts(prompts), m_applied(std::move(applied))
{
    setObjectName(u"fOption"_s);
    setWindowTitle(u"设置-"_s + appTitle());
    setModal(true);

    auto *label1 = named<QLabel>(this, u"Label1"_s, u"下载方式："_s);
    m_option1 =
        named<QRadioButton>(this, u"Option1"_s, u"下载方式一 (支持HTTP，单线程，代理服务器下载)"_s);
    m_option2 = named<QRadioButton>(this, u"Option2"_s, u"下载方式二 (支持HTTP，多线程下载)"_s);
    // The two exclude each other; neither is selected for a method that is neither 1 nor 2.
    m_check1 = named<QCheckBox>(this, u"Check1"_s, u"下载使用代理服务器"_s);
    auto *label14 = named<QLabel>(this, u"Label14"_s, u"地址："_s);
    m_text6 = named<QLineEdit>(this, u"Text6"_s);
    auto *label6 = named<QLabel>(this, u"Label6"_s, u"(如：proxy.example.com 或者 192.168.1.1)"_s);
    auto *label15 = named<QLabel>(this, u"Label15"_s, u"端口："_s);
    m_text8 = named<QLineEdit>(this, u"Text8"_s);
    m_text8->setMaximumWidth(80);
    auto *label10 = named<QLabel>(this, u"Label10"_s, u"(如：3128 或者 80 等等)"_s);
    label14->setBuddy(m_text6);
    label15->setBuddy(m_text8);

    // Text1 sits in the gap the caption of Label2 leaves for it.
    auto *label2 = new CaptionWithGap(u"下载文件大小不超过：       MB"_s, this);
    label2->setObjectName(u"Label2"_s);
    m_text1 = new QLineEdit;
    m_text1->setObjectName(u"Text1"_s);
    m_text1->setAlignment(Qt::AlignRight);
    m_text1->setFixedWidth(QFontMetrics(m_text1->font()).horizontalAdvance(u"00000.00"_s) + 12);
    m_text1->setFixedHeight(m_text1->sizeHint().height());
    label2->setInside(m_text1);
    m_text1->setAccessibleName(u"下载文件大小不超过（MB）"_s); // it sits inside its caption
    auto *label18 = named<QLabel>(this, u"Label18"_s, u"每个网站同时下载数："_s);
    m_combo2 = named<QComboBox>(this, u"Combo2"_s);
    for (int n = 1; n <= 6; ++n)
        m_combo2->addItem(QString::number(n), n);
    label18->setBuddy(m_combo2);
    m_check2 = named<QCheckBox>(this, u"Check2"_s, u"提取网页信息时，提示下载保存路径"_s);
    auto *label16 = named<QLabel>(this, u"Label16"_s, u"检索服务："_s);
    m_combo1 = named<QComboBox>(this, u"Combo1"_s);
    for (const ServiceChoice &choice : ServiceChoices())
        m_combo1->addItem(choice.name, choice.id);
    label16->setBuddy(m_combo1);
    auto *label17 = named<QLabel>(this, u"Label17"_s, u"更新网址："_s);
    m_text9 = named<QLineEdit>(this, u"Text9"_s);
    m_text9->setPlaceholderText(u"https://"_s);
    label17->setBuddy(m_text9);
    auto *labelAppid = named<QLabel>(this, u"LabelAppid"_s, u"API appid："_s);
    m_textAppid = named<QLineEdit>(this, u"TextAppid"_s);
    m_textAppid->setPlaceholderText(u"向NII免费注册取得，用于“通过API”批量检索"_s);
    labelAppid->setBuddy(m_textAppid);

    auto *command1 = named<QPushButton>(this, u"Command1"_s, u"确定"_s);
    command1->setDefault(true);
    auto *command2 = named<QPushButton>(this, u"Command2"_s, u"关闭"_s);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label1);
    layout->addWidget(m_option1);
    layout->addWidget(m_option2);
    layout->addSpacing(8);
    layout->addWidget(m_check1);
    auto *proxy = new QGridLayout;
    proxy->addWidget(label14, 0, 0);
    proxy->addWidget(m_text6, 0, 1);
    proxy->addWidget(label6, 0, 2);
    proxy->addWidget(label15, 1, 0);
    proxy->addWidget(m_text8, 1, 1, Qt::AlignLeft);
    proxy->addWidget(label10, 1, 2);
    layout->addLayout(proxy);
    layout->addSpacing(8);
    layout->addWidget(label2);
    auto *perHost = new QHBoxLayout;
    perHost->addWidget(label18);
    perHost->addWidget(m_combo2);
    perHost->addStretch();
    layout->addLayout(perHost);
    layout->addWidget(m_check2);
    auto *service = new QHBoxLayout;
    service->addWidget(label16);
    service->addWidget(m_combo1, 1);
    layout->addLayout(service);
    auto *update = new QHBoxLayout;
    update->addWidget(label17);
    update->addWidget(m_text9, 1);
    layout->addLayout(update);
    auto *appid = new QHBoxLayout;
    appid->addWidget(labelAppid);
    appid->addWidget(m_textAppid, 1);
    layout->addLayout(appid);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(command1);
    buttons->addWidget(command2);
    layout->addLayout(buttons);

    const OptionForm form = FormFromValues(current);
    m_check1->setChecked(form.proxyOn);
    m_text6->setText(form.proxyAddress);
    m_text8->setText(form.proxyPort);
    m_option1->setChecked(form.method == 1);
    m_option2->setChecked(form.method == 2);
    m_text1->setText(form.sizeLimitText);
    m_combo2->setCurrentIndex(m_combo2->findData(form.perHostLimit));
    m_check2->setChecked(form.promptSavePath);
    // A stored service that no profile has any more shows as the default one.
    int chosen = m_combo1->findData(form.serviceProfile);
    if (chosen < 0)
        chosen = m_combo1->findData(DefaultServiceProfileId());
    m_combo1->setCurrentIndex(qMax(chosen, 0));
    m_text9->setText(form.updateSiteRoot);
    m_textAppid->setText(form.apiAppId);

    connect(command1, &QPushButton::clicked, this, &FOption::command1Click);
    connect(command2, &QPushButton::clicked, this, &QDialog::reject);
}

void FOption::command1Click()
{
    OptionForm form;
    form.method = m_option1->isChecked() ? 1 : m_option2->isChecked() ? 2 : 0;
    form.proxyOn = m_check1->isChecked();
    form.proxyAddress = m_text6->text();
    form.proxyPort = m_text8->text();
    form.sizeLimitText = m_text1->text();
    form.perHostLimit = m_combo2->currentData().toInt();
    form.promptSavePath = m_check2->isChecked();
    form.serviceProfile = m_combo1->currentData().toString();
    form.updateSiteRoot = m_text9->text();
    form.apiAppId = m_textAppid->text();
    const std::optional<OptionValues> saved = SaveOptions(form, m_current, m_prompts);
    if (!saved) {
        m_text1->setFocus();
        m_text1->selectAll();
        return;
    }
    m_current = *saved;
    if (m_applied)
        m_applied(*saved);
    accept();
}

} // namespace papyrant
