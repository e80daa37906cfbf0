// ai::Error (ai_error.h), the one exception the plug-in raises on purpose;
// its destructor is defined here so that its virtual table lives in one object.
#include "about/ai_error.h"

namespace ai {

// Out of line, so that the class's virtual table is emitted here only.
Error::~Error() = default;

}  // namespace ai
