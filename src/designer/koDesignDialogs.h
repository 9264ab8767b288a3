// The dialogs the stock property editors and design windows open: colour, font, picture file and their
// modal forms. Everything goes through one replaceable object, so tests answer without a modal loop.
#pragma once

#include "platform/Graphics.h"

#include <QFont>
#include <QString>

#include <memory>

class QDialog;
class QWidget;

class IRunTimeDesignDialogs {
public:
    virtual ~IRunTimeDesignDialogs() = default;
    // A colour dialog starting with Color; true with the confirmed colour in Color.
    virtual bool ExecuteColor(QWidget* Parent, TColor& Color) = 0;
    // A font dialog starting with Font that offers only installed fonts; true with the confirmed font.
    virtual bool ExecuteFont(QWidget* Parent, QFont& Font) = 0;
    // A picture-open dialog for an existing file; Filter as "Description|*.a;*.b|...". True with the
    // chosen file in FileName.
    virtual bool ExecuteOpenPicture(QWidget* Parent, const QString& Filter, const QString& DefaultExt,
                                    QString& FileName) = 0;
    // Shows a modal form of the designer (the strings dialog); the result as QDialog::exec gives it.
    virtual int ExecuteModal(QDialog& Form) = 0;
};

// Qt's own dialogs.
std::unique_ptr<IRunTimeDesignDialogs> CreateDesignDialogs();
// The dialogs in use: Qt's, unless replaced.
IRunTimeDesignDialogs& DesignDialogs();
// Replaces the dialogs in use (nullptr: Qt's again) and gives back the ones replaced.
std::unique_ptr<IRunTimeDesignDialogs> SetDesignDialogs(std::unique_ptr<IRunTimeDesignDialogs> Dialogs);
