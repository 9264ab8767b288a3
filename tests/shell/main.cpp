#include "shell/koCursorService.h"
#include "shell/koGlyphService.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Cursors and pictures must go before the application does.
    koCursorService_Finalize();
    koGlyphService_Finalize();
    return result;
}
