#include "simhost/entity_fields.h"

#include <cstddef>
#include <cstring>

namespace simhost {
namespace {

struct StringField {
    const char *name;
    std::size_t offset;
};

#define ORLEX_STRING_FIELD(field) \
    { #field, offsetof(entvars_t, field) }
const StringField STRING_FIELDS[] = {
    ORLEX_STRING_FIELD(classname), ORLEX_STRING_FIELD(globalname), ORLEX_STRING_FIELD(model),
    ORLEX_STRING_FIELD(target),    ORLEX_STRING_FIELD(targetname), ORLEX_STRING_FIELD(netname),
    ORLEX_STRING_FIELD(message),   ORLEX_STRING_FIELD(noise),      ORLEX_STRING_FIELD(noise1),
    ORLEX_STRING_FIELD(noise2),    ORLEX_STRING_FIELD(noise3),
};
#undef ORLEX_STRING_FIELD

const StringField *find_field(const char *name) {
    for (const StringField &field : STRING_FIELDS)
        if (name && std::strcmp(field.name, name) == 0)
            return &field;
    return nullptr;
}

}  // namespace

const string_t *string_field(const entvars_t &vars, const char *name) {
    const StringField *field = find_field(name);
    if (!field)
        return nullptr;
    return reinterpret_cast<const string_t *>(reinterpret_cast<const char *>(&vars) + field->offset);
}

bool is_string_field(const char *name) { return find_field(name) != nullptr; }

}  // namespace simhost
