#include "kinds/koResourceItemDialog.h"
#include "model/koResourcesMessages.h"
#include "platform/Streams.h"
#include "platform/WineModules.h"

#include <gtest/gtest.h>

#include <iostream>
#include <set>

// From DialogResourceTest.cpp.
QString DumpDialogModel(TDialogResourceItem* Dialog);

namespace {
class TWarningCount : public IResourceMessageLogSubscriber {
public:
    void LogMessage(const IResourceMessagePtr& Msg) override
    {
        if (Msg->GetKind() != rmInfo) Texts.append(Msg->GetMessage());
    }
    QStringList Texts;
};

std::unique_ptr<TDialogResourceItem> LoadDialog(const TPEResource& Resource)
{
    auto dialog = std::make_unique<TDialogResourceItem>(TResourceIdent(Resource.Name));
    TBytesStream data(Resource.Data);
    dialog->LoadFromStream(data, Resource.Data.size());
    return dialog;
}

QByteArray SaveDialog(TDialogResourceItem* Dialog)
{
    TMemoryStream out;
    Dialog->SaveToStream(out);
    return out.ToByteArray();
}

bool IsExtendedTemplate(const QByteArray& Data)
{
    return Data.size() >= 4 && Data.startsWith(QByteArray("\x01\x00\xFF\xFF", 4));
}
} // namespace

// Every dialog of wine's modules loads; an extended template saves back as read (a resource may end
// without the padding that follows its last control); a standard one converts to the extended layout and
// reads back as the same model.
TEST(DialogInterop, WineDialogsLoadAndSaveBackInterop)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine64 is not installed";
    auto log = std::make_shared<TWarningCount>();
    MessageLogger()->Subscribe(log);
    const QList<TWineResource> resources = WineResources({RT_DIALOG});
    int extended = 0, identical = 0, padded = 0, standard = 0, controls = 0;
    std::set<qsizetype> paddings;
    for (const TWineResource& resource : resources) {
        const std::string where = resource.Module.toStdString() + " " + ResourceIdentToText(resource.Resource.Name).toStdString();
        std::unique_ptr<TDialogResourceItem> dialog;
        ASSERT_NO_THROW(dialog = LoadDialog(resource.Resource)) << where;
        controls += dialog->Items()->Count();
        const QByteArray data = resource.Resource.Data;
        const QByteArray saved = SaveDialog(dialog.get());
        if (IsExtendedTemplate(data)) {
            ++extended;
            EXPECT_TRUE(dialog->Extended()) << where;
            if (saved == data) {
                ++identical;
                continue;
            }
            // Only the zero padding after the last control may differ.
            ASSERT_TRUE(saved.startsWith(data)) << where;
            const QByteArray tail = saved.mid(data.size());
            EXPECT_LT(tail.size(), 4) << where;
            EXPECT_EQ(tail, QByteArray(tail.size(), '\0')) << where;
            EXPECT_EQ(saved.size() % 4, 0) << where;
            paddings.insert(tail.size());
            ++padded;
        } else {
            ++standard;
            EXPECT_FALSE(dialog->Extended()) << where;
            TBytesStream again(saved);
            TDialogResourceItem reread{TResourceIdent(resource.Resource.Name)};
            reread.LoadFromStream(again, saved.size());
            EXPECT_TRUE(reread.Extended()) << where;
            EXPECT_EQ(DumpDialogModel(&reread).toStdString(), DumpDialogModel(dialog.get()).toStdString()) << where;
            EXPECT_EQ(SaveDialog(&reread), saved) << where;
        }
    }
    MessageLogger()->Unsubscribe(log);
    std::cout << resources.size() << " dialogs with " << controls << " controls: " << extended << " extended ("
              << identical << " identical, " << padded << " differing only in the padding after the last control, of";
    for (qsizetype size : paddings) std::cout << " " << size;
    std::cout << " bytes), " << standard << " standard\n";
    EXPECT_TRUE(log->Texts.isEmpty()) << log->Texts.join('\n').toStdString();
    EXPECT_GT(extended, 0);
    EXPECT_GT(standard, 0);
}
