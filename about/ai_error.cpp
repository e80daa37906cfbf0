#include "about/ai_error.h"

namespace ai {

// Out of line, so that the class's virtual table is emitted here only.
Error::~Error() = default;

}  // namespace ai
