#include "engine/errors.h"

namespace tessaly {

// Out of line, so that each class's type information has one home, exported with the library.
Error::~Error() = default;
InvalidOption::~InvalidOption() = default;
UserPhrasesError::~UserPhrasesError() = default;

}  // namespace tessaly
