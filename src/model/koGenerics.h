// A list of subscriber interfaces that does not keep them alive: subscribers add and remove themselves
// and must be removed before they die.
#pragma once

#include <QList>
#include <memory>
#include <utility>

template <typename T>
class TWeakInterfaceList {
public:
    class TEnumerator {
    public:
        explicit TEnumerator(const QList<T*>* list) : FList(list) {}
        bool MoveNext()
        {
            if (FIndex >= FList->size()) return false;
            ++FIndex;
            return FIndex < FList->size();
        }
        T* Current() const { return FList->at(FIndex); }

    private:
        const QList<T*>* FList;
        qsizetype FIndex = -1;
    };

    TWeakInterfaceList() = default;
    TWeakInterfaceList(const TWeakInterfaceList&) = delete;
    TWeakInterfaceList& operator=(const TWeakInterfaceList&) = delete;
    virtual ~TWeakInterfaceList() = default;

    virtual void Add(T* item)
    {
        if (!FList.contains(item)) FList.append(item);
    }
    bool Remove(T* item)
    {
        const int index = IndexOf(item);
        if (index < 0) return false;
        Delete(index);
        return true;
    }
    int IndexOf(T* item) const { return static_cast<int>(FList.indexOf(item)); }
    virtual void Delete(int index) { FList.removeAt(index); }
    // From the last entry; a Delete that removes several entries is tolerated.
    void Clear()
    {
        while (!FList.isEmpty()) Delete(static_cast<int>(FList.size()) - 1);
    }
    T* First() const { return FList.isEmpty() ? nullptr : FList.first(); }
    T* Last() const { return FList.isEmpty() ? nullptr : FList.last(); }
    int Count() const { return static_cast<int>(FList.size()); }
    T* Items(int index) const { return FList.at(index); }
    std::unique_ptr<TEnumerator> GetEnumerator() const { return std::make_unique<TEnumerator>(&FList); }

private:
    QList<T*> FList;
};

// Tells every entry in turn, walking by index and re-reading the count, so that entries may leave while
// they are told. With removeFirst each entry is removed before it is told, and the list ends empty.
template <typename T, typename F>
void NotifyEach(TWeakInterfaceList<T>& list, bool removeFirst, F&& tell)
{
    int index = 0;
    while (index < list.Count()) {
        T* entry = list.Items(index);
        if (removeFirst)
            list.Delete(index);
        else
            ++index;
        tell(entry);
    }
}

// Enumerates a list by index, as every enumerator of the model does: the index starts at -1 and
// MoveNext advances while it is below Count - 1. Getter and Counter are the list's accessors.
template <typename TInterface, typename TList, auto Getter, auto Counter>
class TIndexEnumerator final : public TInterface {
public:
    explicit TIndexEnumerator(const TList* AList) : FList(AList) {}
    auto GetCurrent() const -> decltype((std::declval<const TList*>()->*Getter)(0)) override
    {
        return (FList->*Getter)(FIndex);
    }
    bool MoveNext() override
    {
        if (FIndex < (FList->*Counter)() - 1) {
            ++FIndex;
            return true;
        }
        return false;
    }

private:
    const TList* FList;
    int FIndex = -1;
};
