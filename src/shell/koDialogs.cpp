#include "koDialogs.h"

#include "platform/SysUtils.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>

namespace {
// The dialog's file name box.
QLineEdit* FileNameEdit(const QFileDialog* dialog) { return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }
} // namespace

std::optional<QString> PictureDialogTypeChangeName(const QString& Filter, int FilterIndex, const QString& FileName)
{
    const QStringList parts = Filter.split(QLatin1Char('|'));
    const qsizetype patternAt = qsizetype(FilterIndex) * 2 - 1;
    if (FilterIndex < 1 || patternAt >= parts.size()) return std::nullopt;
    QString pattern = parts.at(patternAt);
    const qsizetype cut = pattern.indexOf(QLatin1Char(';'));
    if (cut >= 0) pattern.truncate(cut);
    const QString ext = ExtractFileExt(pattern);
    if (ext.isEmpty() || ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?'))) return std::nullopt;
    if (FileName.isEmpty() || QFileInfo(FileName).isDir()) return std::nullopt;
    return ChangeFileExt(ExtractFileName(FileName), ext);
}

TOpenPictureDialog::TOpenPictureDialog(QWidget* Parent) : QFileDialog(Parent)
{
    setOption(QFileDialog::DontUseNativeDialog);
    // A changed entry is announced before the dialog reacts to it; the name taken then is good for the
    // rest of this event only.
    if (auto* combo = findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        connect(combo, &QComboBox::currentIndexChanged, this, [this] {
            if (const QLineEdit* edit = FileNameEdit(this)) FNameBeforeTypeChange = edit->text();
            FTypeIndexChanged = true;
            QTimer::singleShot(0, this, [this] { FTypeIndexChanged = false; });
        });
    connect(this, &QFileDialog::filterSelected, this, [this] { DoTypeChange(); });
}

void TOpenPictureDialog::SetFilter(const QString& Value)
{
    FFilter = Value;
    const QStringList parts = Value.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(parts.at(i) + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    setNameFilters(filters);
}

int TOpenPictureDialog::FilterIndex() const { return int(nameFilters().indexOf(selectedNameFilter())) + 1; }

void TOpenPictureDialog::SetFilterIndex(int Value)
{
    if (Value >= 1 && Value <= nameFilters().size()) selectNameFilter(nameFilters().at(Value - 1));
}

QString TOpenPictureDialog::CurrentFileName() const
{
    const QLineEdit* edit = FileNameEdit(this);
    const QString typed = edit ? edit->text() : QString();
    const QString folder = directory().absolutePath();
    return typed.isEmpty() ? folder : QDir(folder).filePath(typed);
}

void TOpenPictureDialog::DoTypeChange()
{
    const std::optional<QString> name = PictureDialogTypeChangeName(FFilter, FilterIndex(), CurrentFileName());
    if (QLineEdit* edit = FileNameEdit(this)) {
        if (name) edit->setText(*name);
        else if (FTypeIndexChanged) edit->setText(FNameBeforeTypeChange);
    }
    FTypeIndexChanged = false;
    if (OnTypeChange) OnTypeChange();
}

TSavePictureDialog::TSavePictureDialog(QWidget* Parent) : TOpenPictureDialog(Parent) { setAcceptMode(QFileDialog::AcceptSave); }
