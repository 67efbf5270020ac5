// Sorting of folder and song names without regard to case, by the user's
// locale (ICU collation of LC_COLLATE/LANG, secondary strength, on the
// display text of each name).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tunrax {

class TNameCollator {
public:
    // locale: an ICU/POSIX locale name ("de_DE.UTF-8" is read as "de_DE");
    // empty takes the first set of LC_ALL, LC_COLLATE and LANG; "C" and
    // "POSIX" give the root collation. When ICU cannot open a collator, bytes
    // are compared with ASCII letters folded. Never throws.
    explicit TNameCollator(const std::string& locale = "");
    ~TNameCollator();
    TNameCollator(const TNameCollator&) = delete;
    TNameCollator& operator=(const TNameCollator&) = delete;

    // <0, 0, >0 as a sorts before, equal to, after b.
    int Compare(const std::string& a, const std::string& b) const;
    // Sorts names (stable: names that compare equal keep their input order)
    // and drops every name equal without regard to case (same text after
    // Unicode case folding) to one that came before it in the input, like a
    // sorted list that ignores duplicates as they are added. Names that only
    // collate equal (e.g. differing by an ignorable character) are all kept.
    void SortUnique(std::vector<std::string>& names) const;
    // The name as text for finding parts of it as the collation compares
    // them without regard to case: the part's MatchText occurs in the name's
    // MatchText. Case and width variants are folded letter by letter and
    // ignorable characters dropped; accents stay, so "a" does not find "ä",
    // and "ß" stays apart from "ss". Valid UTF-8.
    std::string MatchText(const std::string& name) const;

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};

}  // namespace tunrax
