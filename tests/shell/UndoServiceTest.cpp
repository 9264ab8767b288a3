#include "platform/Exceptions.h"
#include "platform/MissingTempFolder.h"
#include "platform/TempFiles.h"
#include "shell/koUndoService.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// A part of a client's state: its text, written as Int32 length and bytes (nothing when empty).
class TTextProvider : public IUndoProvider {
public:
    explicit TTextProvider(QByteArray text = {}) : Text(std::move(text)) {}
    QByteArray Text;
    int Restores = 0;
    std::function<void()> OnRestore;

    void SaveState(TStream& Stream) override
    {
        if (Text.isEmpty()) return;
        Stream.WriteDWord(static_cast<uint32_t>(Text.size()));
        Stream.WriteBytes(Text);
    }
    void RestoreState(TStream& Stream) override
    {
        ++Restores;
        const auto size = static_cast<int>(Stream.ReadDWord());
        Text = Stream.ReadBytes(size);
        if (OnRestore) OnRestore();
    }
};

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values) result.append(static_cast<char>(v));
    return result;
}

// The descriptor of this process that holds the (unlinked) file of that name, or -1.
int OpenDescriptorOf(const QString& fileName)
{
    const QString deleted = fileName + QStringLiteral(" (deleted)");
    for (const QString& entry : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System)) {
        const QString target = QFileInfo(QStringLiteral("/proc/self/fd/") + entry).symLinkTarget();
        if (target == deleted || target == fileName) return entry.toInt();
    }
    return -1;
}

TUndoStack& StackOf(TCustomUndoManager& manager) { return dynamic_cast<TUndoStack&>(*manager.Stack()); }

QStringList Actions(const TUndoStack& stack)
{
    QStringList result;
    for (int i = 0; i < stack.Count(); ++i) result << stack.Item(i).Action;
    return result;
}

void ExpectEndToEnd(const TUndoStack& stack)
{
    int64_t offset = 0;
    for (int i = 0; i < stack.Count(); ++i) {
        EXPECT_EQ(stack.Item(i).Offset, offset) << "item " << i;
        offset += stack.Item(i).Size;
    }
}

// A client of the manager with one part, attached (pending state) at S0.
class UndoManager : public ::testing::Test {
protected:
    UndoManager() { manager.RegisterUndoProvider(part); }

    void Attach() { manager.SaveState(); }
    // A change of the part, committed with its action text, as an editor makes it.
    void Change(const char* text, const char* action)
    {
        part->Text = text;
        manager.CommitState(QString::fromUtf8(action));
        manager.SaveState();
    }

    TCustomUndoManager manager;
    std::shared_ptr<TTextProvider> part = std::make_shared<TTextProvider>("S0");
    TUndoStack& stack = StackOf(manager);
};

TEST_F(UndoManager, WalkThroughTwoChanges)
{
    EXPECT_EQ(manager.PeekUndo(), QString());
    EXPECT_EQ(manager.PeekRedo(), QString());

    Attach();
    Change("S1", "Move");
    Change("S2", "Resize");

    EXPECT_EQ(Actions(stack), QStringList({"Move", "Resize"}));
    EXPECT_EQ(stack.StackPointer(), 2);
    EXPECT_TRUE(manager.CanUndo());
    EXPECT_FALSE(manager.CanRedo());
    EXPECT_EQ(manager.PeekUndo(), "Resize");

    manager.Undo();
    EXPECT_EQ(Actions(stack), QStringList({"Move", "Resize", "redo"}));
    EXPECT_EQ(stack.StackPointer(), 1);
    EXPECT_EQ(part->Text, "S1");
    EXPECT_EQ(manager.PeekUndo(), "Move");
    EXPECT_EQ(manager.PeekRedo(), "Resize");
    ExpectEndToEnd(stack);

    manager.Redo();
    EXPECT_EQ(stack.StackPointer(), 2);
    EXPECT_EQ(part->Text, "S2");
    EXPECT_FALSE(manager.CanRedo());
    EXPECT_EQ(manager.PeekRedo(), QString());

    // At the redo item: the next undo writes the current state over the "redo" item.
    part->Text = "S2b"; // a change nobody committed is still the redo target
    manager.DiscardState();
    manager.Undo();
    EXPECT_EQ(Actions(stack), QStringList({"Move", "Resize", "redo"}));
    EXPECT_EQ(stack.StackPointer(), 1);
    EXPECT_EQ(part->Text, "S1");
    manager.Redo();
    EXPECT_EQ(part->Text, "S2b");

    // Back to S0 and forward again.
    manager.Undo();
    manager.Undo();
    EXPECT_EQ(part->Text, "S0");
    EXPECT_FALSE(manager.CanUndo());
    EXPECT_EQ(manager.PeekUndo(), QString());
    EXPECT_EQ(manager.PeekRedo(), "Move");
    manager.Redo();
    EXPECT_EQ(part->Text, "S1");
}

TEST_F(UndoManager, NewChangeDropsRedoTailAndReusesItsBytes)
{
    Attach();
    Change("S1", "Change");
    Change("S2", "Change");
    manager.Undo(); // three items, pointer 1
    const int descriptor = OpenDescriptorOf(stack.FileName());
    ASSERT_GE(descriptor, 0);
    const int64_t fileSize = QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(descriptor)).size();

    Change("S3", "Edit");
    EXPECT_EQ(Actions(stack), QStringList({"Change", "Edit"}));
    EXPECT_EQ(stack.StackPointer(), 2);
    EXPECT_FALSE(manager.CanRedo());
    ExpectEndToEnd(stack);
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(descriptor)).size(), fileSize);

    manager.Undo();
    EXPECT_EQ(part->Text, "S1");
    manager.Redo();
    EXPECT_EQ(part->Text, "S3");
}

TEST(UndoService, RecordsAreLittleEndianByIndex)
{
    TUndoProviders providers;
    auto first = std::make_shared<TTextProvider>("AB");
    auto silent = std::make_shared<TTextProvider>();
    auto third = std::make_shared<TTextProvider>("C");
    EXPECT_EQ(providers.RegisterProvider(first), 0);
    EXPECT_EQ(providers.RegisterProvider(silent), 1);
    EXPECT_EQ(providers.RegisterProvider(third), 2);
    EXPECT_EQ(providers.RegisterProvider(first), 0); // registered once

    TBytesStream state;
    providers.SaveState(state);
    EXPECT_EQ(state.Bytes(), Bytes({0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 'A', 'B',
                                    2, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 'C',
                                    0xFF, 0xFF, 0xFF, 0xFF}));

    first->Text = third->Text = "x";
    state.SetPosition(0);
    providers.RestoreState(state);
    EXPECT_EQ(first->Text, "AB");
    EXPECT_EQ(third->Text, "C");
    EXPECT_EQ(silent->Restores, 0);

    // Records are found by index: after the first provider leaves, record 2 has no provider.
    providers.UnregisterProvider(first);
    providers.UnregisterProvider(first); // not in the set: nothing changes
    state.SetPosition(0);
    EXPECT_THROW(providers.RestoreState(state), EListError);

    TUndoProviders nobody;
    silent = std::make_shared<TTextProvider>();
    nobody.RegisterProvider(silent);
    TBytesStream empty;
    nobody.SaveState(empty);
    EXPECT_EQ(empty.Bytes(), Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    empty.SetPosition(0);
    nobody.RestoreState(empty);
    EXPECT_EQ(silent->Restores, 0);
}

TEST(UndoService, DamagedStateStreamStopsOrRaises)
{
    const QByteArray record = Bytes({0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 'O', 'K'});
    const QByteArray second = Bytes({1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 'N', 'O'});
    struct Case {
        const char* name;
        QByteArray stream;
        bool raises;
    } const cases[] = {
        {"no end mark", record, false},
        {"cut inside the index", record + Bytes({1, 0}), false},
        {"cut inside the size", record + second.left(9), false},
        {"cut inside the data", record + second.left(15), true},
        {"negative size", record + Bytes({1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), true},
        {"size beyond the data", record + Bytes({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40}) + "xy", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TUndoProviders providers;
        auto first = std::make_shared<TTextProvider>();
        auto other = std::make_shared<TTextProvider>();
        providers.RegisterProvider(first);
        providers.RegisterProvider(other);
        TBytesStream stream(c.stream);
        if (c.raises)
            EXPECT_THROW(providers.RestoreState(stream), EReadError);
        else
            EXPECT_NO_THROW(providers.RestoreState(stream));
        EXPECT_EQ(first->Text, "OK"); // records before the damage are restored
        EXPECT_EQ(other->Restores, 0);
    }
}

TEST_F(UndoManager, NothingIsRecordedWhileRestoring)
{
    Attach();
    Change("S1", "Move");

    // A provider that announces its change while being restored records nothing.
    part->OnRestore = [&] {
        EXPECT_TRUE(stack.GetChanging());
        manager.SaveState();
        manager.CommitState(QStringLiteral("notified"));
    };
    manager.Undo();
    EXPECT_EQ(Actions(stack), QStringList({"Move", "redo"}));
    EXPECT_FALSE(stack.GetChanging());

    // A provider that fails: the error reaches the client and the stack is not left changing.
    part->OnRestore = [] { throw EReadError(QStringLiteral("Stream read error")); };
    EXPECT_THROW(manager.Redo(), EReadError);
    EXPECT_FALSE(stack.GetChanging());

    // The flag does not nest.
    stack.BeginChange();
    stack.BeginChange();
    stack.EndChange();
    EXPECT_FALSE(stack.GetChanging());
}

TEST(UndoService, StackKeepsEveryStateWhateverTheLimit)
{
    TUndoStack stack(2);
    EXPECT_EQ(stack.Limit(), 2);
    EXPECT_EQ(TUndoStack(1).Limit(), TUndoStack::DefaultLimit);
    EXPECT_TRUE(stack.FileName().isEmpty());
    EXPECT_FALSE(stack.GetCanUndo());
    TBytesStream none;
    EXPECT_THROW(stack.Undo(none), EAssertionFailed);
    EXPECT_THROW(stack.PeekRedo(), EAssertionFailed);

    for (int i = 0; i < 5; ++i) {
        TBytesStream state(QByteArray(i, char('a' + i))); // the first state is empty
        state.SetPosition(i / 2); // Push takes the whole stream whatever its position
        stack.Push(state, QStringLiteral("step %1").arg(i));
    }
    EXPECT_EQ(stack.Count(), 5);
    for (int i = 4; i >= 0; --i) {
        ASSERT_TRUE(stack.GetCanUndo());
        EXPECT_EQ(stack.PeekUndo(), QStringLiteral("step %1").arg(i));
        TBytesStream state(QByteArray("@"));
        state.SetPosition(1);
        stack.Undo(state);
        EXPECT_EQ(state.Bytes(), "@" + QByteArray(i, char('a' + i))); // appended at the position
    }
    EXPECT_FALSE(stack.GetCanUndo());
}

TEST(UndoService, EachStackHasItsOwnUnlinkedFile)
{
    auto first = std::make_shared<TUndoStack>();
    auto second = std::make_shared<TUndoStack>();
    TBytesStream state(QByteArray("state"));
    first->Push(state, QStringLiteral("a"));
    second->Push(state, QStringLiteral("b"));

    const QRegularExpression pattern(QStringLiteral("^undo[0-9A-F]{8}\\.tmp$"));
    const QStringList names = {first->FileName(), second->FileName()};
    EXPECT_NE(names[0], names[1]);
    for (const QString& name : names) {
        EXPECT_TRUE(name.startsWith(TempFolder())) << name.toStdString();
        EXPECT_TRUE(pattern.match(QFileInfo(name).fileName()).hasMatch()) << name.toStdString();
        EXPECT_FALSE(QFileInfo::exists(name)); // no name left in the folder even while alive
        EXPECT_GE(OpenDescriptorOf(name), 0);
    }
    first.reset();
    second.reset();
    for (const QString& name : names) EXPECT_EQ(OpenDescriptorOf(name), -1);
}

TEST_F(UndoManager, DamagedStateFileLeavesHistoryWhereItWas)
{
    Attach();
    Change("S1", "Change");
    Change("S2", "Change");
    manager.Undo(); // S1 restored, S2 waits as the redo item
    const int restores = part->Restores;

    // Someone cuts the state file short behind the stack's back.
    const int descriptor = OpenDescriptorOf(stack.FileName());
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(::ftruncate(descriptor, 0), 0);

    for (bool redo : {true, false}) {
        SCOPED_TRACE(redo ? "redo" : "undo");
        EXPECT_THROW(redo ? manager.Redo() : manager.Undo(), EReadError);
        EXPECT_EQ(part->Text, "S1");
        EXPECT_EQ(part->Restores, restores);
        EXPECT_EQ(stack.StackPointer(), 1);
        EXPECT_TRUE(manager.CanUndo());
        EXPECT_TRUE(manager.CanRedo());
        EXPECT_FALSE(stack.GetChanging());
    }

    // The pending state is still the current one, so the next change records S1 before it.
    Change("S3", "Edit");
    manager.Undo();
    EXPECT_EQ(part->Text, "S1");
    manager.Redo();
    EXPECT_EQ(part->Text, "S3");
}

TEST(UndoService, FailedWriteAddsNoItem)
{
    TUndoStack stack;
    TBytesStream small(QByteArray(100, 'a'));
    stack.Push(small, QStringLiteral("a"));
    stack.Push(small, QStringLiteral("b"));
    TBytesStream back;
    stack.Undo(back);

    // A full disk, played by a file size limit.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    TBytesStream large(QByteArray(64 * 1024, 'z'));
    EXPECT_THROW(stack.Push(large, QStringLiteral("large")), EWriteError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    // The redo tail was dropped before the write; the earlier state is intact.
    EXPECT_EQ(Actions(stack), QStringList({"a"}));
    EXPECT_EQ(stack.StackPointer(), 1);
    TBytesStream first;
    stack.Undo(first);
    EXPECT_EQ(first.Bytes(), QByteArray(100, 'a'));
}

TEST(UndoService, UnwritableTemporaryFolderIsReportedAtOnce)
{
    std::optional<TMissingTempFolder> temp(std::in_place);
    const QString missing = temp->Path();
    TUndoStack stack;
    TBytesStream state(QByteArray("x"));
    try {
        stack.Push(state, QStringLiteral("a"));
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError& error) {
        const QRegularExpression message(
            QStringLiteral("^Cannot create undo file: ") + QRegularExpression::escape(missing) +
            QStringLiteral("/undo[0-9A-F]{8}\\.tmp$"));
        EXPECT_TRUE(message.match(error.Message()).hasMatch()) << error.what();
    }
    temp.reset();
    EXPECT_EQ(stack.Count(), 0);
    EXPECT_EQ(stack.StackPointer(), 0);
}

} // namespace
