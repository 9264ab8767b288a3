#include "koDesignDialogs.h"

#include "shell/koDialogs.h"

#include <QColorDialog>
#include <QDialog>
#include <QFontDialog>

namespace {

class TQtDesignDialogs final : public IRunTimeDesignDialogs {
public:
    bool ExecuteColor(QWidget* Parent, TColor& Color) override
    {
        QColorDialog dialog(QColor::fromRgb(ColorToQRgb(ColorToRGB(Color))), Parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        Color = QRgbToColor(dialog.selectedColor().rgb());
        return true;
    }

    bool ExecuteFont(QWidget* Parent, QFont& Font) override
    {
        QFontDialog dialog(Font, Parent);
        dialog.setOption(QFontDialog::ScalableFonts, false);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        Font = dialog.selectedFont();
        return true;
    }

    bool ExecuteOpenPicture(QWidget* Parent, const QString& Filter, const QString& DefaultExt,
                            QString& FileName) override
    {
        TOpenPictureDialog dialog(Parent);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        dialog.SetFilter(Filter);
        dialog.setDefaultSuffix(DefaultExt);
        dialog.setSizeGripEnabled(true);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        FileName = dialog.selectedFiles().first();
        return true;
    }

    int ExecuteModal(QDialog& Form) override { return Form.exec(); }
};

std::unique_ptr<IRunTimeDesignDialogs>& Installed()
{
    static std::unique_ptr<IRunTimeDesignDialogs> dialogs;
    return dialogs;
}

} // namespace

std::unique_ptr<IRunTimeDesignDialogs> CreateDesignDialogs()
{
    return std::make_unique<TQtDesignDialogs>();
}

IRunTimeDesignDialogs& DesignDialogs()
{
    auto& dialogs = Installed();
    if (!dialogs)
        dialogs = CreateDesignDialogs();
    return *dialogs;
}

std::unique_ptr<IRunTimeDesignDialogs> SetDesignDialogs(std::unique_ptr<IRunTimeDesignDialogs> Dialogs)
{
    auto previous = std::move(Installed());
    Installed() = std::move(Dialogs);
    return previous;
}
