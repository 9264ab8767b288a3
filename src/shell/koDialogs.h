// The picture open and save dialogs: choosing another file type puts that type's extension on the file
// name being typed. Qt's own (non-native) dialogs, whose file name can be followed.
#pragma once

#include <QFileDialog>

#include <functional>
#include <optional>

// The name a picture dialog shows after its type changed to entry FilterIndex (1-based) of Filter (pairs
// of description and pattern list separated by "|", patterns by ";"), given its current file name: the
// file-name part with the extension of the entry's first pattern. Nothing when that pattern has no plain
// extension (none, or one with "*" or "?"), or when the current name is empty or an existing folder.
std::optional<QString> PictureDialogTypeChangeName(const QString& Filter, int FilterIndex, const QString& FileName);

class TOpenPictureDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit TOpenPictureDialog(QWidget* Parent = nullptr);

    // "Description|*.a;*.b|Description|*.c"
    const QString& Filter() const { return FFilter; }
    void SetFilter(const QString& Value);
    // 1-based; 0 when no entry is selected.
    int FilterIndex() const;
    void SetFilterIndex(int Value);
    // The name in the dialog, in its folder; the folder alone while no name is typed.
    QString CurrentFileName() const;

    // After the file type changed and the name followed it.
    std::function<void()> OnTypeChange;

protected:
    virtual void DoTypeChange();

private:
    QString FFilter;
    // Qt's save dialog puts the new type's first suffix on the typed name by itself, wildcards included;
    // the name from before is kept to take that back where the type has no plain extension.
    QString FNameBeforeTypeChange;
    bool FTypeIndexChanged = false;
};

class TSavePictureDialog : public TOpenPictureDialog {
    Q_OBJECT
public:
    explicit TSavePictureDialog(QWidget* Parent = nullptr);
};
