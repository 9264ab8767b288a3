#include "StartupWindow.h"

#include "koAtelierFrame.h"
#include "platform/Exceptions.h"

#include <QMainWindow>
#include <QStatusBar>

std::unique_ptr<QMainWindow> CreateStartupWindow(const QString& Filename)
{
    auto window = std::make_unique<QMainWindow>();
    window->setWindowTitle(QStringLiteral("Atelier"));
    auto* frame = new TFrameAtelier(window.get());
    window->setCentralWidget(frame);
    window->resize(1000, 680);
    try {
        if (Filename.isEmpty()) {
            frame->NewModule();
        } else {
            frame->LoadFromFile(Filename);
            window->setWindowTitle(QStringLiteral("Atelier - %1").arg(Filename));
        }
    } catch (const Exception& error) {
        window->statusBar()->showMessage(error.Message());
    }
    return window;
}
