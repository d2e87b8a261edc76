// Builds the controls of Form1 at their places. The positions and sizes are
// kept in twips, the unit the window was designed in (15 twips make a pixel
// at 96 dpi); Qt scales the pixels on high-dpi screens.
#include "ui/form1.h"

#include "filelist/file_list.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QSvgRenderer>
#include <QToolButton>

namespace partwright {

namespace {

constexpr int kTwipsPerPixel = 15;

int Px(int twips) { return qRound(static_cast<double>(twips) / kTwipsPerPixel); }

void Place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

QFont ArialBold(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

// The option captions were measured for a 13-pixel mark with a narrow gap
// before the text; wider gaps would clip the captions that end in a colon.
class OptionStyle final : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_RadioButtonLabelSpacing) return 4;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QStyle* SharedOptionStyle() {
    // Lives as long as the application, so no option button outlives it.
    static QPointer<QStyle> style;
    if (!style) {
        style = new OptionStyle;
        style->setParent(qApp);
    }
    return style;
}

// A caption too wide for its button goes on to a second line, word by word.
QString WrapCaption(const QString& caption, const QFont& font, int width) {
    const QFontMetrics metrics(font);
    QStringList lines;
    for (const QString& word : caption.split(QLatin1Char(' '))) {
        if (!lines.isEmpty() && metrics.horizontalAdvance(lines.last() + QLatin1Char(' ') + word) <= width)
            lines.last() += QLatin1Char(' ') + word;
        else
            lines.append(word);
    }
    return lines.join(QLatin1Char('\n'));
}

// The pictures are drawn at their design size of 32 x 32 so that a scaled
// SVG renderer never blurs them into a different size.
QIcon ButtonPicture(const QString& resource) {
    QSvgRenderer renderer(resource);
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    return QIcon(pixmap);
}

QToolButton* PictureButton(QWidget* parent, const char* name, const QString& caption, const QString& picture) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(false);
    button->setIcon(ButtonPicture(picture));
    button->setIconSize(QSize(32, 32));
    button->setFont(ArialBold(11.25));
    // Room left for the text once the button's frame and margins are drawn.
    constexpr int kCaptionWidth = 2415 / 15 - 12;
    button->setText(WrapCaption(caption, button->font(), kCaptionWidth));
    // Like the other controls, a press takes the focus.
    button->setFocusPolicy(Qt::StrongFocus);
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, Qt::white);
    button->setPalette(palette);
    button->setAutoFillBackground(true);
    return button;
}

QRadioButton* Option(QWidget* frame, const char* name, const QString& caption) {
    auto* option = new QRadioButton(caption, frame);
    option->setObjectName(QString::fromLatin1(name));
    option->setFont(ArialBold(9));
    option->setStyle(SharedOptionStyle());
    return option;
}

QLineEdit* Field(QWidget* frame, const char* name) {
    auto* field = new QLineEdit(QString::fromLatin1(name), frame);
    field->setObjectName(QString::fromLatin1(name));
    field->setFont(ArialBold(9));
    return field;
}

QGroupBox* Frame(QWidget* parent, const char* name, const QString& caption) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFont(ArialBold(9));
    return frame;
}

}  // namespace

void Form1::BuildControls() {
    setFixedSize(Px(7695), Px(5880));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    // Holds the focus when the window opens, out of sight, so that no visible
    // control shows a focus mark or a caret before the user acts.
    command1_ = new QPushButton(tr("Command1"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    Place(command1_, -720, 2640, 615, 495);

    check1_ = PictureButton(this, "Check1", tr("Add File(s)"), QStringLiteral(":/buttons/check1.svg"));
    Place(check1_, 120, 2040, 2415, 1215);
    check2_ = PictureButton(this, "Check2", tr("Split!"), QStringLiteral(":/buttons/check2.svg"));
    Place(check2_, 5160, 2040, 2415, 1215);
    check4_ = PictureButton(this, "Check4", tr("Add All File(s) In Folder"), QStringLiteral(":/buttons/check4.svg"));
    Place(check4_, 2640, 2040, 2415, 1215);

    listView1_ = new FileList(this);
    Place(listView1_, 120, 120, 7455, 1815);
    listView1_->setFont(ArialBold(9));
    listView1_->setToolTip(
        tr("Drag and drop files here. Double-click item to remove it. Move bar to right and out of window "
           "to reveal full names."));

    frame1_ = Frame(this, "Frame1", tr("Split By Options"));
    Place(frame1_, 120, 3360, 7455, 950);
    option1_ = Option(frame1_, "Option1", tr("Split every x number of lines:"));
    Place(option1_, 120, 290, 2775, 255);
    text1_ = Field(frame1_, "Text1");
    Place(text1_, 3000, 260, 855, 330);
    option2_ = Option(frame1_, "Option2", tr("Split every x characters:"));
    Place(option2_, 3960, 290, 2415, 255);
    text2_ = Field(frame1_, "Text2");
    Place(text2_, 6480, 260, 855, 330);
    option5_ = Option(frame1_, "Option5", tr("Split every blank line"));
    Place(option5_, 120, 600, 2175, 255);

    frame2_ = Frame(this, "Frame2", tr("Save Options"));
    Place(frame2_, 120, 4440, 7455, 1300);
    option3_ = Option(frame2_, "Option3", tr("Save filename as first x characters of split:"));
    Place(option3_, 120, 600, 3975, 255);
    option4_ = Option(frame2_, "Option4",
                      tr("Save as [filename]-0001.txt, [filename]-0002.txt, [filename]-0003.txt, etc."));
    Place(option4_, 120, 290, 6495, 255);
    text3_ = Field(frame2_, "Text3");
    Place(text3_, 4200, 550, 855, 330);
    option6_ = Option(frame2_, "Option6",
                      tr("Save filename with characters   [Text5]       and these counting numbers   [Text6]"));
    Place(option6_, 120, 900, 7125, 255);
    // Text5 and Text6 stand in front of Option6's placeholders, so the line
    // reads as one sentence with two fields in it.
    text5_ = Field(frame2_, "Text5");
    Place(text5_, 3120, 840, 885, 330);
    text6_ = Field(frame2_, "Text6");
    Place(text6_, 6600, 840, 735, 330);
    text5_->raise();
    text6_->raise();

    // One group per frame: exactly one option of each is selected at any time.
    auto* splitGroup = new QButtonGroup(this);
    splitGroup->setObjectName(QStringLiteral("SplitGroup"));
    for (QRadioButton* option : {option1_, option2_, option5_}) splitGroup->addButton(option);
    auto* saveGroup = new QButtonGroup(this);
    saveGroup->setObjectName(QStringLiteral("SaveGroup"));
    for (QRadioButton* option : {option4_, option3_, option6_}) saveGroup->addButton(option);
    option1_->setChecked(true);
    option4_->setChecked(true);

    // Run progress lives in the bottom margin, below the frames, and shows
    // only while a run works.
    runProgress_ = new QProgressBar(this);
    runProgress_->setObjectName(QStringLiteral("RunProgress"));
    runProgress_->setGeometry(Px(120), Px(5760), Px(7455), 5);
    runProgress_->setTextVisible(false);
    runProgress_->setRange(0, 1000);
    runProgress_->hide();
}

void Form1::SetTabOrder() {
    const QList<QWidget*> order = {command1_, check1_, check2_, listView1_, check4_, option1_,
                                   text1_,    option2_, text2_, option3_,    option4_, text3_,
                                   option5_,  option6_, text5_, text6_};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

}  // namespace partwright
