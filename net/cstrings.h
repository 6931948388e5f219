// An ordered list of owned copies of strings: a first-in first-out queue, a tokenizer and a
// joiner. Every Push and Pop resizes the array exactly; lists are short.
#pragma once

class CStrings {
public:
    CStrings() = default;
    ~CStrings() { Clear(); }
    CStrings(const CStrings &) = delete;
    CStrings &operator=(const CStrings &) = delete;

    // Appends a copy as the last entry.
    void Push(const char *newstr);
    // Appends a copy of the first length characters of text.
    void Push(const char *text, unsigned int length);
    // Splits data at delim and appends every piece. A skip character inside a piece (not at its
    // start, not after a backslash) turns quoting on or off; delim does not split while quoting.
    // Adjacent delimiters give an empty piece; a delimiter at the very end gives none.
    void ParseString(const char *data, char delim, char skip);
    // Removes the first entry and returns a copy of it, valid until the next Pop or Clear; null
    // when the list is empty.
    const char *Pop();
    // The entry at index, or null past the end.
    const char *operator[](unsigned int index) const;
    unsigned int GetSize() const { return listsize; }
    // Releases every entry and both result buffers.
    void Clear();
    // Entries minindex to maxindex joined with delim between them, valid until the next Combine
    // or Clear. A maxindex of all one bits means the last entry. Null for an invalid range or an
    // empty result.
    const char *Combine(unsigned int minindex, unsigned int maxindex, const char *delim);

private:
    char **list = nullptr;
    unsigned int listsize = 0;
    char *pop = nullptr;
    char *combine = nullptr;
};
