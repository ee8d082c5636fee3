#include "platform/CodePage.h"

#include "Utf.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <mutex>

namespace platform::detail {
void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Utf16ToUtf8(std::u16string_view wide, char bad) {
    std::string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (IsByteEscape(c)) {
            out += static_cast<char>(c & 0xFF);
            continue;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out += bad;
            continue;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text, bool escapeForms) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        char32_t c = extra == 0   ? b
                     : extra == 1 ? (b & 0x1F)
                     : extra == 2 ? (b & 0x0F)
                                  : (b & 0x07);
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto cb = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((cb & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (cb & 0x3F);
        }
        if (ok && escapeForms && extra == 2 && IsByteEscape(c)) {
            out += static_cast<char16_t>(c);
            i += 3;
            continue;
        }
        // Overlong forms, surrogates and values past U+10FFFF are invalid.
        static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (ok && (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
        if (!ok) {
            out += static_cast<char16_t>(0xDC00 | b); // b >= 0x80 here: ASCII is always valid
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}
} // namespace platform::detail

namespace {
using platform::detail::AppendUtf8;
using platform::detail::IsByteEscape;
using platform::detail::Utf16ToUtf8;
using platform::detail::Utf8ToUtf16;

struct CodePageState {
    std::mutex mutex;
    std::string overridden; // set by tests
    std::string fromLocale; // computed once
};
CodePageState& cpState() {
    static auto* s = new CodePageState; // never destroyed: threads may convert at exit
    return *s;
}

std::string LocaleCharset() {
    const char* names[] = {std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG")};
    const char* name = "";
    for (const char* n : names)
        if (n && *n) {
            name = n;
            break;
        }
    std::string charset = "UTF-8";
    if (locale_t loc = newlocale(LC_CTYPE_MASK, name, locale_t(nullptr))) {
        charset = nl_langinfo_l(CODESET, loc);
        freelocale(loc);
    }
    // A C or POSIX locale counts as UTF-8.
    if (charset.empty() || charset == "ANSI_X3.4-1968" || charset == "ASCII") charset = "UTF-8";
    return charset;
}

bool IsUtf8(const std::string& cs) {
    return cs == "UTF-8" || cs == "utf-8" || cs == "UTF8";
}

std::string Charset(UINT codePage) {
    if (codePage == CP_UTF8) return "UTF-8";
    auto& s = cpState();
    std::lock_guard lock(s.mutex);
    if (!s.overridden.empty()) return s.overridden;
    if (s.fromLocale.empty()) s.fromLocale = LocaleCharset();
    return s.fromLocale;
}

// A UTF-8 code page's form: an escaped byte is written as itself, unless the bytes of a
// run of escapes would read back as something else (they form a character, as those
// of a native U+F05C do, or an escape's 3-byte form); then each escape of the run is
// written in its 3-byte form, which DecodeWith reads back. So every native name
// survives the trip through the code page, and 8-bit text stays as it came.
std::string EncodeUtf8(std::u16string_view wide) {
    std::string out;
    std::u16string run; // escapes not yet written
    const auto flush = [&] {
        const std::string bytes = Utf16ToUtf8(run);
        if (Utf8ToUtf16(bytes, true) == run)
            out += bytes;
        else
            for (char16_t e : run) AppendUtf8(out, e);
        run.clear();
    };
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const bool pair = wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() &&
                          wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF;
        if (!pair && IsByteEscape(wide[i])) {
            run += wide[i];
            continue;
        }
        flush();
        out += Utf16ToUtf8(wide.substr(i, pair ? 2 : 1));
        if (pair) ++i;
    }
    flush();
    return out;
}

// One code point at a time, so that each character the code page lacks becomes '?'
// (escaped bytes too: such a code page has no room for them).
std::string EncodeWith(const std::string& charset, std::u16string_view wide) {
    if (IsUtf8(charset)) return EncodeUtf8(wide);
    iconv_t cd = iconv_open(charset.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return Utf16ToUtf8(wide);
    std::string out;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        std::size_t len = (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size()) ? 2 : 1;
        std::string in = Utf16ToUtf8(wide.substr(i, len));
        i += len - 1;
        char buf[16];
        char* inp = in.data();
        std::size_t inLeft = in.size();
        char* outp = buf;
        std::size_t outLeft = sizeof buf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1))
            out += '?';
        else
            out.append(buf, static_cast<std::size_t>(outp - buf));
    }
    iconv_close(cd);
    return out;
}

std::u16string DecodeWith(const std::string& charset, std::string_view text) {
    if (IsUtf8(charset)) return Utf8ToUtf16(text, true);
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return Utf8ToUtf16(text);
    std::string in(text), out;
    char* inp = in.data();
    std::size_t inLeft = in.size();
    while (inLeft > 0) {
        char buf[256];
        char* outp = buf;
        std::size_t outLeft = sizeof buf;
        std::size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        out.append(buf, static_cast<std::size_t>(outp - buf));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += '?'; // a byte the code page does not define
            ++inp;
            --inLeft;
        }
    }
    iconv_close(cd);
    return Utf8ToUtf16(out);
}
} // namespace

namespace platform {
std::string ToAnsi(std::u16string_view wide) {
    return EncodeWith(Charset(CP_ACP), wide);
}
std::u16string FromAnsi(std::string_view ansi) {
    return DecodeWith(Charset(CP_ACP), ansi);
}
std::string CodePageName() {
    return Charset(CP_ACP);
}
void SetCodePageForTesting(const std::string& charset) {
    auto& s = cpState();
    std::lock_guard lock(s.mutex);
    s.overridden = charset;
}
} // namespace platform

extern "C" {
int WideCharToMultiByte(UINT codePage, DWORD, const WCHAR* wide, int wideLength, char* out,
                        int outSize, const char*, BOOL* usedDefaultChar) {
    if (!wide || outSize < 0 || (outSize > 0 && !out)) return 0;
    std::u16string_view in =
        wideLength < 0 ? std::u16string_view(wide, std::char_traits<char16_t>::length(wide) + 1)
                       : std::u16string_view(wide, static_cast<std::size_t>(wideLength));
    const std::string charset = Charset(codePage);
    std::string text = EncodeWith(charset, in);
    if (usedDefaultChar)
        *usedDefaultChar =
            std::count(text.begin(), text.end(), '?') != std::count(in.begin(), in.end(), u'?')
                ? TRUE
                : FALSE;
    if (outSize == 0) return static_cast<int>(text.size());
    if (static_cast<std::size_t>(outSize) < text.size()) return 0;
    std::memcpy(out, text.data(), text.size());
    return static_cast<int>(text.size());
}

int MultiByteToWideChar(UINT codePage, DWORD, const char* text, int textLength, WCHAR* out,
                        int outSize) {
    if (!text || outSize < 0 || (outSize > 0 && !out)) return 0;
    std::string_view in = textLength < 0
                              ? std::string_view(text, std::strlen(text) + 1)
                              : std::string_view(text, static_cast<std::size_t>(textLength));
    std::u16string wide = DecodeWith(Charset(codePage), in);
    if (outSize == 0) return static_cast<int>(wide.size());
    if (static_cast<std::size_t>(outSize) < wide.size()) return 0;
    std::copy(wide.begin(), wide.end(), out);
    return static_cast<int>(wide.size());
}
}
