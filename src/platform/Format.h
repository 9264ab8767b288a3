// Delphi-style Format: "%[index:][-][width][.precision]type" with the types d u x X e f g n m p s.
// Messages and file-name patterns of the program are written in this syntax.
#pragma once

#include <QString>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

// One argument of Format. Integers keep their width so that %u and %x of a negative 32-bit value
// give the 32-bit two's complement, as they do for a 32-bit Integer.
class TVarRec {
public:
    enum TKind { vtInteger, vtInt64, vtExtended, vtString, vtPointer };

    template <typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
    TVarRec(T value)
    {
        if constexpr (sizeof(T) <= 4 && (std::is_signed_v<T> || sizeof(T) < 4)) {
            FKind = vtInteger;
            FInt = static_cast<int64_t>(static_cast<int32_t>(value));
        } else if constexpr (sizeof(T) == 4) { // unsigned 32-bit: Integer when it fits
            FKind = value <= 0x7FFFFFFFu ? vtInteger : vtInt64;
            FInt = static_cast<int64_t>(value);
        } else {
            FKind = vtInt64;
            FInt = static_cast<int64_t>(value);
        }
    }
    TVarRec(bool value) : FKind(vtInteger), FInt(value ? 1 : 0) {}
    TVarRec(double value) : FKind(vtExtended), FDouble(value) {}
    TVarRec(const QString& value) : FKind(vtString), FString(value) {}
    TVarRec(const char* value) : FKind(vtString), FString(QString::fromUtf8(value)) {}
    TVarRec(const char16_t* value) : FKind(vtString), FString(QString::fromUtf16(value)) {}
    TVarRec(QChar value) : FKind(vtString), FString(value) {}
    TVarRec(const void* value) : FKind(vtPointer), FPointer(value) {}

    TKind Kind() const { return FKind; }
    int64_t AsInt64() const { return FInt; }
    double AsDouble() const { return FDouble; }
    const QString& AsString() const { return FString; }
    const void* AsPointer() const { return FPointer; }

private:
    TKind FKind;
    int64_t FInt = 0;
    double FDouble = 0;
    QString FString;
    const void* FPointer = nullptr;
};

// Raises EConvertError "Format '%s' invalid or incompatible with argument" on a bad directive, a
// missing argument or an argument of the wrong kind.
QString Format(const QString& format, std::initializer_list<TVarRec> args);
QString Format(const QString& format, const TVarRec* args, int count);
