#include "net/cstrings.h"

#include <cstdlib>
#include <cstring>

// On allocation failure an entry is dropped rather than the server crashed.
void CStrings::Push(const char *text, unsigned int length) {
    char **grown = static_cast<char **>(malloc((listsize + 1) * sizeof(char *)));
    char *copy = static_cast<char *>(malloc(length + 1));
    if (!grown || !copy) {
        free(grown);
        free(copy);
        return;
    }
    memcpy(copy, text, length);
    copy[length] = '\0';
    if (listsize)
        memcpy(grown, list, listsize * sizeof(char *));
    grown[listsize] = copy;
    free(list);
    list = grown;
    ++listsize;
}

void CStrings::Push(const char *newstr) {
    if (newstr)
        Push(newstr, static_cast<unsigned int>(strlen(newstr)));
}

void CStrings::ParseString(const char *data, char delim, char skip) {
    if (!data || !*data)
        return;
    const char *start = data;
    bool quoting = false;
    for (const char *p = data; *p; ++p) {
        if (*p == skip && p != start && p[-1] != '\\')
            quoting = !quoting;
        if (*p == delim && !quoting) {
            Push(start, static_cast<unsigned int>(p - start));
            start = p + 1;
        }
    }
    if (*start)
        Push(start);
}

const char *CStrings::Pop() {
    if (listsize == 0)
        return nullptr;
    free(pop);
    pop = list[0];  // the entry's own copy becomes the popped text
    char **shrunk = nullptr;
    if (listsize > 1) {
        shrunk = static_cast<char **>(malloc((listsize - 1) * sizeof(char *)));
        if (!shrunk) {  // keep the array; shift in place
            memmove(list, list + 1, (listsize - 1) * sizeof(char *));
            --listsize;
            return pop;
        }
        memcpy(shrunk, list + 1, (listsize - 1) * sizeof(char *));
    }
    free(list);
    list = shrunk;
    --listsize;
    return pop;
}

const char *CStrings::operator[](unsigned int index) const { return index < listsize ? list[index] : nullptr; }

void CStrings::Clear() {
    for (unsigned int i = 0; i < listsize; ++i)
        free(list[i]);
    free(list);
    free(pop);
    free(combine);
    list = nullptr;
    listsize = 0;
    pop = nullptr;
    combine = nullptr;
}

const char *CStrings::Combine(unsigned int minindex, unsigned int maxindex, const char *delim) {
    if (maxindex == ~0u)
        maxindex = listsize - 1;
    if (maxindex >= listsize || minindex >= listsize || minindex > maxindex)
        return nullptr;
    free(combine);
    combine = nullptr;

    const size_t delim_length = delim ? strlen(delim) : 0;
    size_t length = delim_length * (maxindex - minindex);
    for (unsigned int i = minindex; i <= maxindex; ++i)
        length += strlen(list[i]);
    if (length == 0)
        return nullptr;

    combine = static_cast<char *>(malloc(length + 1));
    if (!combine)
        return nullptr;
    char *end = combine;
    for (unsigned int i = minindex; i <= maxindex; ++i) {
        const size_t entry_length = strlen(list[i]);
        memcpy(end, list[i], entry_length);
        end += entry_length;
        if (i != maxindex) {
            memcpy(end, delim, delim_length);
            end += delim_length;
        }
    }
    *end = '\0';
    return combine;
}
