// Small shell helpers: wrapping text to a width, the picture dialogs following the file type, and the
// files of a drop.
#include "shell/koDialog.h"
#include "shell/koDialogs.h"
#include "shell/koDropFiles.h"

#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {
// Every character 10 pixels wide.
int Fixed(QStringView text) { return int(text.size()) * 10; }
} // namespace

TEST(WrapText, BreaksAtBlanksOnlyAndKeepsCarriageReturns)
{
    const struct {
        const char* Text;
        int Width;
        const char* Wrapped;
    } cases[] = {
        {"", 100, ""},
        {"   fits as it is", 1000, "fits as it is"},
        {"hello world", 60, "hello\rworld"},           // "hello " fits, "hello w" does not
        {"  hello \t  world  ", 60, "hello\rworld"},   // no line starts with blanks
        {"abcdefghij k", 50, "abcdefghij\rk"},         // a word wider than the width stands alone
        {"one\ttwo", 40, "one\rtwo"},                  // a tab is a blank
        {"ab\rcd", 1000, "ab\rcd"},                    // a carriage return ends its line, no break added
        {"ab\r  cd ef", 40, "ab\rcd\ref"},
        {"ab\r\rcd", 1000, "ab\r\rcd"},                // an empty line stays
        {"a\nb c", 30, "a\nb\rc"},                     // a line feed is an ordinary character
    };
    for (const auto& c : cases) EXPECT_EQ(WrapText(Fixed, c.Text, c.Width), c.Wrapped) << c.Text;
}

TEST(WrapText, LinesOfARealFontFitTheWidth)
{
    const QFont font;
    const QFontMetrics metrics(font);
    const QString text = "This module was written by a newer version of the resource compiler; symbols "
                         "and include files may be read differently. Supercalifragilisticexpialidocious-words "
                         "stay whole.";
    const QString wrapped = WrapText(font, text, 200);
    const QStringList lines = wrapped.split('\r');
    EXPECT_GT(lines.size(), 2);
    for (const QString& line : lines) {
        EXPECT_FALSE(line.startsWith(' '));
        if (line.contains(' ')) {
            EXPECT_LE(metrics.horizontalAdvance(line), 200) << line.toStdString();
        }
    }
    EXPECT_EQ(lines.join(' '), text);
}

TEST(PictureDialogs, TypeChangeNameTakesTheFirstPatternsExtension)
{
    QTemporaryDir dir;
    const QString filter = "Bitmaps|*.bmp;*.dib|PNG images|*.png|All files|*.*|Anything|*";
    const struct {
        int Index;
        QString Name;
        std::optional<QString> Result;
    } cases[] = {
        {1, dir.filePath("pic.png"), QString("pic.bmp")},
        {2, dir.filePath("pic"), QString("pic.png")},
        {3, dir.filePath("pic.png"), std::nullopt}, // a wildcard extension
        {4, dir.filePath("pic.png"), std::nullopt}, // no extension
        {5, dir.filePath("pic.png"), std::nullopt}, // beyond the last entry
        {0, dir.filePath("pic.png"), std::nullopt},
        {1, "", std::nullopt},
        {1, dir.path(), std::nullopt},              // a folder
        {1, dir.filePath("new/"), QString(".bmp")}, // a name ending in a separator has an empty base
    };
    for (const auto& c : cases)
        EXPECT_EQ(PictureDialogTypeChangeName(filter, c.Index, c.Name), c.Result) << c.Index << " " << c.Name.toStdString();
}

TEST(PictureDialogs, ChoosingATypeChangesTheTypedName)
{
    QTemporaryDir dir;
    TOpenPictureDialog open;
    TSavePictureDialog save;
    for (TOpenPictureDialog* dialog : {static_cast<TOpenPictureDialog*>(&open), static_cast<TOpenPictureDialog*>(&save)}) {
        SCOPED_TRACE(dialog->acceptMode() == QFileDialog::AcceptSave ? "save" : "open");
        dialog->setDirectory(dir.path());
        dialog->SetFilter("PNG images|*.png|Bitmaps|*.bmp;*.dib|All files|*.*");
        int changes = 0;
        dialog->OnTypeChange = [&] { ++changes; };
        auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
        auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_TRUE(combo && edit);
        ASSERT_EQ(combo->count(), 3);
        auto choose = [&](int index) { // as a person picks an entry
            combo->setCurrentIndex(index);
            Q_EMIT combo->activated(index);
            Q_EMIT combo->textActivated(combo->itemText(index));
        };

        edit->setText("");
        choose(1);
        EXPECT_EQ(edit->text(), "");
        edit->setText("photo.png");
        choose(1);
        EXPECT_EQ(dialog->FilterIndex(), 2);
        EXPECT_EQ(edit->text(), "photo.bmp");
        choose(2);
        EXPECT_EQ(edit->text(), "photo.bmp");
        edit->setText("scan");
        choose(0);
        EXPECT_EQ(edit->text(), "scan.png");
        EXPECT_EQ(changes, 4);
    }
}

TEST(DropFiles, TheLocalFilesOfADropAndItsPoint)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/work/a.res"), QUrl("https://example.org/b.rc"), QUrl::fromLocalFile("/work/c d.rc")});
    const QDropEvent event(QPointF(5, 7), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    const TDropFiles files(event);
    ASSERT_EQ(files.Count(), 2);
    EXPECT_EQ(files.GetFileName(0), "/work/a.res");
    EXPECT_EQ(files.GetFileName(1), "/work/c d.rc");
    EXPECT_EQ(files.GetFileName(2), "");
    EXPECT_EQ(files.GetFileName(-1), "");
    EXPECT_EQ(files.DropPoint(), QPoint(5, 7));
    EXPECT_EQ(TDropFiles(nullptr).Count(), 0);
}
