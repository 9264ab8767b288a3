// Shows the object inspector on a dialog control of a dialog resource (an enumeration, sets and an
// object opened) and on a sample object with a colour, for looking at it under X. Arguments: the
// seconds to stay open (0: until closed) and, optionally, a file to save a grab of the window in.
#include "../InspectorSamples.h"

#include "designer/koDesignObjectControl.h"
#include "designer/koDesignObjectInspector.h"
#include "designer/koDesignRTTI.h"
#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemDialogControls.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {
void Open(TRunTimeObjectInspector* View, const QString& FullName)
{
    const int row = View->RowOf(FullName);
    if (row >= 0 && View->ExpandableProperty(row)) View->Expand(row);
}

QWidget* Column(const QString& Title, TRunTimeObjectInspector* View)
{
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->addWidget(new QLabel(Title));
    layout->addWidget(View, 1);
    return column;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    koDesignRTTI_Initialize();
    koDesignObjectControl_Initialize();
    koDesignObjectInspector_Initialize();
    koResourcesKinds_Initialize();
    koResourceItemDialog_Initialize();
    koResourceItemDialogControls_Initialize();

    TResourceModule module;
    auto* dialog = new TDialogResourceItem(TResourceIdent::FromOrdinal(101));
    module.Items()->Add(dialog);
    dialog->SetCaption(QStringLiteral("About"));
    TDialogResourceItemControl* control = dialog->Items()->Add();
    control->SetControlClass(ccButton);
    control->SetStyle(0x50010001);
    TInspectorSample sample;

    QWidget window;
    window.setWindowTitle(QStringLiteral("Object inspector"));
    auto* layout = new QHBoxLayout(&window);
    auto* controlView = new TRunTimeObjectInspector;
    auto* sampleView = new TRunTimeObjectInspector;
    controlView->setMinimumSize(360, 640);
    sampleView->setMinimumSize(300, 640);
    layout->addWidget(Column(QStringLiteral("Dialog 101, control 1 (a button)"), controlView));
    layout->addWidget(Column(QStringLiteral("A sample object"), sampleView));
    window.show();

    controlView->AddInstance(control, true);
    // Rows carry the names the control gives its properties.
    controlView->SetNameWidth(150);
    Open(controlView, QStringLiteral("Control Style"));
    Open(controlView, QStringLiteral("Control Style.Style"));
    Open(controlView, QStringLiteral("WindowStyle"));
    controlView->SelectRow(controlView->RowOf(QStringLiteral("Control Class")));
    sampleView->AddInstance(&sample, true);
    Open(sampleView, QStringLiteral("Options"));
    Open(sampleView, QStringLiteral("Child"));
    sampleView->SetNameWidth(110);
    sampleView->SelectRow(sampleView->RowOf(QStringLiteral("Kind")));

    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
    const QString grab = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (seconds > 0)
        QTimer::singleShot(seconds * 1000, &app, [&] {
            if (!grab.isEmpty()) window.grab().save(grab);
            app.quit();
        });
    const int result = app.exec();
    sampleView->AddInstance(nullptr, true);
    controlView->AddInstance(nullptr, true);
    return result;
}
