#include "collection/Collation.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/stringpiece.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <unordered_set>
#include <utility>

#include "settings/DisplayText.h"

namespace tunrax {

namespace {

std::string LocaleFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return value;
    }
    return std::string();
}

icu::Locale CollationLocale(std::string name) {
    // "de_DE.UTF-8@euro": the code set and the modifier mean nothing to ICU.
    name = name.substr(0, name.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX")
        return icu::Locale::getRoot();
    icu::Locale locale(name.c_str());
    return locale.isBogus() ? icu::Locale::getRoot() : locale;
}

std::string AsciiFolded(const std::string& bytes) {
    std::string folded = bytes.substr(0, bytes.find('\0'));
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return folded;
}

}  // namespace

struct TNameCollator::Impl {
    // None when ICU could not open a collator: then bytes are compared with
    // ASCII letters folded.
    std::unique_ptr<icu::Collator> collator;

    std::string Key(const std::string& name) const {
        if (!collator)
            return AsciiFolded(name);
        const icu::UnicodeString text = icu::UnicodeString::fromUTF8(DisplayText(name));
        std::string key(64, '\0');
        for (;;) {
            const int32_t length = collator->getSortKey(
                text, reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
            if (length <= 0)
                return AsciiFolded(name);
            if (static_cast<size_t>(length) <= key.size()) {
                key.resize(static_cast<size_t>(length));
                return key;
            }
            key.resize(static_cast<size_t>(length));
        }
    }

    // What "equal without regard to case" means for dropping a name: the same
    // text after Unicode case folding.
    std::string Folded(const std::string& name) const {
        if (!collator)
            return AsciiFolded(name);
        std::string folded;
        icu::UnicodeString::fromUTF8(DisplayText(name)).foldCase().toUTF8String(folded);
        return folded;
    }
};

TNameCollator::TNameCollator(const std::string& locale) : FImpl(std::make_unique<Impl>()) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(
        CollationLocale(locale.empty() ? LocaleFromEnvironment() : locale), status));
    if (U_FAILURE(status) || !collator)
        return;
    // Secondary strength: case is ignored, accents are not.
    collator->setStrength(icu::Collator::SECONDARY);
    FImpl->collator = std::move(collator);
}

TNameCollator::~TNameCollator() = default;

int TNameCollator::Compare(const std::string& a, const std::string& b) const {
    if (!FImpl->collator)
        return AsciiFolded(a).compare(AsciiFolded(b));
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result = FImpl->collator->compareUTF8(
        icu::StringPiece(DisplayText(a)), icu::StringPiece(DisplayText(b)), status);
    if (U_FAILURE(status))
        return AsciiFolded(a).compare(AsciiFolded(b));
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

void TNameCollator::SortUnique(std::vector<std::string>& names) const {
    // One sort key per name instead of two conversions per comparison.
    std::vector<std::string> keys;
    keys.reserve(names.size());
    for (const std::string& name : names)
        keys.push_back(FImpl->Key(name));
    std::vector<size_t> order(names.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });

    // Within a run of names that sort equal, the first of each case-folded
    // text stays. The collator also equates names that differ by more than
    // case (ignorable characters, width variants, composed and decomposed
    // accents); those are different folders, and dropping one would hide it.
    std::vector<std::string> result;
    result.reserve(names.size());
    std::unordered_set<std::string> seen;
    for (size_t run = 0; run < order.size();) {
        size_t runEnd = run + 1;
        while (runEnd < order.size() && keys[order[runEnd]] == keys[order[run]])
            ++runEnd;
        if (runEnd - run == 1) {
            result.push_back(std::move(names[order[run]]));
        } else {
            seen.clear();
            for (size_t k = run; k < runEnd; ++k)
                if (seen.insert(FImpl->Folded(names[order[k]])).second)
                    result.push_back(std::move(names[order[k]]));
        }
        run = runEnd;
    }
    names = std::move(result);
}

namespace {

// The match text of a name of ASCII and UTF-8 letters U+00C0 to U+00FF, the
// letters of most western names, without ICU: these are in normal form
// already, and their capitals fold by one step in the second byte. False
// for any other name.
bool LatinMatchText(const std::string& name, std::string& text) {
    text.clear();
    text.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c > 0 && c < 0x80) {
            text += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
            continue;
        }
        if (c != 0xC3 || i + 1 == name.size())
            return false;
        const auto next = static_cast<unsigned char>(name[++i]);
        if (next < 0x80 || next > 0xBF)
            return false;
        // U+00C0 to U+00DE but the sign U+00D7 are capitals of U+00E0 on.
        const bool capital = next <= 0x9E && next != 0x97;
        text += static_cast<char>(c);
        text += static_cast<char>(capital ? next + 0x20 : next);
    }
    return true;
}

}  // namespace

std::string TNameCollator::MatchText(const std::string& name) const {
    std::string latin;
    if (FImpl->collator && LatinMatchText(name, latin))
        return latin;
    if (!FImpl->collator)
        return AsciiFolded(name);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* compatible = icu::Normalizer2::getNFKCInstance(status);
    if (U_FAILURE(status) || !compatible)
        return AsciiFolded(name);
    // Width and compatibility forms as the collation takes them, then case
    // letter by letter: a full folding would turn "ß" into "ss", which the
    // collation keeps apart. Ignorable characters, which the collation skips,
    // go.
    icu::UnicodeString normal = icu::UnicodeString::fromUTF8(DisplayText(name));
    // Most names are in that form already: the quick check spares a copy.
    if (compatible->quickCheck(normal, status) != UNORM_YES)
        normal = compatible->normalize(normal, status);
    if (U_FAILURE(status))
        return AsciiFolded(name);
    icu::UnicodeString folded;
    for (int32_t i = 0; i < normal.length();) {
        const UChar32 c = normal.char32At(i);
        i += U16_LENGTH(c);
        if (!u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT))
            folded.append(u_foldCase(c, U_FOLD_CASE_DEFAULT));
    }
    std::string text;
    folded.toUTF8String(text);
    return text;
}

}  // namespace tunrax
