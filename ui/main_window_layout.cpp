// Builds the controls of MainWindow at their places. The positions and sizes are
// kept in twips, the unit the window was designed in (15 twips make a pixel
// at 96 dpi); Qt scales the pixels on high-dpi screens.
#include "ui/main_window.h"

#include "filelist/file_list.h"
#include "ui/help_menu.h"
#include "ui/option_frame.h"
#include "ui/sentence_option.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QProxyStyle>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace partwright {

namespace {

constexpr int kTwipsPerPixel = 15;
// The surface the controls stand on, at the window's designed size; the
// window opens at that size and grows from it.
constexpr int kSurfaceWidth = 7695;
constexpr int kSurfaceHeight = 6520 + 4 * 310;
// The size option's row, added under the seed's two rows of the split frame,
// moves everything below it down by this much; so do the rows of the lines
// that match and of CSV records under it, and the template row under the
// seed's three ways to name.
constexpr int kSizeRow = 310;
constexpr int kMatchRow = 310;
constexpr int kCsvRow = 310;
constexpr int kTemplateRow = 310;

int Px(int twips) { return qRound(static_cast<double>(twips) / kTwipsPerPixel); }

void Place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

QFont ArialBold(double points) {
    // Where Arial is missing (Wine, most Linux systems), a sans-serif font
    // stands in rather than whatever the system picks first.
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Helvetica"),
                      QStringLiteral("DejaVu Sans"), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()});
    font.setStyleHint(QFont::SansSerif);
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

// Every picture comes as PNGs rendered at build time ("split-32.png",
// "split-48.png", ...); the icon picks the one that fits the screen's
// scaling, so the picture stays sharp at 150 % as well as at 100 %.
QIcon ButtonPicture(const QString& name) {
    QIcon icon;
    const QDir pictures(QStringLiteral(":/buttons"));
    for (const QString& file : pictures.entryList({name + QStringLiteral("-*.png")}, QDir::Files))
        icon.addFile(pictures.filePath(file));
    return icon;
}

QToolButton* PictureButton(QWidget* parent, const char* name, const QString& caption, const QString& picture) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
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

template <class Kind = QRadioButton>
Kind* Option(QWidget* frame, const char* name, const QString& caption) {
    auto* option = new Kind(caption, frame);
    option->setObjectName(QString::fromLatin1(name));
    option->setFont(ArialBold(9));
    option->setStyle(SharedOptionStyle());
    return option;
}

// Room for an option's caption right of its mark.
int CaptionRoom(const QRadioButton* option) {
    QStyleOptionButton styleOption;
    styleOption.initFrom(option);
    return option->width() -
           option->style()->subElementRect(QStyle::SE_RadioButtonContents, &styleOption, option).left();
}

// `spokenName` is what a screen reader says for the field.
// The captions of one row share one font size, the largest at which all of them fit.
void FitRowToOneSize(const QList<QRadioButton*>& row) {
    double points = row.front()->font().pointSizeF();
    for (QRadioButton* option : row) {
        FitFontToWidth(option, option->text(), CaptionRoom(option));
        points = std::min(points, option->font().pointSizeF());
    }
    for (QRadioButton* option : row) {
        QFont font = option->font();
        font.setPointSizeF(points);
        option->setFont(font);
    }
}

QLineEdit* Field(QWidget* frame, const char* name, const QString& spokenName) {
    auto* field = new QLineEdit(frame);
    field->setObjectName(QString::fromLatin1(name));
    field->setAccessibleName(spokenName);
    field->setFont(ArialBold(9));
    return field;
}

QGroupBox* Frame(QWidget* parent, const char* name, const QString& caption) {
    auto* frame = new OptionFrame(caption, parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFont(ArialBold(9));
    return frame;
}

}  // namespace

void MainWindow::BuildControls() {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    // The controls stand on a surface of the window's designed client size,
    // below the menu bar, so the menu bar moves none of them against another.
    surface_ = new QWidget(this);
    surface_->setObjectName(QStringLiteral("windowSurface"));
    surface_->setMinimumSize(Px(kSurfaceWidth), Px(kSurfaceHeight));
    surface_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(surface_);
    column->setSizeConstraint(QLayout::SetMinimumSize);

    // Made first so that it leads the tab order as it leads the window.
    fileList_ = new FileList(surface_);
    Place(fileList_, 120, 120, 7455, 1815);
    fileList_->setFont(ArialBold(9));
    fileList_->setAccessibleName(tr("Files to split"));

    addFilesButton_ = PictureButton(surface_, "addFilesButton", tr("&Add File(s)"), QStringLiteral("add_files"));
    Place(addFilesButton_, 120, 2040, 2415, 1215);
    splitButton_ = PictureButton(surface_, "splitButton", tr("Spli&t!"), QStringLiteral("split"));
    Place(splitButton_, 5160, 2040, 2415, 1215);
    addFolderButton_ = PictureButton(surface_, "addFolderButton", tr("Add All File(s) In &Folder"),
                                     QStringLiteral("add_folder"));
    Place(addFolderButton_, 2640, 2040, 2415, 1215);

    splitOptions_ = Frame(surface_, "splitOptions", tr("Split By Options"));
    Place(splitOptions_, 120, 3360, 7455, 950 + kSizeRow + kMatchRow + kCsvRow);
    linesOption_ = Option(splitOptions_, "linesOption", tr("Split every x &number of lines:"));
    Place(linesOption_, 120, 290, 2775, 255);
    linesPerPieceField_ = Field(splitOptions_, "linesPerPieceField", tr("Lines per piece"));
    Place(linesPerPieceField_, 3000, 260, 855, 330);
    separatorOption_ = Option(splitOptions_, "separatorOption", tr("Split every x cha&racters:"));
    Place(separatorOption_, 3960, 290, 2415, 255);
    separatorField_ = Field(splitOptions_, "separatorField", tr("Separator"));
    Place(separatorField_, 6480, 260, 855, 330);
    blankLinesOption_ = Option(splitOptions_, "blankLinesOption", tr("Split every &blank line"));
    Place(blankLinesOption_, 120, 600, 2175, 255);
    // The fourth way to cut, under the three others: pieces of whole lines of at most a size.
    sizeOption_ = Option(splitOptions_, "sizeOption", tr("Split every x b&ytes at most:"));
    Place(sizeOption_, 120, 910, 2775, 255);
    pieceSizeField_ = Field(splitOptions_, "pieceSizeField", tr("Piece size"));
    Place(pieceSizeField_, 3000, 880, 855, 330);
    pieceSizeField_->setToolTip(
        tr("A size such as 4096, 512K, 1M or 2G. A piece ends at the last line end that fits; "
           "a longer line is a piece of its own."));
    // Beside the blank lines: one piece per value of a CSV column.
    byColumnOption_ = Option(splitOptions_, "byColumnOption", tr("Split by value of col&umn:"));
    Place(byColumnOption_, 3960, 600, 2415, 255);
    columnField_ = Field(splitOptions_, "columnField", tr("Column"));
    Place(columnField_, 6480, 570, 855, 330);
    columnField_->setToolTip(tr("The column's number, 1 for the first, or its name in the header."));
    // Beside the size: N pieces of near-equal size.
    partsOption_ = Option(splitOptions_, "partsOption", tr("Split &into x equal parts:"));
    Place(partsOption_, 3960, 910, 2415, 255);
    partsField_ = Field(splitOptions_, "partsField", tr("Number of parts"));
    Place(partsField_, 6480, 880, 855, 330);
    partsField_->setToolTip(tr("Each piece ends at the first line end at or after its share of the source."));
    // A cut before every line that a regular expression matches.
    matchOption_ = Option(splitOptions_, "matchOption", tr("Split before lines &matching:"));
    Place(matchOption_, 120, 1220, 2775, 255);
    matchField_ = Field(splitOptions_, "matchField", tr("Pattern of the lines to cut before"));
    Place(matchField_, 3000, 1190, 4335, 330);
    matchField_->setToolTip(
        tr("A regular expression (RE2), such as ^== or ^Chapter; the line it matches "
           "begins the next piece."));
    // Under the ways to cut, how lines are read: CSV records keep a quoted line break inside.
    csvRecordsOption_ = Option<QCheckBox>(splitOptions_, "csvRecordsOption",
                                          tr("CSV records (&quoted line breaks stay inside)"));
    Place(csvRecordsOption_, 120, 1530, 4200, 255);
    delimiterLabel_ = new QLabel(tr("&Delimiter:"), splitOptions_);
    delimiterLabel_->setObjectName(QStringLiteral("delimiterLabel"));
    delimiterLabel_->setFont(ArialBold(9));
    delimiterLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Place(delimiterLabel_, 4400, 1530, 1975, 255);
    delimiterField_ = Field(splitOptions_, "delimiterField", tr("CSV delimiter"));
    Place(delimiterField_, 6480, 1500, 855, 330);
    delimiterField_->setToolTip(tr("The character between fields: a comma, a semicolon, or tab for a tab."));
    delimiterLabel_->setBuddy(delimiterField_);

    saveOptions_ = Frame(surface_, "saveOptions", tr("Save Options"));
    Place(saveOptions_, 120, 4440 + kSizeRow + kMatchRow + kCsvRow, 7455, 1300 + kTemplateRow);
    firstCharactersOption_ = Option(saveOptions_, "firstCharactersOption",
                                    tr("Save filename as first x characters of s&plit:"));
    Place(firstCharactersOption_, 120, 600, 3975, 255);
    numberedOption_ = Option(saveOptions_, "numberedOption",
                             tr("Sa&ve as [filename]-0001.txt, [filename]-0002.txt, [filename]-0003.txt, etc."));
    Place(numberedOption_, 120, 290, 6495, 255);
    nameLengthField_ = Field(saveOptions_, "nameLengthField", tr("Name length in characters"));
    Place(nameLengthField_, 4200, 550, 855, 330);
    auto* prefixOption = Option<SentenceOption>(
        saveOptions_, "prefixOption",
        tr("Save filename &with characters   [Text5]       and these counting numbers   [Text6]"));
    prefixOption->setAccessibleName(tr("Save filename with characters and these counting numbers"));
    prefixOption_ = prefixOption;
    Place(prefixOption_, 120, 900, 7125, 255);
    // The prefix and first-number fields stand in front of the prefix option's
    // placeholders, so the line reads as one sentence with two fields in it.
    prefixField_ = Field(saveOptions_, "prefixField", tr("Name prefix"));
    Place(prefixField_, 3120, 840, 885, 330);
    firstNumberField_ = Field(saveOptions_, "firstNumberField", tr("First counting number"));
    Place(firstNumberField_, 6600, 840, 735, 330);
    prefixField_->raise();
    firstNumberField_->raise();
    prefixOption->SetFields({prefixField_, firstNumberField_});
    // The fourth way to name: a template such as {name}-{n:000}.{ext}.
    templateOption_ = Option(saveOptions_, "templateOption", tr("Save filename from t&emplate:"));
    Place(templateOption_, 120, 1210, 2775, 255);
    templateField_ = Field(saveOptions_, "templateField", tr("Name template"));
    Place(templateField_, 3000, 1180, 4335, 330);
    templateField_->setToolTip(
        tr("{name} the source's name, {ext} its extension, {n} the piece's number "
           "({n:000} with three digits at least), {first:10} its first 10 letters and "
           "digits, {value} the column's value."));
    FitRowToOneSize({linesOption_, separatorOption_});
    for (QRadioButton* option : {blankLinesOption_, sizeOption_, byColumnOption_, partsOption_, matchOption_,
                                 firstCharactersOption_, numberedOption_, templateOption_})
        FitFontToWidth(option, option->text(), CaptionRoom(option));

    // One group per frame: exactly one option of each is selected at any time.
    auto* splitGroup = new QButtonGroup(this);
    splitGroup->setObjectName(QStringLiteral("splitModeGroup"));
    for (QRadioButton* option :
         {linesOption_, separatorOption_, blankLinesOption_, sizeOption_, byColumnOption_, partsOption_, matchOption_})
        splitGroup->addButton(option);
    auto* saveGroup = new QButtonGroup(this);
    saveGroup->setObjectName(QStringLiteral("namingGroup"));
    for (QRadioButton* option : {numberedOption_, firstCharactersOption_, prefixOption_, templateOption_})
        saveGroup->addButton(option);
    linesOption_->setChecked(true);
    numberedOption_->setChecked(true);

    // Under the frames, what else the Options change; a click opens them.
    choicesSummary_ = new QLabel(surface_);
    choicesSummary_->setObjectName(QStringLiteral("choicesSummary"));
    choicesSummary_->setFont(ArialBold(9));
    choicesSummary_->setTextFormat(Qt::RichText);
    choicesSummary_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);

    // Run progress lives in the bottom margin, below the frames, and shows
    // only while a run works.
    runProgress_ = new QProgressBar(surface_);
    runProgress_->setObjectName(QStringLiteral("runProgress"));
    runProgress_->setAccessibleName(tr("Split progress"));
    runProgress_->setTextVisible(false);
    runProgress_->setRange(0, 1000);
    runProgress_->hide();
    PlaceForSize();
}

void MainWindow::PlaceForSize() {
    // The list takes the room the window gains beyond its designed size; the
    // buttons, the frames and the lines under them move down with the list's
    // bottom edge and keep their places against one another.
    const int wider = std::max(0, surface_->width() - Px(kSurfaceWidth));
    const int taller = std::max(0, surface_->height() - Px(kSurfaceHeight));
    const auto place = [wider, taller](QWidget* widget, int left, int top, int width, int height, bool grows) {
        widget->setGeometry(Px(left), Px(top) + taller, Px(width) + (grows ? wider : 0), Px(height));
    };
    fileList_->setGeometry(Px(120), Px(120), Px(7455) + wider, Px(1815) + taller);
    fileList_->setColumnWidth(0, 6500 / kTwipsPerPixel + wider);
    place(addFilesButton_, 120, 2040, 2415, 1215, false);
    place(addFolderButton_, 2640, 2040, 2415, 1215, false);
    place(splitButton_, 5160, 2040, 2415, 1215, false);
    place(splitOptions_, 120, 3360, 7455, 950 + kSizeRow + kMatchRow + kCsvRow, true);
    place(saveOptions_, 120, 4440 + kSizeRow + kMatchRow + kCsvRow, 7455, 1300 + kTemplateRow, true);
    place(choicesSummary_, 120, 5800 + kSizeRow + kMatchRow + kCsvRow + kTemplateRow, 7455, 300, true);
    runProgress_->setGeometry(Px(120), Px(6430 + kMatchRow + kCsvRow + kTemplateRow) + taller, Px(7455) + wider, 5);
}

void MainWindow::BuildMenus() {
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("menuBar"));
    layout()->setMenuBar(menuBar_);

    QMenu* split = menuBar_->addMenu(tr("&Split"));
    previewAction_ = split->addAction(tr("&Preview..."));
    previewAction_->setObjectName(QStringLiteral("previewAction"));
    previewAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    optionsAction_ = split->addAction(tr("&Options..."));
    optionsAction_->setObjectName(QStringLiteral("optionsAction"));

    QMenu* list = menuBar_->addMenu(tr("&List"));
    // The list takes the Delete key itself; the menu only shows it.
    removeSelectedAction_ = list->addAction(tr("&Remove Selected"));
    removeSelectedAction_->setObjectName(QStringLiteral("removeSelectedAction"));
    // Shown as the key, but not a shortcut of the window: the list takes Delete itself.
    removeSelectedAction_->setShortcut(QKeySequence(QKeySequence::Delete));
    removeSelectedAction_->setShortcutContext(Qt::WidgetShortcut);
    clearListAction_ = list->addAction(tr("&Clear List"));
    clearListAction_->setObjectName(QStringLiteral("clearListAction"));
    AddHelpMenu(menuBar_, this);
    fileList_->setContextMenuPolicy(Qt::ActionsContextMenu);
    fileList_->addActions({removeSelectedAction_, clearListAction_});
}

void MainWindow::SetTabOrder() {
    // As the window reads: the list, the buttons left to right, then the option groups.
    const QList<QWidget*> order = {fileList_,         addFilesButton_,  addFolderButton_,
                                   splitButton_,      linesOption_,     linesPerPieceField_,
                                   separatorOption_,  separatorField_,  firstCharactersOption_,
                                   numberedOption_,   nameLengthField_, blankLinesOption_,
                                   sizeOption_,       pieceSizeField_,  byColumnOption_,
                                   columnField_,      partsOption_,     partsField_,
                                   matchOption_,      matchField_,      csvRecordsOption_,
                                   delimiterField_,   prefixOption_,    prefixField_,
                                   firstNumberField_, templateOption_,  templateField_};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

}  // namespace partwright
