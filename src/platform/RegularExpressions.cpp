#include "RegularExpressions.h"

#include "Format.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <memory>

namespace {
const char* const SRegExError = "Error in regular expression at offset %d: %s";

QString ErrorText(int Code)
{
    PCRE2_UCHAR buffer[256];
    const int length = pcre2_get_error_message(Code, buffer, sizeof buffer / sizeof buffer[0]);
    if (length < 0) return QStringLiteral("error %1").arg(Code);
    return QString(reinterpret_cast<const QChar*>(buffer), length);
}

PCRE2_SPTR Units(const QString& Text) { return reinterpret_cast<PCRE2_SPTR>(Text.utf16()); }

struct TMatchDataDeleter {
    void operator()(pcre2_match_data* Data) const { pcre2_match_data_free(Data); }
};
} // namespace

struct TRegEx::TCode {
    pcre2_code* Code = nullptr;
};

TRegEx::TRegEx(const QString& Pattern, TRegExOptions Options) : FCode(new TCode)
{
    // Unicode throughout: \w, \b and case folding know every script, and a subject with unpaired
    // surrogates is searched in its valid parts instead of failing.
    uint32_t flags = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_UCP;
    if (Options.Contains(roIgnoreCase)) flags |= PCRE2_CASELESS;
    if (Options.Contains(roExplicitCapture)) flags |= PCRE2_NO_AUTO_CAPTURE;
    if (Options.Contains(roSingleLine)) flags |= PCRE2_DOTALL;
    if (Options.Contains(roIgnorePatternSpace)) flags |= PCRE2_EXTENDED;
    int error = 0;
    PCRE2_SIZE offset = 0;
    FCode->Code = pcre2_compile(Units(Pattern), static_cast<PCRE2_SIZE>(Pattern.size()), flags, &error, &offset, nullptr);
    if (!FCode->Code) {
        delete FCode;
        const int position = static_cast<int>(offset);
        throw ERegularExpressionError(Format(QString::fromLatin1(SRegExError), {position, ErrorText(error)}), position);
    }
}

TRegEx::~TRegEx()
{
    pcre2_code_free(FCode->Code);
    delete FCode;
}

TRegExMatch TRegEx::Match(const QString& Input, int StartAt) const
{
    TRegExMatch result;
    if (StartAt < 0 || StartAt > Input.size()) return result;
    std::unique_ptr<pcre2_match_data, TMatchDataDeleter> data(pcre2_match_data_create_from_pattern(FCode->Code, nullptr));
    if (!data) throw std::bad_alloc();
    const int rc = pcre2_match(FCode->Code, Units(Input), static_cast<PCRE2_SIZE>(Input.size()),
                               static_cast<PCRE2_SIZE>(StartAt), 0, data.get(), nullptr);
    if (rc == PCRE2_ERROR_NOMATCH) return result;
    if (rc < 0) throw Exception(ErrorText(rc));
    const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(data.get());
    result.Success = true;
    result.Index = static_cast<int>(vector[0]);
    result.Length = static_cast<int>(vector[1] - vector[0]);
    return result;
}
