#include "koResourceViewFont.h"

#include "koResourceViewFontDataModule.h"
#include "model/koResources.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/ValueTexts.h"

#include <QActionGroup>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

namespace {
const char* const SFont = "Font";
const char* const SNoFont = "The data is no font that can be installed: %s";
const char* const SFontTables = "The font's tables cannot be read: %s";
constexpr int DefaultFontSize = 16;
} // namespace

const char* const FontTypeNames[8] = {"Unknown", "TrueType", "OpenType", "OpenType - TrueType", "OpenType - Postscript",
                                      "Vector", "Raster", "Postscript"};

const char* const FontSampleTexts[43] = {
    "Categories",
    "AaBbCcDdEeFfGg...=AaBbCcDdEeFfGgHhIiJjKkLlMmNnOoPpQqRrSsTtUuVvWwXxYyZz",
    "ABCDEFGH...=ABCDEFGHIJKLMNOPQRSTUVWXYZ",
    "abcdefgh...=abcdefghijklmnopqrstuvwxyz",
    "Numbers=01234567890",
    "Punctuation=! \" # $ % & ' ( ) * + , - . / : ; < = > ? @ [ \\ ] ^ _ ` { | } ~ \u00A1 \u00BF \u00AB \u00BB \u2039 "
    "\u203A \u201E \u201C \u201D \u2018 \u2019 \u2013 \u2014 \u2026 \u2022 \u00B7 \u00A7 \u00B6 \u00A9 \u00AE \u2122 \u00B0",
    "Ligatures=ss:\u00DF AE:\u00C6 ae:\u00E6 OE:\u0152 oe:\u0153 IJ:\u0132 ij:\u0133 ue:\u1D6B ff:\uFB00 fi:\uFB01 "
    "fl:\uFB02 ffi:\uFB03 ffl:\uFB04 ft:\uFB05 st:\uFB06",
    "*Lorem ipsum...=Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut "
    "labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud exercitation ullamco laboris nisi ut aliquip "
    "ex ea commodo consequat. Duis aute irure dolor in reprehenderit in voluptate velit esse cillum dolore eu fugiat "
    "nulla pariatur. Excepteur sint occaecat cupidatat non proident, sunt in culpa qui officia deserunt mollit anim id "
    "est laborum.",
    "National pangrams",
    "English=Jack quietly moved up front and seized the big ball of wax.",
    "Arabic=\u0635\u0650\u0641 \u062E\u064E\u0644\u0642\u064E \u062E\u064E\u0648\u062F\u0650 \u0643\u064E\u0645\u0650"
    "\u062B\u0644\u0650 \u0627\u0644\u0634\u064E\u0645\u0633\u0650 \u0625\u0650\u0630 \u0628\u064E\u0632\u064E\u063A"
    "\u064E\u062A \u064A\u064E\u062D\u0638\u0649 \u0627\u0644\u0636\u064E\u062C\u064A\u0639\u064F \u0628\u0650\u0647"
    "\u0627 \u0646\u064E\u062C\u0644\u0627\u0621\u064E \u0645\u0650\u0639\u0637\u0627\u0631\u0650",
    "Bulgarian=\u0416\u044A\u043B\u0442\u0430\u0442\u0430 \u0434\u044E\u043B\u044F \u0431\u0435\u0448\u0435 "
    "\u0449\u0430\u0441\u0442\u043B\u0438\u0432\u0430, \u0447\u0435 \u043F\u0443\u0445\u044A\u0442, \u043A\u043E"
    "\u0439\u0442\u043E \u0446\u044A\u0444\u043D\u0430, \u0437\u0430\u043C\u0440\u044A\u0437\u043D\u0430 \u043A"
    "\u0430\u0442\u043E \u0433\u044C\u043E\u043D.",
    "Catalan=Jove xef, porti whisky amb quinze gla\u00E7ons d'hidrogen, coi!",
    "Croatian=Gojazni \u0111a\u010Di\u0107 s biciklom dr\u017Ei hmelj i finu vatu u d\u017Eepu no\u0161nje.",
    "Danish=H\u00F8j bly gom vandt fr\u00E6k sexquiz p\u00E5 wc.",
    "Dutch=Pa's wijze lynx bezag vroom het fikse aquaduct.",
    "Dzongkha (Buthan)=\u0F40 \u0F41 \u0F42 \u0F44 \u0F45 \u0F46 \u0F47 \u0F49 \u0F4F \u0F50 \u0F51 \u0F53 \u0F54 "
    "\u0F55 \u0F56 \u0F58 \u0F59 \u0F5A \u0F5B \u0F5D \u0F5E \u0F5F \u0F60 \u0F61 \u0F62 \u0F63 \u0F64 \u0F66 \u0F67 "
    "\u0F68",
    "Esperanto=E\u0125o\u015Dan\u011Do \u0109iu\u0135a\u016Dde.",
    "Estonian=P\u00F5dur Zagrebi t\u0161ellom\u00E4ngija-f\u00F6ljetonist Ciqo k\u00FClmetas kehvas garaa\u017Eis.",
    "Finnish=Charles Darwin jammaili \u00C5ken hevixylofonilla Qatarin y\u00F6pub Zeligiss\u00E4.",
    "German=Victor jagt zw\u00F6lf Boxk\u00E4mpfer quer \u00FCber den gro\u00DFen Sylter Deich.",
    "Greek=\u03A4\u03B1\u03C7\u03AF\u03C3\u03C4\u03B7 \u03B1\u03BB\u03CE\u03C0\u03B7\u03BE \u03B2\u03B1\u03C6\u03AE"
    "\u03C2 \u03C8\u03B7\u03BC\u03AD\u03BD\u03B7 \u03B3\u03B7, \u03B4\u03C1\u03B1\u03C3\u03BA\u03B5\u03BB\u03AF\u03B6"
    "\u03B5\u03B9 \u03C5\u03C0\u03AD\u03C1 \u03BD\u03C9\u03B8\u03C1\u03BF\u03CD \u03BA\u03C5\u03BD\u03CC\u03C2.",
    "Hebrew=\u05D3\u05D2 \u05E1\u05E7\u05E8\u05DF \u05E9\u05D8 \u05D1\u05D9\u05DD \u05DE\u05D0\u05D5\u05DB\u05D6\u05D1 "
    "\u05D5\u05DC\u05E4\u05EA\u05E2 \u05DE\u05E6\u05D0 \u05DC\u05D5 \u05D7\u05D1\u05E8\u05D4 \u05D0\u05D9\u05DA "
    "\u05D4\u05E7\u05DC\u05D9\u05D8\u05D4",
    "Hungarian=\u00C1rv\u00EDzt\u0171r\u0151 t\u00FCk\u00F6rf\u00FAr\u00F3g\u00E9p.",
    "Icelandic=K\u00E6mi n\u00FD \u00F6xi h\u00E9r ykist \u00FEj\u00F3fum n\u00FA b\u00E6\u00F0i v\u00EDl og "
    "\u00E1drepa.",
    "Irish=D'fhuascail \u00CDosa, \u00DArmhac na h\u00D3ighe Beannaithe, p\u00F3r \u00C9ava agus \u00C1dhaimh.",
    "Japanese (Kana)=\u3044\u308D\u306F\u306B\u307B\u3078\u3068 \u3061\u308A\u306C\u308B\u3092 \u308F\u304B\u3088"
    "\u305F\u308C\u305D \u3064\u306D\u306A\u3089\u3080 \u3046\u3090\u306E\u304A\u304F\u3084\u307E \u3051\u3075\u3053"
    "\u3048\u3066 \u3042\u3055\u304D\u3086\u3081\u307F\u3057 \u3091\u3072\u3082\u305B\u3059",
    "Korean=\uD0A4\uC2A4\uC758 \uACE0\uC720\uC870\uAC74\uC740 \uC785\uC220\uB07C\uB9AC \uB9CC\uB098\uC57C \uD558"
    "\uACE0 \uD2B9\uBCC4\uD55C \uAE30\uC220\uC740 \uD544\uC694\uCE58 \uC54A\uB2E4.",
    "Latin=Gaza frequens Libycos duxit Karthago triumphos.",
    "Lithuanian=\u012Elinkdama fechtuotojo \u0161paga sublyk\u010Diojusi pragr\u0119\u017E\u0117 apval\u0173 "
    "arb\u016Bz\u0105.",
    "Norwegian=V\u00E5r s\u00E6re Zulu fra bade\u00F8ya spilte jo whist og quickstep i min taxi.",
    "Polish=Pchn\u0105\u0107 w t\u0119 \u0142\u00F3d\u017A je\u017Ca lub o\u015Bm skrzy\u0144 fig.",
    "Portuguese=Lu\u00EDs arg\u00FCia \u00E0 J\u00FAlia que \u00ABbra\u00E7\u00F5es, f\u00E9, ch\u00E1, \u00F3xido, "
    "p\u00F4r, z\u00E2ng\u00E3o\u00BB eram palavras do portugu\u00EAs.",
    "Romanian=\u00CEnjur\u00E2nd pi\u021Big\u0103iat, zoofobul comand\u0103 vexat whisky \u0219i tequila.",
    "Russian=\u0421\u044A\u0435\u0448\u044C \u0436\u0435 \u0435\u0449\u0451 \u044D\u0442\u0438\u0445 \u043C\u044F"
    "\u0433\u043A\u0438\u0445 \u0444\u0440\u0430\u043D\u0446\u0443\u0437\u0441\u043A\u0438\u0445 \u0431\u0443\u043B"
    "\u043E\u043A, \u0434\u0430 \u0432\u044B\u043F\u0435\u0439 \u0447\u0430\u044E.",
    "Serbian, Croatian, Bosnian=Fin d\u017Eip, gluh je\u017E i \u010Dvrst konji\u0107 do\u0111o\u0161e bez moljca.",
    "Slovene=Besni dirka\u010D iz formule \u017Euga cehu po\u0161tarjev.",
    "Slovak=K\u0155de\u013E \u0161\u0165astn\u00FDch \u010Fat\u013Eov u\u010D\u00ED pri \u00FAst\u00ED V\u00E1hu "
    "m\u013Akveho ko\u0148a obhr\u00FDza\u0165 k\u00F4ru a \u017Era\u0165 \u010Derstv\u00E9 m\u00E4so.",
    "Spanish=El veloz murci\u00E9lago hind\u00FA com\u00EDa feliz cardillo y kiwi. La cig\u00FCe\u00F1a tocaba el "
    "saxof\u00F3n detr\u00E1s del palenque de paja.",
    "Swedish=Flygande b\u00E4ckasiner s\u00F6ka hwila p\u00E5 mjuka tuvor.",
    "Thai=\u0E40\u0E1B\u0E47\u0E19\u0E21\u0E19\u0E38\u0E29\u0E22\u0E4C\u0E2A\u0E38\u0E14\u0E1B\u0E23\u0E30\u0E40\u0E2A"
    "\u0E23\u0E34\u0E10\u0E40\u0E25\u0E34\u0E28\u0E04\u0E38\u0E13\u0E04\u0E48\u0E32 \u0E01\u0E27\u0E48\u0E32\u0E1A\u0E23"
    "\u0E23\u0E14\u0E32\u0E1D\u0E39\u0E07\u0E2A\u0E31\u0E15\u0E27\u0E4C\u0E40\u0E14\u0E23\u0E31\u0E08\u0E09\u0E32\u0E19",
    "Turkish=Pijamal\u0131 hasta ya\u011F\u0131z \u015Fof\u00F6re \u00E7abucak g\u00FCvendi.",
    "Ukranian=\u0427\u0443\u0454\u0448 \u0457\u0445, \u0434\u043E\u0446\u044E, \u0433\u0430? \u041A\u0443\u043C\u0435"
    "\u0434\u043D\u0430 \u0436 \u0442\u0438, \u043F\u0440\u043E\u0449\u0430\u0439\u0441\u044F \u0431\u0435\u0437 "
    "\u0491\u043E\u043B\u044C\u0444\u0456\u0432!",
};

int FontSizeOfText(const QString& Text)
{
    bool ok = false;
    const int size = Text.toInt(&ok);
    return ok && size > 0 ? size : DefaultFontSize;
}

int SmallerFontSize(int Size)
{
    int result = FontSizes.front();
    for (const int entry : FontSizes)
        if (entry < Size) result = entry;
    return result;
}

int LargerFontSize(int Size)
{
    for (const int entry : FontSizes)
        if (entry > Size) return entry;
    return FontSizes.back();
}

// TFontResourceItemView

TFontResourceItemView::TFontResourceItemView(QWidget* Parent) : TCustomResourceItemView(Parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const TViewErrorStrip strip =
        CreateViewErrorStrip(this, style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(22, 22), QString());
    PanelError = strip.Panel;
    ImageError = strip.Image;
    LabelError = strip.Label;
    layout->addWidget(PanelError);

    EditSample = new QTextEdit(this);
    EditSample->setObjectName(QStringLiteral("EditSample"));
    EditSample->setFrameShape(QFrame::NoFrame);
    EditSample->setAcceptRichText(false);
    EditSample->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(16);
    EditSample->setFont(font);
    EditSample->installEventFilter(this);
    layout->addWidget(EditSample, 1);
}

TFontResourceItemView::~TFontResourceItemView()
{
    EditSample->removeEventFilter(this);
    RemoveFont();
}

QString TFontResourceItemView::GetCaption()
{
    if (!ResourceItem()) return QString::fromUtf8(SFont);
    return Format(QStringLiteral("%s : %s"),
                  {QString::fromUtf8(SFont), QString::fromUtf8(FontTypeNames[static_cast<int>(FFontType)])});
}

bool TFontResourceItemView::eventFilter(QObject* Watched, QEvent* Event)
{
    // The sample is one paragraph: Return adds no line break.
    if (Watched == EditSample && Event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(Event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return TCustomResourceItemView::eventFilter(Watched, Event);
}

void TFontResourceItemView::RemoveFont()
{
    if (FFontHandle < 0) return;
    QFontDatabase::removeApplicationFont(FFontHandle);
    FFontHandle = -1;
}

void TFontResourceItemView::ShowError(const QString& Message)
{
    LabelError->setText(Message);
    PanelError->show();
}

void TFontResourceItemView::LoadView()
{
    PanelError->hide();
    try {
        DoLoadView();
    } catch (const EAssertionFailed&) {
        throw;
    } catch (const Exception& error) {
        ShowError(error.Message());
    }
}

void TFontResourceItemView::DoLoadView()
{
    RemoveFont();
    FLogFonts.clear();
    FFontType = TFontType::ftUnknown;
    TCustomResourceItem* item = ResourceItem();
    QByteArray bytes;
    if (item) {
        TMemoryStream data;
        item->SaveToStream(data);
        bytes = data.ToByteArray();
    }
    // A font that cannot be installed leaves no typefaces behind from an earlier load.
    const auto emptyTypefaces = [this] {
        if (FDataModuleViewFont) BuildTypefaceMenu();
    };
    const int handle = bytes.isEmpty() ? -1 : QFontDatabase::addApplicationFontFromData(bytes);
    if (handle < 0) {
        emptyTypefaces();
        const QString reason = bytes.isEmpty() ? QStringLiteral("the resource is empty.")
                                               : QStringLiteral("the system's font engine refused it.");
        throw Exception(Format(QString::fromUtf8(SNoFont), {reason}));
    }
    FFontHandle = handle;

    QString tableError;
    try {
        FFontType = GetFontDataInfo(bytes, FLogFonts);
    } catch (const EAssertionFailed&) {
        throw;
    } catch (const Exception& error) {
        FFontType = TFontType::ftUnknown;
        FLogFonts.clear();
        tableError = error.Message();
    }
    // Faces the tables do not describe (a font our reader does not know) still show under the names the
    // font engine found, in the default character set.
    if (FLogFonts.isEmpty()) {
        for (const QString& family : QFontDatabase::applicationFontFamilies(handle)) {
            TLogFont face;
            face.FaceName = family;
            face.CharSets = {ANSI_CHARSET};
            FLogFonts.append(face);
        }
    }

    if (!FDataModuleViewFont) {
        FDataModuleViewFont = new TDataModuleViewFont(this);
        static_cast<QVBoxLayout*>(layout())->insertWidget(0, FDataModuleViewFont->ActionToolBarViewFont);
        BuildSampleMenu();
        TButtonedEdit* size = FDataModuleViewFont->ButtonedEditSize;
        connect(size, &TButtonedEdit::Change, this, [this] { GuardedCall([this] { SizeChanged(); }); });
        connect(size, &TButtonedEdit::LeftButtonClick, this, [this] { GuardedCall([this] { DecreaseSize(); }); });
        connect(size, &TButtonedEdit::RightButtonClick, this, [this] { GuardedCall([this] { IncreaseSize(); }); });
        size->SetText(QString::number(DefaultFontSize));
        // Setting the same text again tells nobody: the buttons and the font must follow the text now.
        SizeChanged();
    }
    BuildTypefaceMenu();
    if (!tableError.isEmpty()) throw Exception(Format(QString::fromUtf8(SFontTables), {tableError}));
}

void TFontResourceItemView::BuildSampleMenu()
{
    QMenu* menu = FDataModuleViewFont->MenuSample;
    menu->clear();
    delete FSampleGroup;
    FSampleGroup = new QActionGroup(this);
    FSampleGroup->setExclusive(true);
    QAction* chosen = nullptr;
    for (const char* const entry : FontSampleTexts) {
        const QString text = QString::fromUtf8(entry);
        const qsizetype equals = text.indexOf(QLatin1Char('='));
        if (equals < 0) {
            menu->addSection(text);
            continue;
        }
        QString caption = text.left(equals);
        const bool isDefault = caption.startsWith(QLatin1Char('*'));
        if (isDefault) caption.remove(0, 1);
        auto* action = new QAction(caption, FSampleGroup);
        action->setCheckable(true);
        action->setToolTip(text.mid(equals + 1));
        connect(action, &QAction::triggered, this, [this, action] { GuardedCall([this, action] { SampleExecute(action); }); });
        menu->addAction(action);
        if (isDefault) chosen = action;
    }
    if (chosen) {
        chosen->setChecked(true);
        SampleExecute(chosen);
    }
}

void TFontResourceItemView::BuildTypefaceMenu()
{
    QMenu* menu = FDataModuleViewFont->MenuTypeface;
    menu->clear();
    delete FTypefaceGroup;
    FTypefaceGroup = new QActionGroup(this);
    FTypefaceGroup->setExclusive(true);
    menu->setToolTipsVisible(true);
    // One entry per face and character set; faces of a collection that share a family share entries.
    std::set<std::pair<QString, int>> seen;
    QAction* first = nullptr;
    for (const TLogFont& face : FLogFonts) {
        for (const uint8_t charset : face.CharSets) {
            if (!seen.insert({face.FaceName, charset}).second) continue;
            auto* action = new QAction(face.FaceName, FTypefaceGroup);
            action->setCheckable(true);
            action->setData(int(charset));
            QString charsetName;
            action->setToolTip(CharsetToIdent(charset, charsetName) ? charsetName : QString::number(charset));
            connect(action, &QAction::triggered, this,
                    [this, action] { GuardedCall([this, action] { TypefaceExecute(action); }); });
            menu->addAction(action);
            if (!first) first = action;
        }
    }
    FDataModuleViewFont->ButtonTypeface->setEnabled(first != nullptr);
    if (first) {
        first->setChecked(true);
        TypefaceExecute(first);
    } else {
        FDataModuleViewFont->ButtonTypeface->setText(FDataModuleViewFont->ActionTypeface->text());
    }
}

void TFontResourceItemView::SampleExecute(QAction* Action) { EditSample->setPlainText(Action->toolTip()); }

void TFontResourceItemView::TypefaceExecute(QAction* Action)
{
    FDataModuleViewFont->ButtonTypeface->setText(Action->text());
    QFont font = EditSample->font();
    font.setFamily(Action->text());
    EditSample->setFont(font);
    // Qt fonts have no character set; the choice is kept for what shows it.
    FSampleCharSet = Action->data().toInt();
}

void TFontResourceItemView::SizeChanged()
{
    if (!FDataModuleViewFont) return;
    TButtonedEdit* edit = FDataModuleViewFont->ButtonedEditSize;
    const int size = FontSizeOfText(edit->Text());
    QFont font = EditSample->font();
    font.setPointSize(size);
    EditSample->setFont(font);
    edit->LeftButton->setEnabled(size > FontSizes.front());
    edit->RightButton->setEnabled(size < FontSizes.back());
}

void TFontResourceItemView::DecreaseSize()
{
    TButtonedEdit* edit = FDataModuleViewFont->ButtonedEditSize;
    edit->SetText(QString::number(SmallerFontSize(FontSizeOfText(edit->Text()))));
}

void TFontResourceItemView::IncreaseSize()
{
    TButtonedEdit* edit = FDataModuleViewFont->ButtonedEditSize;
    edit->SetText(QString::number(LargerFontSize(FontSizeOfText(edit->Text()))));
}

// TFontResourceItemViewFactory

bool TFontResourceItemViewFactory::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream* Data)
{
    if (!Data) return false;
    if (ResourceType == TResourceIdent::FromOrdinal(RT_FONT) && Data->Size() > 0) return true;
    return TFontResourceItem::HandlesFile(QString(), Data);
}

IResourceItemViewPtr TFontResourceItemViewFactory::CreateView() { return std::make_shared<TFontResourceItemView>(); }

void koResourceViewFont_Initialize() { TFontResourceItemViewFactory::ClassInfo()->Register(0); }

void koResourceViewFont_Finalize() { TFontResourceItemViewFactory::ClassInfo()->Unregister(); }
