// The string fields of an entity's variables that searches may name.
#pragma once

#include "sdk/eiface.h"

namespace simhost {

// The named string_t field of vars, or null when no searchable field has that name.
const string_t *string_field(const entvars_t &vars, const char *name);
bool is_string_field(const char *name);

}  // namespace simhost
